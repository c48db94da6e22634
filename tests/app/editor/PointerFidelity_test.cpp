// No pointer sample of a stroke is lost to event compression. Synthetic Qt
// events never pass through the X connection's compression, so this test
// runs the editor on a real X server (Xvfb) in a child process and moves the
// pointer with xdotool: 500 spaced motions during a pen drag must all reach
// the stroke.
#include <QProcess>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/EditorFixture.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

constexpr int motions = 500;

bool onPath(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// An X server of its own on a free display, which it prints; stopped with the object.
class VirtualDisplay {
  public:
    VirtualDisplay() {
        server_.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        if (server_.waitForStarted() && testing::pumpUntil([&] { return server_.canReadLine(); }))
            display_ = ":" + server_.readLine().trimmed().toStdString();
    }
    ~VirtualDisplay() {
        server_.terminate();
        server_.waitForFinished();
    }
    const std::string& display() const { return display_; }

  private:
    QApplication& app_ = testing::testApplication();  // before the process
    QProcess server_;
    std::string display_;
};

class PointerFidelity : public testing::EditorTest {
  protected:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QUILLET_XVFB_CHILD")) {
            GTEST_SKIP() << "runs in the child process on Xvfb";
        }
        testing::EditorTest::SetUp();
    }
};

// In the child: a pen drag driven by xdotool through the X server.
TEST_F(PointerFidelity, EverySpacedMotionOfAPenDragReachesTheStroke) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    view->resize(600, 700);
    view->move(0, 0);
    view->activateWindow();
    ASSERT_TRUE(
        testing::pumpUntil([&] { return view->windowHandle() && view->windowHandle()->isExposed(); }));
    testing::pumpFor(200ms);
    view->setScale(1.0);
    view->goToPage(0);
    editor->setTool(Tool::pen);
    ASSERT_TRUE(QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents));

    // A serpentine of 1-point steps inside page 0, every sample kept by the builder.
    QStringList arguments;
    auto screenPoint = [&](Point p) { return view->viewport()->mapToGlobal(at(0, p).toPoint()); };
    const QPoint start = screenPoint({40, 360});
    arguments << "mousemove" << QString::number(start.x()) << QString::number(start.y());
    arguments << QString("sleep 0.2 mousedown 1 sleep 0.2").split(' ');
    for (int i = 1; i <= motions; ++i) {
        const int row = i / 200;
        const int column = row % 2 == 0 ? i % 200 : 199 - i % 200;
        const QPoint p = screenPoint({40.0 + column, 360.0 - 3 * row});
        arguments << "mousemove" << QString::number(p.x()) << QString::number(p.y());
    }
    QProcess xdotool;
    xdotool.start("xdotool", arguments);
    ASSERT_TRUE(testing::pumpUntil([&] { return xdotool.state() == QProcess::NotRunning; }, 30s));
    ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
    testing::pumpUntil([&] { return editor->overlay().stroke.size() > motions; }, 5s);
    testing::pumpFor(300ms);
    EXPECT_GE(editor->overlay().stroke.size(), static_cast<size_t>(motions + 1));

    xdotool.start("xdotool", {"mouseup", "1"});
    ASSERT_TRUE(testing::pumpUntil(
        [&] { return xdotool.state() == QProcess::NotRunning && !items(0).empty(); }, 10s));
    EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_CompressHighFrequencyEvents))
        << "restored after the stroke";
}

// In the parent: a display of its own, the child on it.
TEST(PointerFidelityOnX, RunsTheDragOnAVirtualDisplay) {
    if (qEnvironmentVariableIsSet("QUILLET_XVFB_CHILD")) {
        GTEST_SKIP();
    }
    if (!onPath("Xvfb") || !onPath("xdotool")) {
        GTEST_SKIP() << "Xvfb and xdotool are installed by scripts/setup";
    }
    VirtualDisplay display;
    ASSERT_FALSE(display.display().empty()) << "Xvfb did not start";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "DISPLAY=" + display.display() +
                                " QT_QPA_PLATFORM=xcb QUILLET_XVFB_CHILD=1 '" + self +
                                "' --gtest_filter=PointerFidelity.* --gtest_brief=1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
}  // namespace quillet
