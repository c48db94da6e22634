// The current style of every tool, global to the application and kept across
// runs under "QuilletToolStyles" in the defaults store (JSON keyed by the
// tools' raw values). Also the fixed choices the style popover offers: the
// palette, the text sizes and each tool's line-width range.
#pragma once

#include <QSettings>
#include <array>
#include <map>

#include "app/editor/Tool.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/platform/QtConversions.h"
#include "core/markup/ToolStyle.h"

namespace quillet {

class ToolSettings {
  public:
    static constexpr char defaultsKey[] = "QuilletToolStyles";

    struct Swatch {
        LocalizedString name;
        RGBA color;
    };
    struct WidthRange {
        double min;
        double max;
    };

    static const std::array<Swatch, 7> palette;
    static constexpr std::array<double, 5> textSizes{10, 13, 16, 20, 28};

    // The slider's range for a tool; tools without a slider get the pen's.
    static WidthRange lineWidthRange(Tool tool);

    // The one instance of the run, over DefaultsStore::shared(); main thread only.
    static ToolSettings& shared();

    // Loads from `store`: the built-in styles overlaid with what the store
    // holds, field by field; a damaged value falls back to the default.
    explicit ToolSettings(QSettings& store);

    // The tool's current style; for select and eraser the built-in pen style.
    ToolStyle styleFor(Tool tool) const;
    // Stores the style of a tool that has one, persists all styles and posts
    // "QuilletToolSettingsDidChange". Select and eraser: nothing happens.
    void setStyle(const ToolStyle& style, Tool tool);

    const std::map<Tool, ToolStyle>& styles() const { return styles_; }

  private:
    void persist();

    QSettings& store_;
    std::map<Tool, ToolStyle> styles_;
};

}  // namespace quillet
