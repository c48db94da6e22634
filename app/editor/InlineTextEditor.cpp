#include "app/editor/InlineTextEditor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

#include "app/platform/QtConversions.h"
#include "core/markup/NotePalette.h"

namespace quillet {

// One typing step: the text, caret and selection before and after. Typing
// of consecutive characters merges into one step, as in any text field.
class TypingCommand : public QUndoCommand {
  public:
    TypingCommand(InlineTextEditor& editor, InlineTextEditor::State before, InlineTextEditor::State after,
                  bool mergeable)
        : editor_(editor), before_(std::move(before)), after_(std::move(after)), mergeable_(mergeable) {}

    int id() const override { return mergeable_ ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const TypingCommand*>(other);
        if (!next->mergeable_ || next->before_.text != after_.text) return false;
        after_ = next->after_;
        return true;
    }
    void redo() override {
        if (first_) {
            first_ = false;  // already done when the command was made
            return;
        }
        editor_.setState(after_);
    }
    void undo() override { editor_.setState(before_); }

  private:
    InlineTextEditor& editor_;
    InlineTextEditor::State before_;
    InlineTextEditor::State after_;
    bool mergeable_;
    bool first_ = true;
};

namespace {

QColor opaque(const RGBA& c) {
    return toQColor(RGBA(c.r, c.g, c.b, 1));
}

QTransform toQTransform(const AffineTransform& t) {
    return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty);
}

}  // namespace

InlineTextEditor::InlineTextEditor(QWidget* pageView, PageTransform pageToView)
    : QWidget(pageView), pageToView_(std::move(pageToView)) {
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    hide();
}

InlineTextEditor::~InlineTextEditor() = default;

