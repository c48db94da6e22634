#include "app/editor/InlineTextEditor.h"

#include <gtest/gtest.h>

#include <QInputMethodEvent>
#include <QKeyEvent>

#include "app/document/AnnotationStore.h"
#include "app/editor/InlineTextOutcome.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using Action = InlineTextOutcome::Action;
constexpr std::chrono::sys_seconds kNow{std::chrono::seconds(1'800'000'000)};

AnnotationItem textBox(std::string text, std::optional<double> fixedWidth = std::nullopt,
                       double fontSize = 13) {
    return AnnotationItem(UUID::random(),
                          TextShape{{72, 700}, TextSpec{std::move(text), fontSize, fixedWidth, true}},
                          {0.89, 0.16, 0.16, 1}, 1, 0, {});
}
AnnotationItem arrow(std::optional<std::string> label) {
    std::optional<TextSpec> spec;
    if (label) spec = TextSpec{*label, 13, std::nullopt, true};
    return AnnotationItem(UUID::random(), ArrowShape{{100, 100}, {200, 200}, spec}, {0, 0, 0, 1}, 2, 0, {});
}
AnnotationItem note(std::string text) {
    return AnnotationItem(UUID::random(),
                          NoteShape{{50, 50}, {80, 80}, TextSpec{std::move(text), 13, {}, true}},
                          {1, 0.83, 0, 1}, 1, 0, {});
}
InlineTextSession sessionFor(const AnnotationItem& item, bool isNew, std::string typed) {
    InlineTextSession s{item, 0, isNew, InlineTextTarget::of(item),
                        item.textSpec().value_or(TextSpec{"", 13, std::nullopt, true})};
    s.spec.text = std::move(typed);
    return s;
}

TEST(InlineTextOutcome, FinishingRules) {
    const AnnotationItem box = textBox("old"), bubble = note("old"), labelled = arrow("old"),
                         bare = arrow(std::nullopt);
    struct Case {
        const char* name;
        InlineTextSession session;
        Action action;
        const char* undo;
        std::optional<std::string> storedText;  // the text of the resulting item, if any
    } cases[] = {
        {"new box drops trailing line breaks", sessionFor(box, true, "word\n\n"), Action::insert, "Text",
         "word"},
        {"new box left blank", sessionFor(box, true, " \n \n"), Action::none, "", std::nullopt},
        {"existing box emptied", sessionFor(box, false, "\n"), Action::remove, "Delete", "old"},
        {"existing box changed", sessionFor(box, false, "new"), Action::replace, "Text Edit", "new"},
        {"existing box unchanged", sessionFor(box, false, "old\n"), Action::none, "", std::nullopt},
        {"new note", sessionFor(bubble, true, "hi"), Action::insert, "Comment", "hi"},
        {"existing note emptied", sessionFor(bubble, false, ""), Action::remove, "Delete", "old"},
        {"new arrow with label", sessionFor(bare, true, "see"), Action::insert, "Arrow", "see"},
        {"new arrow left blank", sessionFor(bare, true, "  "), Action::insert, "Arrow", std::nullopt},
        {"label changed", sessionFor(labelled, false, "new"), Action::replace, "Text Edit", "new"},
        {"label emptied", sessionFor(labelled, false, "\n"), Action::replace, "Text Edit", std::nullopt},
    };
    for (const Case& c : cases) {
        const InlineTextOutcome out = InlineTextOutcome::of(c.session, kNow);
        EXPECT_EQ(out.action, c.action) << c.name;
        EXPECT_STREQ(out.undoName.en, c.undo) << c.name;
        if (c.action == Action::none) continue;
        ASSERT_TRUE(out.item) << c.name;
        EXPECT_EQ(out.item->id, c.session.item.id) << c.name;
        std::optional<TextSpec> spec = out.item->textSpec();
        EXPECT_EQ(spec ? std::optional(spec->text) : std::nullopt, c.storedText) << c.name;
        if (c.session.target.kind == InlineTextTarget::Kind::arrowLabel) {
            EXPECT_TRUE(out.item->shape.arrow()) << c.name << ": the arrow stays";
        }
        if (c.action != Action::remove) {
            EXPECT_EQ(out.item->modified, kNow) << c.name;
        }
    }
}

// A page view at a zoom: page space (y up, 600 by 800 points) → widget.
class InlineTextEditorTest : public ::testing::Test {
  protected:
    InlineTextEditorTest() {
        view.resize(1400, 1800);
        editor.draftSink = [this](const std::optional<AnnotationItem>& item, int) { drafts.push_back(item); };
        editor.onFinish = [this](const InlineTextSession& s) { finished.push_back(s); };
    }
    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent event(QEvent::KeyPress, code, modifiers, text);
        QCoreApplication::sendEvent(&editor, &event);
    }
    void type(const QString& text) {
        for (QChar c : text) {
            if (c == u'\n')
                key(Qt::Key_Return);
            else
                key(0, Qt::NoModifier, QString(c));
        }
    }
    QApplication& app = testing::testApplication();
    double zoom = 1;
    QWidget view;
    InlineTextEditor editor{&view, [this](int) { return QTransform(zoom, 0, 0, -zoom, 0, 800 * zoom); }};
    std::vector<std::optional<AnnotationItem>> drafts;
    std::vector<InlineTextSession> finished;
};

TEST_F(InlineTextEditorTest, TypingSessionDraftsEveryChangeAndCommitsWithoutTrailingBreaks) {
    editor.begin(sessionFor(textBox(""), true, ""));
    type("Hi");
    ASSERT_EQ(drafts.size(), 2u);
    ASSERT_TRUE(drafts.back());
    EXPECT_EQ(drafts.back()->textSpec()->text, "Hi") << "the draft holds the text typed so far";
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    key(Qt::Key_Escape);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].spec.text, "Hi\n\n");
    EXPECT_FALSE(drafts.back()) << "the draft is cleared when the edit ends";
    EXPECT_FALSE(editor.isEditing());
    const InlineTextOutcome out = InlineTextOutcome::of(finished[0], kNow);
    EXPECT_EQ(out.item->textSpec()->text, "Hi");
}

