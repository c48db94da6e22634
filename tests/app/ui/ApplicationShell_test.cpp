#include "app/ui/ApplicationShell.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

#include "app/document/DocumentLoaderError.h"
#include "app/platform/DefaultsStore.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/LanguageChoice.h"
#include "app/ui/SessionGuard.h"
#include "app/view/PageView.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::testApplication();
        InterfaceLanguage::fix(Language::en);
        store = testing::settingsIn(dir.file("store.ini"));
        testing::writeFile(dir.file("one.pdf"), testing::simpleDocument(2));
        testing::writeFile(dir.file("two.pdf"), testing::simpleDocument(2));
    }

    QString path(const char* name) const { return testing::qpath(dir.file(name)); }

    ShellOptions options() {
        ShellOptions o;
        o.store = store.get();
        o.language = Language::en;
        o.systemLanguages = [this] { return systemLanguages; };
        o.confirmRestart = [this](QWidget*) {
            ++restartQuestions;
            return answerRestartNow;
        };
        o.chooseFiles = [](QWidget*) { return QStringList(); };
        o.showOpenError = [](const QString&, const DocumentLoaderError&) {};
        o.passwordPrompt = [](QWidget*) -> PasswordPrompt {
            return [](const QString&) { return std::nullopt; };
        };
        o.showAbout = [](QWidget*) {};
        o.launch = [this](const QString& program, const QStringList& arguments) {
            launches.append(program + " " + arguments.join(' '));
            return true;
        };
        o.program = QStringLiteral("/opt/verda-pdf");
        o.exitEventLoop = [this] { ++exits; };
        o.scheduler = clock.scheduler();
        return o;
    }

    testing::TempDir dir;
    std::unique_ptr<QSettings> store;
    testing::FakeClock clock;
    QStringList systemLanguages{"en-US"};
    bool answerRestartNow = true;
    int restartQuestions = 0, exits = 0;
    QStringList launches;
};

// A self-test run's relaunch keeps the self-test store: wiping it at the new
// start would forget the language the restart is for.
TEST_F(ShellTest, RestartNowQuitsAndRelaunchesWithTheOpenFiles) {
    // The instance stops listening before the relaunch, so the new process
    // becomes the instance and opens the files itself.
    qunsetenv(DefaultsStore::selfTestContinuedVariable);
    std::unique_ptr<SingleInstance> instance =
        SingleInstance::claim(path("launch.lock"), path("launch.socket"), {});
    ASSERT_TRUE(instance && instance->isListening());
    bool listeningAtRelaunch = true;
    bool continuedAtRelaunch = false;
    ShellOptions o = options();
    o.selfTest = true;
    o.launch = [&](const QString& program, const QStringList& arguments) {
        listeningAtRelaunch = instance->isListening();
        continuedAtRelaunch = qEnvironmentVariableIsSet(DefaultsStore::selfTestContinuedVariable);
        launches.append(program + " " + arguments.join(' '));
        return true;
    };
    auto running = std::make_unique<ApplicationShell>(o);
    ApplicationShell& shell = *running;
    shell.attach(instance.get());
    shell.openFile(path("one.pdf"));
    shell.openFile(path("two.pdf"));
    shell.selectLanguage("ru");
    EXPECT_EQ(restartQuestions, 1);
    ASSERT_TRUE(shell.restartRequested());
    EXPECT_EQ(shell.restartList(), (QStringList{path("one.pdf"), path("two.pdf")}));
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(shell.windows().isEmpty());
    EXPECT_TRUE(launches.isEmpty()) << "the relaunch waits for the end of the run";

    store->setValue(SessionGuard::sessionRunningKey, true);
    shell.willTerminate();
    EXPECT_EQ(launches, QStringList{"/opt/verda-pdf -- " + path("one.pdf") + " " + path("two.pdf")});
    EXPECT_FALSE(listeningAtRelaunch);
    EXPECT_TRUE(continuedAtRelaunch);
    qunsetenv(DefaultsStore::selfTestContinuedVariable);
    EXPECT_FALSE(store->value(SessionGuard::sessionRunningKey).toBool());

    // Gone before the event loop deleted the closed windows: they went with
    // it, before the documents their editors hold on.
    running.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ShellTest, ALaunchWithoutFilesReopensThePreviousSessionOnceTheLaunchIsRecordedOnDisk) {
    struct Case {
        bool selfTest, continued;
        QStringList files;
        int windows;
        std::vector<int> windowsAtEachWait;
    } const cases[] = {
        {false, false, {}, 1, {0}},
        // A file given at launch is no reopened session: it does not wait.
        {false, false, {path("two.pdf")}, 1, {}},
        // A self-test drives its own run, unless it continues the last one.
        {true, false, {}, 0, {}},
        {true, true, {}, 1, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.selfTest << c.continued << c.files.size());
        SessionGuard::setSessionDocuments(*store, {path("one.pdf")});
        ApplicationShell* running = nullptr;
        std::vector<int> windowsAtEachWait;
        ShellOptions o = options();
        o.selfTest = c.selfTest;
        o.selfTestContinued = c.continued;
        o.awaitLaunchRecord = [&] {
            windowsAtEachWait.push_back(static_cast<int>(running->windows().size()));
        };
        ApplicationShell shell(o);
        running = &shell;
        shell.didFinishLaunching(c.files);
        EXPECT_EQ(windowsAtEachWait, c.windowsAtEachWait);
        EXPECT_EQ(shell.windows().size(), c.windows);
    }
}