void InlineTextEditor::begin(InlineTextSession session) {
    if (session_) finish();
    undo_.clear();
    text_ = QString::fromStdString(session.spec.text);
    preedit_.clear();
    anchor_ = 0;
    caret_ = static_cast<int>(text_.size());
    session_ = std::move(session);
    takeLook();
    layoutBox();
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

void InlineTextEditor::endSession() {
    session_->spec.text = text_.toStdString();
    const int page = session_->page;
    undo_.clear();
    hide();
    if (parentWidget()) parentWidget()->setFocus(Qt::OtherFocusReason);
    if (draftSink) draftSink(std::nullopt, page);
}

void InlineTextEditor::finish() {
    if (!session_) return;
    endSession();
    const InlineTextSession ended = std::move(*session_);
    session_.reset();
    if (onFinish) onFinish(ended);
}

void InlineTextEditor::cancel() {
    if (!session_) return;
    endSession();
    session_.reset();
}

void InlineTextEditor::setTarget(const InlineTextTarget& target) {
    if (!session_) return;
    session_->target = target;
    layoutBox();
}

void InlineTextEditor::setTextStyle(double fontSize, std::optional<double> fixedWidth, bool boxed) {
    if (!session_) return;
    session_->spec.fontSize = fontSize;
    session_->spec.fixedWidth = fixedWidth;
    session_->spec.boxed = boxed;
    if (session_->target.kind != InlineTextTarget::Kind::note) boxed_ = boxed;
    changed();
}

void InlineTextEditor::setItem(const AnnotationItem& item) {
    if (!session_) return;
    session_->item = item;
    takeLook();
    changed();
}

void InlineTextEditor::takeLook() {
    if (session_->target.kind == InlineTextTarget::Kind::note) {
        const NotePalette palette(session_->item.color);
        textColor_ = opaque(palette.text);
        fillColor_ = opaque(palette.bubbleFill);
        borderColor_ = opaque(palette.bubbleBorder);
        boxed_ = true;
        cornerRadius_ = 3;
    } else {
        textColor_ = opaque(session_->item.color);
        fillColor_ = QColor::fromRgbF(1, 1, 1, 0.93f);
        borderColor_ = textColor_;
        boxed_ = session_->spec.boxed;
        cornerRadius_ = 4;
    }
}

void InlineTextEditor::relayout() {
    if (session_) layoutBox();
}

double InlineTextEditor::zoom() const {
    if (!session_) return 1;
    const QTransform t = pageToView_(session_->page);
    return std::max(std::sqrt(std::abs(t.determinant())), 0.01);
}

QString InlineTextEditor::shownText() const {
    if (preedit_.isEmpty()) return text_;
    return text_.left(caret_) + preedit_ + text_.mid(caret_);
}

void InlineTextEditor::layoutBox() {
    InlineTextSession shown = *session_;
    shown.spec.text = shownText().toStdString();
    box_ = shown.placedBox();
    lines_ = TextLayout::lines(shown.spec);
    const QTransform boxToView = toQTransform(box_.transform) * pageToView_(session_->page);
    const QRectF area =
        boxToView.mapRect(QRectF(0, 0, box_.size.width, box_.size.height)).adjusted(-2, -2, 2, 2);
    const QRect frame = area.toAlignedRect();
    setGeometry(frame);
    boxToWidget_ = boxToView * QTransform::fromTranslate(-frame.x(), -frame.y());
    update();
    if (onLayout) onLayout();
}

void InlineTextEditor::changed() {
    session_->spec.text = text_.toStdString();
    layoutBox();
    if (draftSink) draftSink(session_->itemWithText(), session_->page);
    if (onTextChange) onTextChange(*session_);
}

void InlineTextEditor::setState(const State& state) {
    text_ = state.text;
    caret_ = std::clamp(state.caret, 0, static_cast<int>(text_.size()));
    anchor_ = std::clamp(state.anchor, 0, static_cast<int>(text_.size()));
    changed();
}

void InlineTextEditor::replaceSelection(const QString& with, bool mergeable) {
    if (!session_) return;
    const int from = std::min(caret_, anchor_), to = std::max(caret_, anchor_);
    if (from == to && with.isEmpty()) return;
    const State before{text_, caret_, anchor_};
    text_ = text_.left(from) + with + text_.mid(to);
    caret_ = anchor_ = from + static_cast<int>(with.size());
    undo_.push(new TypingCommand(*this, before, {text_, caret_, anchor_}, mergeable));
    changed();
}

void InlineTextEditor::insertText(const QString& text) {
    replaceSelection(text, text != QStringLiteral("\n"));
}

void InlineTextEditor::deleteBackward() {
    if (caret_ == anchor_) anchor_ = previousCluster(caret_);
    replaceSelection({}, false);
}

void InlineTextEditor::deleteForward() {
    if (caret_ == anchor_) anchor_ = nextCluster(caret_);
    replaceSelection({}, false);
}

void InlineTextEditor::selectAll() {
    anchor_ = 0;
    caret_ = static_cast<int>(text_.size());
    update();
}

void InlineTextEditor::moveCaret(int position, bool extendSelection) {
    caret_ = std::clamp(position, 0, static_cast<int>(text_.size()));
    if (!extendSelection) anchor_ = caret_;
    update();
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImCursorPosition |
                                           Qt::ImAnchorPosition);
}

int InlineTextEditor::previousCluster(int index) const {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text_);
    finder.setPosition(index);
    const qsizetype at = finder.toPreviousBoundary();
    return at < 0 ? 0 : static_cast<int>(at);
}

int InlineTextEditor::nextCluster(int index) const {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text_);
    finder.setPosition(index);
    const qsizetype at = finder.toNextBoundary();
    return at < 0 ? static_cast<int>(text_.size()) : static_cast<int>(at);
}

int InlineTextEditor::lineOf(int index) const {
    int found = 0;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].start <= index) found = static_cast<int>(i);
    return found;
}

std::vector<QString> InlineTextEditor::displayedLines() const {
    const QString shown = shownText();
    std::vector<QString> out;
    for (const TextLayoutLine& line : lines_) {
        const int end = std::min(line.end, static_cast<int>(shown.size()));
        out.push_back(shown.mid(line.start, std::max(0, end - line.start)));
    }
    return out;
}

QRectF InlineTextEditor::caretRect() const {
    if (lines_.empty()) return {};
    const int index = caret_ + (preedit_.isEmpty() ? 0 : preeditCaret_);
    const TextLayoutLine& line = lines_[static_cast<size_t>(lineOf(index))];
    const size_t offset =
        static_cast<size_t>(std::clamp(index - line.start, 0, static_cast<int>(line.carets.size()) - 1));
    const double x = line.carets[offset];
    return boxToWidget_.mapRect(QRectF(x, line.baseline - line.descent, 0, line.ascent + line.descent));
}