TEST_F(InlineTextEditorTest, TextBeingTypedReachesTheStoreSnapshotBeforeItIsCommitted) {
    AnnotationStore store(3, std::make_shared<testing::EmptyPages>());
    editor.draftSink = [&store](const std::optional<AnnotationItem>& item, int page) {
        store.setDraft(item, page);
    };
    InlineTextSession session = sessionFor(textBox(""), true, "");
    session.page = 1;
    editor.begin(session);
    type(QStringLiteral("Черновик"));
    const StoreSnapshot typing = store.snapshot();
    ASSERT_EQ(typing.pages.count(1), 1u);
    ASSERT_EQ(typing.pages.at(1).size(), 1u);
    EXPECT_EQ(typing.pages.at(1)[0].id, session.item.id);
    EXPECT_EQ(typing.pages.at(1)[0].textSpec()->text, "Черновик");
    key(Qt::Key_Escape);
    EXPECT_FALSE(store.draft());
    EXPECT_TRUE(store.snapshot().pages[1].empty())
        << "an uncommitted draft leaves nothing once the edit ends";
}

TEST_F(InlineTextEditorTest, TypingUndoStaysInsideTheBox) {
    editor.begin(sessionFor(textBox("old"), false, "old"));
    type("new");  // replaces the selected text
    key(Qt::Key_Return);
    type("x");
    EXPECT_EQ(editor.text(), QStringLiteral("new\nx"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.text(), QStringLiteral("new\n"));
    key(Qt::Key_Z, Qt::ControlModifier);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(editor.text(), QStringLiteral("old")) << "typing a word is one step";
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(editor.text(), QStringLiteral("new"));
    EXPECT_EQ(drafts.back()->textSpec()->text, "new") << "undo and redo reach the draft too";
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].spec.text, "new");
    EXPECT_EQ(editor.typingUndoStack().count(), 0);
}

