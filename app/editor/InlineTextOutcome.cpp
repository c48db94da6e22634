#include "app/editor/InlineTextOutcome.h"

#include <QString>

#include "app/editor/EditorStrings.h"

namespace quillet {

std::string InlineTextOutcome::withoutTrailingLineBreaks(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

bool InlineTextOutcome::isBlank(const std::string& text) {
    return QString::fromStdString(text).trimmed().isEmpty();
}

InlineTextOutcome InlineTextOutcome::of(InlineTextSession session, std::chrono::sys_seconds now) {
    session.spec.text = withoutTrailingLineBreaks(std::move(session.spec.text));
    const bool blank = isBlank(session.spec.text);
    AnnotationItem edited = session.itemWithText();
    edited.modified = now;

    if (session.target.kind == InlineTextTarget::Kind::arrowLabel) {
        if (blank) edited.shape.arrow()->label.reset();
        if (session.isNew) return {Action::insert, edited, EditorStrings::arrow};
        if (edited.shape == session.item.shape) return {};
        return {Action::replace, edited, EditorStrings::textEdit};
    }
    if (session.isNew) {
        if (blank) return {};
        const bool note = session.target.kind == InlineTextTarget::Kind::note;
        return {Action::insert, edited, note ? EditorStrings::comment : EditorStrings::text};
    }
    if (blank) return {Action::remove, session.item, EditorStrings::remove};
    if (edited.shape == session.item.shape) return {};
    return {Action::replace, edited, EditorStrings::textEdit};
}

}  // namespace quillet
