#include "app/ui/StyleTarget.h"

namespace quillet {

Tool StyleTarget::toolFor(const AnnotationItem& item) {
    switch (item.shape.shapeCase()) {
        case Shape::Case::ink:
            switch (item.shape.ink()->kind) {
                case InkKind::pen:
                    return Tool::pen;
                case InkKind::highlighter:
                    return Tool::highlighter;
                case InkKind::signature:
                    return Tool::signature;
            }
            return Tool::pen;
        case Shape::Case::text:
            return Tool::text;
        case Shape::Case::arrow:
            return Tool::arrow;
        case Shape::Case::note:
            return Tool::note;
        case Shape::Case::markup:
            return quillet::toolFor(item.shape.markup()->kind);
    }
    return Tool::pen;
}

ToolStyle StyleTarget::styleOf(const AnnotationItem& item, const ToolStyle& toolStyle) {
    ToolStyle style = toolStyle;
    style.color = item.color;
    style.lineWidth = item.lineWidth;
    if (std::optional<TextSpec> spec = item.textSpec()) {
        style.fontSize = spec->fontSize;
        style.boxed = spec->boxed;
    }
    return style;
}

StyleTarget StyleTarget::choose(Tool currentTool, const AnnotationItem* selected, Tool lastStyledTool,
                                const ToolSettings& settings) {
    if ((currentTool == Tool::select || currentTool == Tool::eraser) && selected) {
        const Tool tool = toolFor(*selected);
        return {tool, styleOf(*selected, settings.styleFor(tool)), true};
    }
    const Tool tool = hasStyle(currentTool) ? currentTool : lastStyledTool;
    return {tool, settings.styleFor(tool), false};
}

std::function<void(const ToolStyle&)> StyleTarget::changeHandler(
    ToolSettings& settings, std::function<void(const ToolStyle&)> applyToSelection) const {
    return [tool = tool, selection = targetsSelection, &settings,
            apply = std::move(applyToSelection)](const ToolStyle& style) {
        settings.setStyle(style, tool);
        if (selection && apply) apply(style);
    };
}

}  // namespace quillet