TEST_F(InlineTextEditorTest, InputMethodComposesCyrillic) {
    editor.begin(sessionFor(textBox(""), true, ""));
    QInputMethodEvent compose(QStringLiteral("при"), {});
    QCoreApplication::sendEvent(&editor, &compose);
    EXPECT_EQ(editor.text(), QString()) << "text being composed is not typed yet";
    EXPECT_EQ(editor.displayedLines().front(), QStringLiteral("при"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("привет"));
    QCoreApplication::sendEvent(&editor, &commit);
    type(QStringLiteral(" мир"));
    EXPECT_EQ(editor.text(), QStringLiteral("привет мир"));
    key(Qt::Key_Backspace);
    key(Qt::Key_Left);
    key(Qt::Key_Delete);
    EXPECT_EQ(editor.text(), QStringLiteral("привет м"));
    EXPECT_EQ(static_cast<QWidget&>(editor).inputMethodQuery(Qt::ImSurroundingText).toString(),
              editor.text());
    EXPECT_EQ(drafts.back()->textSpec()->text, "привет м");
}

// The lines of the committed item's own layout, as text.
std::vector<QString> committedLines(const std::string& text, std::optional<double> fixedWidth) {
    const TextSpec spec{text, 13, fixedWidth, true};
    const QString q = QString::fromStdString(text);
    std::vector<QString> out;
    for (const TextLayoutLine& line : TextLayout::lines(spec))
        out.push_back(q.mid(line.start, std::min<qsizetype>(line.end, q.size()) - line.start));
    return out;
}

TEST_F(InlineTextEditorTest, LineBreaksWhileTypingAreTheCommittedOnes) {
    // Where "Lorem ipsum" ends on one unbroken line, in points.
    const TextSpec probe{"Lorem ipsum dolor", 13, 1000.0, true};
    const TextLayoutLine whole = TextLayout::lines(probe).front();
    const double ipsumEnd = whole.carets[11] - whole.carets[0];
    struct Case {
        std::string text;
        std::optional<double> width;
        std::vector<QString> lines;
    } cases[] = {
        {"Lorem ipsum dolor", ipsumEnd + 0.3, {"Lorem ipsum ", "dolor"}},
        {"Lorem ipsum dolor", ipsumEnd - 0.3, {"Lorem ", "ipsum dolor"}},
        {"Съешь же ещё этих мягких французских булок, да выпей чаю", 150.0, {}},
        {"A paragraph that wraps over several lines of a fixed width box.\nAnd one more.", 120.0, {}},
    };
    for (const Case& c : cases) {
        const std::vector<QString> committed = committedLines(c.text, c.width);
        if (!c.lines.empty()) {
            EXPECT_EQ(committed, c.lines) << c.text;
        }
        EXPECT_GT(committed.size(), 1u) << c.text;
        for (double z : {1.0, 2.0}) {
            zoom = z;
            editor.begin(sessionFor(textBox("", c.width), true, ""));
            type(QString::fromStdString(c.text));
            EXPECT_EQ(editor.displayedLines(), committed) << c.text << " at zoom " << z;
            // The box on screen is the committed box at the zoom.
            const PlacedBox placed = editor.session()->placedBox();
            EXPECT_NEAR(editor.boxToWidget().map(QLineF(0, 0, placed.size.width, 0)).length(),
                        placed.size.width * z, 1e-9);
            editor.finish();
            const InlineTextOutcome out = InlineTextOutcome::of(finished.back(), kNow);
            EXPECT_EQ(committedLines(out.item->textSpec()->text, out.item->textSpec()->fixedWidth),
                      committed);
        }
    }
}

TEST_F(InlineTextEditorTest, BoxSitsOverTheItemAtTheZoomWithItsTextInside) {
    zoom = 2;
    AnnotationItem item = textBox("");
    item.shape.text()->spec.boxed = false;
    editor.begin(sessionFor(item, true, ""));
    type("HH");
    // The box's top-left corner (72, 700) is at (144, 200) in the view at 200 %.
    const QPointF topLeft =
        editor.boxToWidget().map(QPointF(0, editor.session()->placedBox().size.height)) + editor.pos();
    EXPECT_NEAR(topLeft.x(), 144, 1e-6);
    EXPECT_NEAR(topLeft.y(), 200, 1e-6);
    const QImage shown = editor.grab().toImage();
    int red = 0;
    for (int y = 4; y < shown.height() - 4; ++y)
        for (int x = 4; x < shown.width() - 4; ++x) red += testing::isRed(shown.pixelColor(x, y));
    EXPECT_GT(red, 40) << "the glyphs are drawn inside the box, not mirrored out of it";
}

TEST_F(InlineTextEditorTest, ANewSessionFinishesTheOpenOneAndCancelReportsNothing) {
    editor.begin(sessionFor(textBox(""), true, ""));
    type("one");
    editor.begin(sessionFor(note(""), true, ""));
    ASSERT_EQ(finished.size(), 1u);
    EXPECT_EQ(finished[0].spec.text, "one");
    type("two");
    editor.cancel();
    EXPECT_EQ(finished.size(), 1u);
    EXPECT_FALSE(drafts.back());
}

// The window's tools answer to plain letters; while the box is open, keys that
// type or edit belong to it, and command keys (Ctrl+S) still reach the window.
TEST_F(InlineTextEditorTest, TypingKeysAreClaimedBeforeTheWindowsShortcuts) {
    editor.begin(sessionFor(textBox(""), true, ""));
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        bool claimed;
    };
    const Case cases[] = {
        {Qt::Key_E, Qt::NoModifier, QStringLiteral("e"), true},
        {Qt::Key_T, Qt::ShiftModifier, QStringLiteral("T"), true},
        {0, Qt::NoModifier, QStringLiteral("п"), true},
        {Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true},
        {Qt::Key_Backspace, Qt::NoModifier, QString(), true},
        {Qt::Key_Z, Qt::ControlModifier, QString(), true},
        {Qt::Key_S, Qt::ControlModifier, QString(), false},
    };
    for (const Case& c : cases) {
        QKeyEvent override(QEvent::ShortcutOverride, c.key, c.modifiers, c.text);
        override.ignore();
        QCoreApplication::sendEvent(&editor, &override);
        EXPECT_EQ(override.isAccepted(), c.claimed) << "key " << c.key << " text " << c.text.toStdString();
    }
}

}  // namespace
}  // namespace quillet