TEST_F(ShellTest, EachPageOfAnOpenedDocumentGetsItsOwnSize) {
    // The window sets the document, then the editor attaches its store: the
    // page sizes read in the background still arrive (the page view's own
    // tests read them without a store).
    testing::writeFile(dir.file("mixed.pdf"), testing::mixedSizeDocument(2000));
    ApplicationShell shell(options());
    DocumentWindowController* window = shell.openFile(path("mixed.pdf"));
    ASSERT_TRUE(window);
    EXPECT_TRUE(
        testing::pumpUntil([&] { return window->pageView()->pageDisplaySize(1999).width() == 1224; }));
}

TEST_F(ShellTest, ALanguageChoiceAsksForARestartOnlyWhenItChangesTheLanguageInUse) {
    answerRestartNow = false;
    ApplicationShell shell(options());
    ASSERT_NE(shell.openFile(path("one.pdf")), nullptr);
    shell.selectLanguage("en");
    EXPECT_EQ(restartQuestions, 0);
    EXPECT_FALSE(shell.restartRequested());
    EXPECT_EQ(shell.checkedLanguageCode(), "en");
    ASSERT_TRUE(store->contains(LanguageChoice::overrideKey));

    // The system default, when the system prefers Russian.
    systemLanguages = {"ru-RU", "en-US"};
    shell.selectLanguage("");
    EXPECT_EQ(restartQuestions, 1);
    // "Later": the choice is kept for the next launch and nothing else happens.
    EXPECT_FALSE(shell.restartRequested());
    EXPECT_EQ(shell.windows().size(), 1);
    EXPECT_EQ(exits, 0);
    EXPECT_FALSE(store->contains(LanguageChoice::overrideKey));
    shell.willTerminate();
    EXPECT_TRUE(launches.isEmpty());
}

TEST_F(ShellTest, NewWindowsCascadeFromThePreviousOneWithinTheScreen) {
    {
        // Windows remembered smaller than the (offscreen) screen.
        QWidget remembered;
        remembered.setGeometry(40, 30, 560, 400);
        store->setValue(QString::fromLatin1(DocumentWindowController::windowGeometryKey),
                        remembered.saveGeometry());
    }
    ApplicationShell shell(options());
    DocumentWindowController* one = shell.openFile(path("one.pdf"));
    ASSERT_NE(one, nullptr);
    DocumentWindowController* two = shell.openFile(path("two.pdf"));
    ASSERT_NE(two, nullptr);
    const int step = DocumentWindowController::cascadeStep;
    EXPECT_EQ(two->frameGeometry().topLeft(), one->frameGeometry().topLeft() + QPoint(step, step));

    // A window that would leave the screen's free area starts again at its top left.
    const QRect available(0, 20, 1200, 900);
    EXPECT_EQ(DocumentWindowController::cascadedPosition(QRect(100, 70, 500, 400), {500, 400}, available),
              QPoint(128, 98));
    EXPECT_EQ(DocumentWindowController::cascadedPosition(QRect(100, 480, 500, 400), {500, 420}, available),
              QPoint(0, 20));
}

// The menu bar's menu titled `title`, opened as a click on it would.
QMenu* openMenu(QMainWindow& window, const QString& title) {
    for (QAction* action : window.menuBar()->actions()) {
        if (action->menu() != nullptr && action->text() == title) {
            action->menu()->popup(window.mapToGlobal(QPoint(0, 0)));
            return action->menu();
        }
    }
    return nullptr;
}

TEST_F(ShellTest, TheWindowMenuListsTheOpenDocumentsAndRaisesTheChosenOne) {
    ApplicationShell shell(options());
    DocumentWindowController* one = shell.openFile(path("one.pdf"));
    DocumentWindowController* two = shell.openFile(path("two.pdf"));
    ASSERT_TRUE(one && two);
    QApplication::setActiveWindow(two);
    ASSERT_TRUE(testing::pumpUntil([&] { return two->isActiveWindow(); }));

    QMenu* menu = openMenu(*two, QStringLiteral("Window"));
    ASSERT_NE(menu, nullptr);
    const auto listed = [&] {
        QStringList items;
        for (QAction* action : menu->actions()) {
            if (action->isCheckable()) {
                items.append(action->text() + (action->isChecked() ? " ✓" : ""));
            }
        }
        return items;
    };
    EXPECT_EQ(listed(), (QStringList{"one.pdf", "two.pdf ✓"}));
    QAction* first = menu->actions().value(menu->actions().size() - 2);
    ASSERT_EQ(first->text(), "one.pdf");
    first->trigger();
    menu->hide();
    EXPECT_TRUE(testing::pumpUntil([&] { return one->isActiveWindow(); }))
        << "the chosen window is not raised";

    // Opened again, the list names the windows open now: once, in order.
    one->close();
    ASSERT_TRUE(testing::pumpUntil([&] { return shell.windows().size() == 1; }));
    menu = openMenu(*two, QStringLiteral("Window"));
    EXPECT_EQ(listed(), (QStringList{"two.pdf ✓"}));
    menu->hide();
}

}  // namespace
}  // namespace quillet
