// Typing on the page: owns the inline text box over the viewport, hides the
// stored item while its text is typed into the box, and turns each finished
// typing into one undo step (insert, replace or remove, as the outcome
// says). The box is created on first use.
#pragma once

#include <QPointer>
#include <functional>

#include "app/editor/InlineTextEditor.h"
#include "app/editor/StyleSession.h"

class QWidget;

namespace quillet {

class ToolContext;

class TextEditing {
  public:
    TextEditing(QWidget& viewport, ToolContext& context, AnnotationStore& store);
    ~TextEditing();
    TextEditing(const TextEditing&) = delete;
    TextEditing& operator=(const TextEditing&) = delete;

    InlineTextEditor& editor();
    bool isEditing() const { return editor_ != nullptr && editor_->isEditing(); }
    // Ends the typing before it (stored), then opens the box on `session`.
    void begin(InlineTextSession session);
    // Opens the text of a stored item; `arrowStyle` styles a new arrow label.
    void start(const UUID& id, const ToolStyle& arrowStyle);
    // Stores what was typed, if anything is being typed.
    void finish();
    // Drops what was typed and shows the stored item again.
    void cancel();
    // A style change while typing: the box shows it at once and the typed
    // item keeps it; a stored item takes it as a step of `styles`' visit.
    void restyle(const ToolStyle& style, StyleSession& styles);
    void relayout();

    // Typing began or ended.
    std::function<void()> onChange;

  private:
    void finished(const InlineTextSession& session);
    void notify();

    QWidget& viewport_;
    ToolContext& context_;
    AnnotationStore& store_;
    QPointer<InlineTextEditor> editor_;
};

}  // namespace quillet
