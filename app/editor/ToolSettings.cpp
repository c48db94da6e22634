#include "app/editor/ToolSettings.h"

#include "app/platform/DefaultsStore.h"
#include "app/platform/NotificationCenter.h"

namespace quillet {

const std::array<ToolSettings::Swatch, 7> ToolSettings::palette{{
    {{"Red", "Красный"}, {0.89, 0.16, 0.16, 1.0}},
    {{"Orange", "Оранжевый"}, {0.96, 0.52, 0.08, 1.0}},
    {{"Yellow", "Жёлтый"}, {1.0, 0.83, 0.0, 1.0}},
    {{"Green", "Зелёный"}, {0.16, 0.66, 0.28, 1.0}},
    {{"Blue", "Синий"}, {0.1, 0.42, 0.93, 1.0}},
    {{"Purple", "Фиолетовый"}, {0.52, 0.27, 0.86, 1.0}},
    {{"Black", "Чёрный"}, {0.1, 0.1, 0.12, 1.0}},
}};

ToolSettings::WidthRange ToolSettings::lineWidthRange(Tool tool) {
    switch (tool) {
        case Tool::highlighter:
            return {6, 36};
        case Tool::arrow:
            return {0.75, 8};
        case Tool::signature:
            return {0.6, 5};
        default:
            return {0.5, 12};
    }
}

ToolSettings& ToolSettings::shared() {
    static ToolSettings instance(DefaultsStore::shared());
    return instance;
}

ToolSettings::ToolSettings(QSettings& store) : store_(store), styles_(ToolStyle::builtInDefaults()) {
    const QVariant stored = store_.value(QString::fromLatin1(defaultsKey));
    if (stored.isValid()) styles_ = decodeToolStyles(stored.toByteArray().toStdString(), std::move(styles_));
}

ToolStyle ToolSettings::styleFor(Tool tool) const {
    auto it = styles_.find(tool);
    return it != styles_.end() ? it->second : ToolStyle::penDefault();
}

void ToolSettings::setStyle(const ToolStyle& style, Tool tool) {
    if (!hasStyle(tool)) return;
    styles_[tool] = style;
    persist();
    NotificationCenter::shared().post(QString::fromLatin1(NotificationName::toolSettingsDidChange));
}

void ToolSettings::persist() {
    store_.setValue(QString::fromLatin1(defaultsKey), QString::fromStdString(encodeToolStyles(styles_)));
    store_.sync();
}

}  // namespace quillet
