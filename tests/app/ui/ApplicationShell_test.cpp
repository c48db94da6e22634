#include "app/ui/ApplicationShell.h"

#include <atomic>

#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

#include "app/document/DocumentLoaderError.h"
#include "app/platform/SerialQueue.h"
#include "app/ui/DocumentWindow.h"
#include "app/ui/LanguageChoice.h"
#include "app/ui/MainMenu.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

// A shell whose dialogs, clock, relaunch and event loop are all scripted.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::testApplication();
        InterfaceLanguage::fix(Language::en);
        store = testing::settingsIn(dir.file("store.ini"));
        testing::writeFile(dir.file("one.pdf"), testing::simpleDocument(2));
        testing::writeFile(dir.file("two.pdf"), testing::simpleDocument(2));
        testing::writeFile(dir.file("broken.pdf"), "this is no PDF at all");
    }

    QString path(const char* name) const { return testing::qpath(dir.file(name)); }

    ShellOptions options()
    {
        ShellOptions o;
        o.store = store.get();
        o.language = Language::en;
        o.systemLanguages = [this] { return systemLanguages; };
        o.confirmRestart = [this](QWidget*) {
            ++restartQuestions;
            return answerRestartNow;
        };
        o.chooseFiles = [this](QWidget*) {
            ++openPanels;
            return panelChoice;
        };
        o.showOpenError = [this](const QString& p, const DocumentLoaderError&) { openErrors.append(p); };
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
    int restartQuestions = 0, openPanels = 0, exits = 0;
    QStringList panelChoice, openErrors, launches;
};

TEST_F(ShellTest, TheOpenPanelAtLaunchOpensTheChosenFilesACancelledOneEndsTheRun)
{
    ApplicationShell cancelled(options());
    cancelled.didFinishLaunching({});
    EXPECT_EQ(openPanels, 1);
    EXPECT_TRUE(cancelled.windows().isEmpty());
    EXPECT_EQ(exits, 1);

    panelChoice = {path("one.pdf"), path("two.pdf")};
    ApplicationShell chosen(options());
    chosen.didFinishLaunching({});
    EXPECT_EQ(chosen.windows().size(), 2);
    EXPECT_EQ(exits, 1);

    ShellOptions selfTest = options();  // in self-test mode no panel is shown
    selfTest.selfTest = true;
    ApplicationShell(std::move(selfTest)).didFinishLaunching({});
    EXPECT_EQ(openPanels, 2);
}

TEST_F(ShellTest, FilesGivenAtLaunchOpenWithoutThePanelAndTheLastWindowClosingEndsTheRun)
{
    ApplicationShell shell(options());
    shell.didFinishLaunching({path("one.pdf"), path("two.pdf")});
    EXPECT_EQ(openPanels, 0);
    ASSERT_EQ(shell.windows().size(), 2);
    EXPECT_EQ(SessionGuard::sessionDocuments(*store).size(), 2);

    shell.windows().first()->close();
    EXPECT_EQ(exits, 0);
    EXPECT_EQ(SessionGuard::sessionDocuments(*store), QStringList{path("two.pdf")});
    shell.windows().first()->close();
    EXPECT_EQ(exits, 1);
    // Closed one by one by the user: nothing to reopen next time.
    EXPECT_TRUE(SessionGuard::sessionDocuments(*store).isEmpty());
}

TEST_F(ShellTest, AnOpenFileIsRaisedAndAnUnreadableOneReportedALaunchWithNothingOpenEnds)
{
    {
        ApplicationShell shell(options());
        DocumentWindow* first = shell.openFile(path("one.pdf"));
        EXPECT_EQ(shell.openFile(testing::qpath(dir.path()) + QStringLiteral("/./one.pdf")), first);
        EXPECT_EQ(shell.windows().size(), 1);
    }
    ApplicationShell shell(options());
    shell.didFinishLaunching({path("broken.pdf"), path("missing.pdf")});
    EXPECT_EQ(openErrors, (QStringList{path("broken.pdf"), path("missing.pdf")}));
    EXPECT_TRUE(shell.windows().isEmpty());
    EXPECT_EQ(exits, 1);
}

