#include "app/editor/StyleSession.h"

#include "app/document/StoreCommand.h"
#include "app/editor/EditorStrings.h"

namespace quillet {

AnnotationItem StyleSession::restyled(AnnotationItem item, const ToolStyle& style) {
    item.color = style.color;
    item.lineWidth = style.lineWidth;
    auto restyle = [&](TextSpec& spec) {
        spec.fontSize = style.fontSize;
        spec.boxed = style.boxed;
    };
    if (TextShape* text = item.shape.text()) {
        restyle(text->spec);
    } else if (NoteShape* note = item.shape.note()) {
        restyle(note->spec);
    } else if (ArrowShape* arrow = item.shape.arrow(); arrow && arrow->label) {
        restyle(*arrow->label);
    }
    return item;
}

void StyleSession::apply(const ToolStyle& style, const UUID& id, std::chrono::sys_seconds now) {
    const std::optional<AnnotationStore::LocatedItem> located = store_.locate(id);
    if (!located) {
        return;
    }
    AnnotationItem item = restyled(located->item, style);
    if (item == located->item) {
        return;
    }
    item.modified = now;
    if (item_ != id) {
        item_ = id;
        ++serial_;
    }
    StoreCommand::push(undoStack_, store_, EditorStrings::styleChange.text(), StoreChange::replace({item}),
                       serial_);
}

void StyleSession::end() {
    item_.reset();
    ++serial_;
}

}  // namespace quillet
