// Types text straight onto the page: a box over the page view at the
// position and zoom of the item being edited. Its lines and glyphs are the
// core's own text layout of the item (the same function that draws the
// saved appearance), scaled by the zoom, so the text breaks while typing
// exactly where it will break on the page. Caret, selection, input methods
// and a typing undo history of its own (never mixed with markup undo);
// Escape and Ctrl+Return end the edit. Every change is handed on as the
// store's draft, so autosave and the recovery journal see the text being
// typed.
#pragma once

#include <QColor>
#include <QTransform>
#include <QUndoStack>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "app/editor/InlineTextSession.h"
#include "core/markup/TextLayout.h"

namespace quillet {

class InlineTextEditor : public QWidget {
    Q_OBJECT

  public:
    // Page space → the page view's widget coordinates, for one page.
    using PageTransform = std::function<QTransform(int page)>;
    // The store's draft: the item being typed, or nothing when the edit ends.
    using DraftSink = std::function<void(const std::optional<AnnotationItem>& item, int page)>;

    InlineTextEditor(QWidget* pageView, PageTransform pageToView);
    ~InlineTextEditor() override;

    // Starts editing (finishing an open edit first): the text is selected whole.
    void begin(InlineTextSession session);
    // Ends the edit and hands it to onFinish. Nothing happens without one.
    void finish();
    // Ends the edit without onFinish.
    void cancel();
    // New placement points for the open edit (the item moved).
    void setTarget(const InlineTextTarget& target);
    // The style popover changed the text's style.
    void setTextStyle(double fontSize, std::optional<double> fixedWidth, bool boxed);
    // The item whose text is typed changed under the edit (its colour): the
    // box shows it, and the edit commits its text against it.
    void setItem(const AnnotationItem& item);
    // Places the box again (zoom, scroll or page layout changed).
    void relayout();

    bool isEditing() const { return session_.has_value(); }
    const std::optional<InlineTextSession>& session() const { return session_; }
    QUndoStack& typingUndoStack() { return undo_; }

    std::function<void(const InlineTextSession&)> onFinish;
    std::function<void(const InlineTextSession&)> onTextChange;
    std::function<void()> onLayout;
    DraftSink draftSink;

    // What is shown: the text, the caret and selection (UTF-16 indices).
    QString text() const { return text_; }
    int cursorPosition() const { return caret_; }
    int anchorPosition() const { return anchor_; }
    // The text of every line as laid out and shown now, top to bottom.
    std::vector<QString> displayedLines() const;
    // Box space → this widget.
    QTransform boxToWidget() const { return boxToWidget_; }
    double zoom() const;

    // Editing operations; each is one typing undo step (typing merges).
    void insertText(const QString& text);
    void deleteBackward();
    void deleteForward();
    void selectAll();
    void moveCaret(int position, bool extendSelection);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

  private:
    friend class TypingCommand;
    struct State {
        QString text;
        int caret = 0;
        int anchor = 0;
    };
    void setState(const State& state);  // from undo and redo
    void replaceSelection(const QString& with, bool mergeable);
    void changed();
    void layoutBox();
    // The colours and frame of the box, from the session's item.
    void takeLook();
    void endSession();
    QString shownText() const;  // with the input method's preedit at the caret
    int indexAt(QPointF widgetPoint) const;
    int lineOf(int index) const;
    QRectF caretRect() const;  // widget coordinates
    int previousCluster(int index) const;
    int nextCluster(int index) const;

    PageTransform pageToView_;
    std::optional<InlineTextSession> session_;
    QUndoStack undo_;
    QString text_;
    int caret_ = 0;
    int anchor_ = 0;
    QString preedit_;
    int preeditCaret_ = 0;
    PlacedBox box_;
    std::vector<TextLayoutLine> lines_;
    QTransform boxToWidget_;
    // How the box looks, set when an edit begins.
    QColor textColor_;
    QColor fillColor_;
    QColor borderColor_;
    bool boxed_ = true;
    double cornerRadius_ = 4;
};

}  // namespace quillet
