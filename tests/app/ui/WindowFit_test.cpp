// A new window's frame on its screen: the pure fitting, then a real window of
// the offscreen platform (whose windows have a frame, as a window manager's).
#include "app/ui/WindowFit.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

TEST(WindowFitTest, AFrameLeavingTheFreeAreaMovesInAndShrinksOnlyWhereItMust) {
    const QRect available(0, 24, 1366, 744);
    const QSize minimum(530, 390);
    // Fits already: untouched, wherever it stands.
    EXPECT_EQ(WindowFit::fittedFrame(QRect(100, 60, 800, 600), available, minimum), QRect(100, 60, 800, 600));
    // Content sized to the free area plus a 28-pixel title bar: 28 too tall.
    EXPECT_EQ(WindowFit::fittedFrame(QRect(0, 24, 1090, 772), available, minimum), QRect(0, 24, 1090, 744));
    // Placed too low and too far right: moved in at its own size.
    EXPECT_EQ(WindowFit::fittedFrame(QRect(500, 400, 1000, 500), available, minimum),
              QRect(366, 268, 1000, 500));
    // Above or left of the free area (under a top panel): moved down and right.
    EXPECT_EQ(WindowFit::fittedFrame(QRect(-20, 0, 800, 600), available, minimum), QRect(0, 24, 800, 600));
    // A screen smaller than the window's minimum: the title bar stays on it.
    EXPECT_EQ(WindowFit::fittedFrame(QRect(0, 100, 600, 500), QRect(0, 0, 500, 300), minimum),
              QRect(0, 0, 530, 390));
}

TEST(WindowFitTest, ANewWindowWithItsFrameEndsOnTheScreenWithItsStatusLine) {
    testing::testApplication();
    QMainWindow window;
    window.statusBar()->showMessage(QStringLiteral("Page 1 of 3"));
    const QRect available = window.screen()->availableGeometry();
    // Sized to the free area, as a new document window is before it is shown.
    window.resize(available.size());
    window.move(available.topLeft());
    WindowFit::keepOnScreen(window);
    window.show();
    ASSERT_TRUE(testing::pumpUntil([&] { return window.frameGeometry() != window.geometry(); }))
        << "the platform gave the window no frame: nothing to fit";

    EXPECT_TRUE(testing::pumpUntil([&] { return available.contains(window.frameGeometry()); }))
        << "the frame hangs out of the free area";
    const QRect statusLine(window.statusBar()->mapToGlobal(QPoint(0, 0)), window.statusBar()->size());
    EXPECT_TRUE(available.contains(statusLine));

    // Moved by the window manager while it settles: fitted again.
    window.move(available.left(), available.top() + 100);
    EXPECT_TRUE(testing::pumpUntil([&] { return available.contains(window.frameGeometry()); }));
}

TEST(WindowFitTest, AWindowSizedForAFrameThePlatformGivesBeforeTheMapNeedsNoFitting) {
    testing::testApplication();
    QMainWindow window;
    const QRect available = window.screen()->availableGeometry();
    const QSize content = WindowFit::contentRoom(available, window);
    window.resize(content);
    window.move(available.topLeft());
    WindowFit::keepOnScreen(window);
    window.show();
    ASSERT_TRUE(testing::pumpUntil([&] { return window.frameGeometry() != window.geometry(); }));

    EXPECT_TRUE(available.contains(window.frameGeometry()));
    testing::pumpFor(WindowFit::settleTime / 2);
    EXPECT_EQ(window.size(), content) << "resized after its show: its pages laid out and rendered twice";
}

}  // namespace
}  // namespace quillet