int InlineTextEditor::indexAt(QPointF widgetPoint) const {
    if (lines_.empty()) return 0;
    const QPointF p = boxToWidget_.inverted().map(widgetPoint);
    size_t best = 0;
    double bestDistance = INFINITY;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const TextLayoutLine& line = lines_[i];
        const double top = line.baseline + line.ascent, bottom = line.baseline - line.descent;
        const double d = p.y() > top ? p.y() - top : p.y() < bottom ? bottom - p.y() : 0;
        if (d < bestDistance) bestDistance = d, best = i;
    }
    const TextLayoutLine& line = lines_[best];
    const int last = std::min(line.end, static_cast<int>(text_.size()));
    int index = line.start;
    double nearest = INFINITY;
    for (int at = line.start; at <= last; ++at) {
        if (at > 0 && at < text_.size() && text_[at].isLowSurrogate()) continue;
        const double d = std::abs(line.carets[static_cast<size_t>(at - line.start)] - p.x());
        if (d < nearest) nearest = d, index = at;
    }
    return std::min(index, static_cast<int>(text_.size()));
}

// The window's tools answer to plain letters (V, P, H, T, ...). While text is
// typed here, every key that types something, and the editing keys, belong
// to this box and never reach those shortcuts.
bool InlineTextEditor::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers commands =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        const bool types = !key->text().isEmpty() && commands == Qt::NoModifier;
        const bool edits =
            commands == Qt::NoModifier &&
            (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Up ||
             key->key() == Qt::Key_Down || key->key() == Qt::Key_Home || key->key() == Qt::Key_End ||
             key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete);
        if (types || edits || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Copy) ||
            key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Paste)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void InlineTextEditor::keyPressEvent(QKeyEvent* event) {
    if (!session_) return QWidget::keyPressEvent(event);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool command = event->modifiers() & Qt::ControlModifier;
    const int key = event->key();
    if (key == Qt::Key_Escape || (command && (key == Qt::Key_Return || key == Qt::Key_Enter)))
        return finish();
    if (event->matches(QKeySequence::Undo)) return undo_.undo();
    if (event->matches(QKeySequence::Redo)) return undo_.redo();
    if (event->matches(QKeySequence::SelectAll)) return selectAll();
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Cut)) {
        const int from = std::min(caret_, anchor_), to = std::max(caret_, anchor_);
        if (from != to) QGuiApplication::clipboard()->setText(text_.mid(from, to - from));
        if (event->matches(QKeySequence::Cut)) replaceSelection({}, false);
        return;
    }
    if (event->matches(QKeySequence::Paste))
        return replaceSelection(QGuiApplication::clipboard()->text(), false);
    const int at = lineOf(caret_);
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return insertText(QStringLiteral("\n"));
        case Qt::Key_Backspace:
            return deleteBackward();
        case Qt::Key_Delete:
            return deleteForward();
        case Qt::Key_Left:
            if (!shift && caret_ != anchor_) return moveCaret(std::min(caret_, anchor_), false);
            return moveCaret(previousCluster(caret_), shift);
        case Qt::Key_Right:
            if (!shift && caret_ != anchor_) return moveCaret(std::max(caret_, anchor_), false);
            return moveCaret(nextCluster(caret_), shift);
        case Qt::Key_Home:
            return moveCaret(lines_.empty() ? 0 : lines_[static_cast<size_t>(at)].start, shift);
        case Qt::Key_End:
            return moveCaret(lines_.empty() ? 0 : lines_[static_cast<size_t>(at)].end, shift);
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const QRectF here = caretRect();
            const double lineHeight = here.height() > 0 ? here.height() : 10;
            const double dy = key == Qt::Key_Up ? -lineHeight : lineHeight;
            if ((key == Qt::Key_Up && at == 0) ||
                (key == Qt::Key_Down && at + 1 >= static_cast<int>(lines_.size())))
                return moveCaret(key == Qt::Key_Up ? 0 : static_cast<int>(text_.size()), shift);
            return moveCaret(indexAt(here.center() + QPointF(0, dy)), shift);
        }
        default:
            break;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && !command && std::none_of(typed.begin(), typed.end(), [](QChar c) {
            return c.category() == QChar::Other_Control;
        }))
        return insertText(typed);
    QWidget::keyPressEvent(event);
}

void InlineTextEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!session_) return;
    if (event->replacementLength() > 0 || event->replacementStart() != 0) {
        const int from = std::clamp(caret_ + event->replacementStart(), 0, static_cast<int>(text_.size()));
        const int to = std::clamp(from + event->replacementLength(), from, static_cast<int>(text_.size()));
        anchor_ = from;
        caret_ = to;
    }
    preedit_ = event->preeditString();
    preeditCaret_ = static_cast<int>(preedit_.size());
    for (const QInputMethodEvent::Attribute& a : event->attributes())
        if (a.type == QInputMethodEvent::Cursor)
            preeditCaret_ = std::clamp(a.start, 0, static_cast<int>(preedit_.size()));
    if (!event->commitString().isEmpty() || caret_ != anchor_)
        replaceSelection(event->commitString(), true);
    else
        layoutBox();
    event->accept();
}

QVariant InlineTextEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return session_.has_value();
        case Qt::ImCursorRectangle:
            return caretRect();
        case Qt::ImCursorPosition:
            return caret_;
        case Qt::ImAnchorPosition:
            return anchor_;
        case Qt::ImSurroundingText:
            return text_;
        case Qt::ImCurrentSelection:
            return text_.mid(std::min(caret_, anchor_), std::abs(caret_ - anchor_));
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhMultiLine);
        default:
            return QWidget::inputMethodQuery(query);
    }
}

void InlineTextEditor::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    moveCaret(indexAt(event->position()), event->modifiers() & Qt::ShiftModifier);
}

void InlineTextEditor::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) moveCaret(indexAt(event->position()), true);
}

void InlineTextEditor::paintEvent(QPaintEvent*) {
    if (!session_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = zoom();
    painter.setTransform(boxToWidget_);
    const QRectF box(0, 0, box_.size.width, box_.size.height);
    const double inset = 0.5 / scale;
    const QRectF frame = box.adjusted(inset, inset, -inset, -inset);
    const double radius = std::max(0.0, std::min({cornerRadius_, frame.width() / 2, frame.height() / 2}));
    if (boxed_) {
        painter.setPen(QPen(borderColor_, std::max(0.8 * scale, 1.0) / scale));
        painter.setBrush(fillColor_);
    } else {
        QColor accent = palette().color(QPalette::Highlight);
        accent.setAlphaF(0.6f);
        painter.setPen(QPen(accent, 1 / scale));
        painter.setBrush(Qt::NoBrush);
    }
    painter.drawRoundedRect(frame, radius, radius);

    const int from = std::min(caret_, anchor_), to = std::max(caret_, anchor_);
    if (from != to && preedit_.isEmpty()) {
        QColor selection = palette().color(QPalette::Highlight);
        selection.setAlphaF(0.35f);
        for (const TextLayoutLine& line : lines_) {
            const int a = std::max(from, line.start), b = std::min(to, line.end);
            if (a >= b) continue;
            const double x0 = line.carets[static_cast<size_t>(a - line.start)];
            const double x1 = line.carets[static_cast<size_t>(b - line.start)];
            painter.fillRect(QRectF(x0, line.baseline - line.descent, x1 - x0, line.ascent + line.descent),
                             selection);
        }
    }
    painter.fillPath(toQPainterPath(box_.layout.glyphs), textColor_);

    if (!preedit_.isEmpty()) {
        // The text being composed is underlined.
        const int a = caret_, b = caret_ + static_cast<int>(preedit_.size());
        painter.setPen(QPen(textColor_, 1 / scale));
        for (const TextLayoutLine& line : lines_) {
            const int s = std::max(a, line.start), e = std::min(b, line.end);
            if (s >= e) continue;
            const double y = line.baseline - line.descent / 2;
            painter.drawLine(QPointF(line.carets[static_cast<size_t>(s - line.start)], y),
                             QPointF(line.carets[static_cast<size_t>(e - line.start)], y));
        }
    }
    painter.resetTransform();
    painter.setPen(QPen(textColor_, 1));
    const QRectF caret = caretRect();
    painter.drawLine(caret.topLeft(), caret.bottomLeft());
}

}  // namespace quillet
