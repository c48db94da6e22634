// The page view as a viewer and as the editor's input surface: page ⇄
// viewport conversions on rotated and cropped pages, text selection by
// dragging with Ctrl+C and Select All, and the input handler's first pick.
#include <QClipboard>

#include "support/EditorFixture.h"

namespace quillet {
namespace {

class PageViewInputTest : public testing::MarkupViewTest {
  protected:
    void SetUp() override {
        MarkupViewTest::SetUp();
        QGuiApplication::clipboard()->clear();
    }
    void selectAlphaBeta() { drag(0, {{45, 306}, {120, 306}, {200, 306}}); }
};

TEST_F(PageViewInputTest, ConvertsBetweenPageAndViewportOnRotatedCroppedPages) {
    for (int page : {0, 3, 4, 5}) {
        view->goToPage(page);
        const QRectF shown = view->pageRectInViewport(page);
        const QRectF crop = view->pageGeometry(page)->bounds;
        // The shown page's top-left corner is the crop box corner that the
        // rotation brings there; every corner maps onto a corner of the shown page.
        for (QPointF corner : {crop.topLeft(), crop.topRight(), crop.bottomLeft(), crop.bottomRight()}) {
            const QPointF at = view->toViewport(page, corner);
            EXPECT_TRUE(std::abs(at.x() - shown.left()) < 1e-6 || std::abs(at.x() - shown.right()) < 1e-6)
                << page;
            EXPECT_TRUE(std::abs(at.y() - shown.top()) < 1e-6 || std::abs(at.y() - shown.bottom()) < 1e-6)
                << page;
            const QPointF back = view->toPage(page, at);
            EXPECT_NEAR(back.x(), corner.x(), 1e-6);
            EXPECT_NEAR(back.y(), corner.y(), 1e-6);
        }
        EXPECT_EQ(view->pageAt(shown.center()), page);
        EXPECT_EQ(view->pageAt(shown.topLeft() - QPointF(3, 3)), std::nullopt) << "the margin beside a page";
    }
    // Page 3 turns 90° clockwise: page-space up (+y) points right on screen.
    const QPointF a = at(3, {50, 50}), b = at(3, {50, 60});
    EXPECT_GT(b.x() - a.x(), 0);
    EXPECT_NEAR(b.y(), a.y(), 1e-6);

    view->goToPage(0);
    const QRectF visible = view->visiblePageRect(0);
    EXPECT_FALSE(visible.isEmpty());
    EXPECT_TRUE(QRectF(0, 0, 300, 400).adjusted(-0.01, -0.01, 0.01, 0.01).contains(visible));
}

TEST_F(PageViewInputTest, DraggingOverTextSelectsItAndCtrlCCopiesIt) {
    selectAlphaBeta();
    EXPECT_EQ(view->selectedText(), "Alpha beta");
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Alpha beta");

    // Half a word.
    drag(0, {{45, 306}, {62, 306}, {80, 306}});
    EXPECT_TRUE(QString("Alpha").startsWith(view->selectedText())) << view->selectedText().toStdString();
    EXPECT_FALSE(view->selectedText().isEmpty());

    // A click elsewhere clears it; Ctrl+A selects the text of every page.
    click(0, {150, 100});
    EXPECT_FALSE(view->hasTextSelection());
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(view->selectedText().contains("Alpha beta"));
    EXPECT_TRUE(view->selectedText().contains("beta gamma Beta"));
}

TEST_F(PageViewInputTest, SelectedTextGoesToThePrimarySelectionButNotTheClipboard) {
    QStringList offered;
    view->setPrimarySelection([&](const QString& text) { offered.append(text); });
    QGuiApplication::clipboard()->setText(QStringLiteral("copied before"));

    selectAlphaBeta();
    EXPECT_EQ(offered, QStringList{"Alpha beta"});
    // Selecting is not copying: Ctrl+V still pastes what was copied.
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "copied before");

    // A click without a drag selects nothing and offers nothing.
    click(0, {150, 100});
    EXPECT_EQ(offered.size(), 1);
    key(Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(offered.size(), 2);
    EXPECT_TRUE(offered.last().contains("beta gamma Beta"));
}

TEST_F(PageViewInputTest, TheInputHandlerChoosesFirst) {
    struct Taker : PageInputHandler {
        bool take = true;
        int presses = 0, keys = 0;
        bool mousePress(QMouseEvent*) override { return ++presses, take; }
        bool mouseMove(QMouseEvent*) override { return take; }
        bool mouseRelease(QMouseEvent*) override { return take; }
        bool keyPress(QKeyEvent*) override { return ++keys, take; }
        bool contextMenu(QContextMenuEvent*) override { return take; }
        void pointerLeft() override {}
    } handler;
    view->setInputHandler(&handler);
    selectAlphaBeta();
    EXPECT_EQ(handler.presses, 1);
    EXPECT_FALSE(view->hasTextSelection()) << "a taken drag must not select text";
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(view->hasTextSelection());

    handler.take = false;
    selectAlphaBeta();
    EXPECT_EQ(view->selectedText(), "Alpha beta");
    view->setInputHandler(nullptr);
}

}  // namespace
}  // namespace quillet
