#include "app/editor/TextEditing.h"

#include "app/editor/InlineTextOutcome.h"
#include "app/editor/ToolContext.h"
#include "core/markup/ItemGeometry.h"

namespace quillet {

namespace {

// The text box shows only the text: an arrow being labelled and a note
// being written stay drawn beneath it, without their text.
std::optional<std::pair<AnnotationItem, int>> drawnBeneathTheBox(const InlineTextSession& session) {
    AnnotationItem shown = session.item;
    const InlineTextTarget& at = session.target;
    if (at.kind == InlineTextTarget::Kind::arrowLabel) {
        shown.shape = ArrowShape{at.first, at.second, std::nullopt};
    } else if (at.kind == InlineTextTarget::Kind::note) {
        TextSpec blank = session.spec;
        blank.text.clear();
        shown.shape = NoteShape{at.first, at.second, blank};
    } else {
        return std::nullopt;
    }
    return std::pair{std::move(shown), session.page};
}

}  // namespace

TextEditing::TextEditing(QWidget& viewport, ToolContext& context, AnnotationStore& store)
    : viewport_(viewport), context_(context), store_(store) {}

TextEditing::~TextEditing() {
    delete editor_.data();
}

InlineTextEditor& TextEditing::editor() {
    if (editor_) {
        return *editor_;
    }
    editor_ = new InlineTextEditor(&viewport_, [this](int page) { return context_.pageToViewport(page); });
    editor_->onFinish = [this](const InlineTextSession& session) { finished(session); };
    editor_->draftSink = [this](const std::optional<AnnotationItem>& item, int page) {
        store_.setDraft(item, page);
    };
    // A new note's bubble is placed again as its text grows: one left of
    // its icon keeps its right edge there instead of growing over the icon.
    editor_->onTextChange = [this](const InlineTextSession& session) {
        if (!session.isNew || session.target.kind != InlineTextTarget::Kind::note) {
            return;
        }
        const Point bubble = roundTo2(ItemGeometry::defaultBubblePoint(
            session.spec, session.target.first, session.item.rotation, context_.pageBounds(session.page)));
        if (bubble != session.target.second) {
            editor_->setTarget({InlineTextTarget::Kind::note, session.target.first, bubble});
            context_.setPreview(drawnBeneathTheBox(*editor_->session()));
        }
    };
    return *editor_;
}

void TextEditing::start(const UUID& id, const ToolStyle& arrowStyle) {
    const std::optional<AnnotationStore::LocatedItem> located = store_.locate(id);
    if (!located || located->item.shape.ink()) {
        return;
    }
    const AnnotationItem& item = located->item;
    const TextSpec spec =
        item.textSpec().value_or(TextSpec{"", arrowStyle.fontSize, std::nullopt, arrowStyle.boxed});
    begin({item, located->page, false, InlineTextTarget::of(item), spec});
}

void TextEditing::begin(InlineTextSession session) {
    finish();
    // The box shows the item while it is typed into; its stored self is hidden.
    if (!session.isNew) {
        context_.setItemHidden(session.item.id, true);
    }
    context_.setPreview(drawnBeneathTheBox(session));
    editor().begin(std::move(session));
    notify();
}

void TextEditing::finish() {
    if (isEditing()) {
        editor_->finish();  // calls finished()
    }
}

void TextEditing::cancel() {
    if (!isEditing()) {
        return;
    }
    const UUID id = editor_->session()->item.id;
    editor_->cancel();
    context_.setItemHidden(id, false);
    notify();
}

void TextEditing::restyle(const ToolStyle& style, StyleSession& styles) {
    if (!isEditing()) {
        return;
    }
    const InlineTextSession session = *editor_->session();
    AnnotationItem item = session.item;
    if (session.isNew) {
        item.color = style.color;
        item.lineWidth = style.lineWidth;
    } else {
        // The stored item takes the style as a step of the popover's visit;
        // the typed text is then committed against the restyled item.
        styles.apply(style, item.id, context_.timestamp());
        if (const std::optional<AnnotationStore::LocatedItem> located = store_.locate(item.id)) {
            item = located->item;
        }
    }
    editor_->setTextStyle(style.fontSize, session.spec.fixedWidth, style.boxed);
    editor_->setItem(item);
}

void TextEditing::relayout() {
    if (isEditing()) {
        editor_->relayout();
    }
}

void TextEditing::notify() {
    if (onChange) {
        onChange();
    }
}

void TextEditing::finished(const InlineTextSession& session) {
    context_.setItemHidden(session.item.id, false);
    store_.setDraft(std::nullopt, session.page);
    context_.setPreview(std::nullopt);
    notify();
    const InlineTextOutcome outcome = InlineTextOutcome::of(session, context_.timestamp());
    if (!outcome.item) {
        return;
    }
    switch (outcome.action) {
        case InlineTextOutcome::Action::none:
            return;
        case InlineTextOutcome::Action::insert:
            context_.insertOnTop(outcome.undoName, *outcome.item, session.page);
            return;
        case InlineTextOutcome::Action::remove:
            if (store_.locate(outcome.item->id)) {
                context_.commit(outcome.undoName, StoreChange::remove({outcome.item->id}));
            }
            return;
        case InlineTextOutcome::Action::replace:
            if (store_.locate(outcome.item->id)) {
                context_.commit(outcome.undoName, StoreChange::replace({*outcome.item}));
            }
            return;
    }
}

}  // namespace quillet