TEST_F(ShellTest, AfterUncleanLaunchesThePreviousSessionIsNotReopenedUntilTheCleanLaunchReset)
{
    SessionGuard::setSessionDocuments(*store, {path("one.pdf")});
    store->setValue(SessionGuard::uncleanLaunchesKey, 3);
    store->setValue(SessionGuard::ignoreStateKey, true);
    ApplicationShell shell(options());
    shell.didFinishLaunching({});
    EXPECT_EQ(openPanels, 1);
    EXPECT_TRUE(shell.windows().isEmpty());
    clock.advance(9s);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 3);
    clock.advance(1s);
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store), 0);
    EXPECT_FALSE(SessionGuard::ignoresPreviousState(*store));
}

TEST_F(ShellTest, QuittingKeepsTheSessionsDocumentsAndTheNextLaunchReopensThem)
{
    {
        ApplicationShell shell(options());
        shell.didFinishLaunching({path("one.pdf"), path("two.pdf")});
        shell.requestQuit();
        EXPECT_EQ(exits, 1);
        EXPECT_TRUE(shell.windows().isEmpty());
        shell.willTerminate();
    }
    EXPECT_EQ(SessionGuard::sessionDocuments(*store).size(), 2);

    ApplicationShell next(options());
    next.didFinishLaunching({});
    EXPECT_EQ(openPanels, 0);
    EXPECT_EQ(next.windows().size(), 2);
}

TEST_F(ShellTest, RestartNowQuitsAndRelaunchesWithTheOpenFiles)
{
    ApplicationShell shell(options());
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
    EXPECT_FALSE(store->value(SessionGuard::sessionRunningKey).toBool());
}

TEST_F(ShellTest, SystemDefaultWhenTheSystemPrefersRussianAsksForARestart)
{
    systemLanguages = {"ru-RU", "en-US"};
    answerRestartNow = false;
    store->setValue(LanguageChoice::overrideKey, QStringList{"en"});
    ApplicationShell shell(options());
    shell.openFile(path("one.pdf"));
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

TEST_F(ShellTest, TheLanguageInUseShowsNoAlertAndTheItemsCheckTheStoredOverride)
{
    answerRestartNow = false;
    ApplicationShell shell(options());
    DocumentWindow* window = shell.openFile(path("one.pdf"));
    ASSERT_NE(window, nullptr);
    shell.selectLanguage("en");
    EXPECT_EQ(restartQuestions, 0);
    EXPECT_FALSE(shell.restartRequested());
    EXPECT_EQ(shell.checkedLanguageCode(), "en");
    QMenu* menu = MainMenu::languageMenu(window->menuBar());
    ASSERT_NE(menu, nullptr);
    for (const char* code : {"", "ru", ""}) {
        shell.selectLanguage(code);
        emit menu->aboutToShow();
        QStringList checked;
        for (QAction* action : menu->actions()) {
            if (action->isChecked()) {
                checked.append(action->data().toString());
            }
        }
        EXPECT_EQ(checked, QStringList{code});
    }
}

TEST_F(ShellTest, TheEndWaitsForPendingBackgroundWork)
{
    std::atomic<bool> written{false};
    ApplicationShell shell(options());
    SerialQueue journal("app.quillet.test-journal");
    journal.async([&written] {
        std::this_thread::sleep_for(300ms);
        written = true;
    });
    shell.willTerminate();
    EXPECT_TRUE(written);
}

TEST_F(ShellTest, AWindowOpenedByTheShellHasTheMainMenuNamingTheApplication)
{
    EXPECT_EQ(MainMenu::aboutTitle(), "About Verda Edits PDF");
    ApplicationShell shell(options());
    DocumentWindow* window = shell.openFile(path("one.pdf"));
    ASSERT_NE(window, nullptr);
    auto titles = [](const QList<QAction*>& actions) {
        QStringList out;
        for (QAction* action : actions) {
            if (!action->isSeparator()) {
                out.append(action->text());
            }
        }
        return out;
    };
    EXPECT_EQ(titles(window->menuBar()->actions()), (QStringList{"File", "View", "Help"}));
    EXPECT_EQ(titles(window->menuBar()->actions().first()->menu()->actions()),
              (QStringList{"Open…", "Close", "Language", "Quit Verda Edits PDF"}));
}

}  // namespace
}  // namespace quillet
