// Closing and quitting with an edited document, through the shell and the
// real window: the save runs first; when it fails the window asks "Close
// Anyway" or "Cancel".
#include "app/ui/WindowDocumentBinding.h"

#include <QFileInfo>
#include <QMenu>

#include "app/document/DocumentLoaderError.h"
#include "app/document/InkDocumentSupport.h"
#include "app/editor/EditorController.h"
#include "app/ui/ApplicationShell.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/SessionGuard.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

class BindingTest : public testing::DocumentTest {
  protected:
    ShellOptions shellOptions() {
        ShellOptions o;
        o.store = store.get();
        o.systemLanguages = [] { return QStringList{"en-US"}; };
        o.confirmRestart = [](QWidget*) { return false; };
        o.chooseFiles = [](QWidget*) { return QStringList(); };
        o.showOpenError = [](const QString&, const DocumentLoaderError&) {};
        o.showAbout = [](QWidget*) {};
        o.launch = [](const QString&, const QStringList&) { return true; };
        o.exitEventLoop = [this] { ++exits; };
        o.scheduler = [](std::chrono::milliseconds, std::function<void()>) {};
        o.documentServices = [this] { return services(); };
        return o;
    }

    std::unique_ptr<QSettings> store = testing::settingsIn(dir.file("store.ini"));
    int exits = 0;
};

TEST_F(BindingTest, QuittingWithAFailedSaveAsksAndCancelKeepsTheWindow) {
    writeAtOnce = true;
    ApplicationShell shell(shellOptions());
    QPointer<DocumentWindowController> window = shell.openFile(testing::qpath(file));
    ASSERT_TRUE(window);
    InkDocument* document = shell.documents().documentFor(testing::qpath(file));
    ASSERT_NE(document, nullptr);
    draw(*document, 1);

    failSaves = true;
    shell.requestQuit();
    EXPECT_EQ(jobs.size(), 1u) << "the quit saves first";
    ASSERT_TRUE(testing::answerQuestion(*window, "Cancel"));
    EXPECT_EQ(exits, 0);
    EXPECT_TRUE(window && window->isVisible());

    shell.requestQuit();
    ASSERT_TRUE(testing::answerQuestion(*window, "Close Anyway"));
    EXPECT_EQ(exits, 1);
    ASSERT_TRUE(testing::pumpUntil([&] { return window.isNull(); }));
    EXPECT_TRUE(shell.documents().documents().empty());
    EXPECT_FALSE(journal.recorded.empty()) << "the markup waits in the journal";
    EXPECT_TRUE(journal.discarded.empty());
}

TEST_F(BindingTest, OpenRecentListsTheFilesNewestFirstUntilCleared) {
    testing::writeFile(dir.file("other.pdf"), testing::simpleDocument(1));
    ApplicationShell shell(shellOptions());
    shell.openFile(testing::qpath(file));
    DocumentWindowController* window = shell.openFile(testing::qpath(dir.file("other.pdf")));
    QMenu* menu = window->actions().openRecent;
    auto titles = [menu] {
        emit menu->aboutToShow();
        QStringList texts;
        for (QAction* action : menu->actions()) {
            texts.append(action->isSeparator() ? "-" : action->text());
        }
        return texts;
    };
    EXPECT_EQ(titles(), (QStringList{"other.pdf", "report.pdf", "-", "Clear Menu"}));
    EXPECT_TRUE(window->actions().clearRecent->isEnabled());
    window->actions().clearRecent->trigger();
    EXPECT_EQ(titles(), (QStringList{"-", "Clear Menu"}));
    EXPECT_FALSE(window->actions().clearRecent->isEnabled());
}

TEST_F(BindingTest, TheEditMenuOffersCopyAndDeleteForTheSelectedMarkupAsItOpens) {
    ApplicationShell shell(shellOptions());
    DocumentWindowController* window = shell.openFile(testing::qpath(file));
    InkDocument* document = shell.documents().documentFor(testing::qpath(file));
    draw(*document, 1);
    auto* attachment = window->findChild<DocumentAttachment*>();
    ASSERT_TRUE(attachment != nullptr && attachment->editor() != nullptr);
    attachment->editor()->select(document->store()->itemsOnPage(0).at(0).id);

    const WindowActions& a = window->actions();
    QMenu* edit = nullptr;
    for (QObject* holder : a.copy->associatedObjects()) {
        edit = edit != nullptr ? edit : qobject_cast<QMenu*>(holder);
    }
    ASSERT_NE(edit, nullptr);
    emit edit->aboutToShow();
    EXPECT_TRUE(a.copy->isEnabled());
    EXPECT_TRUE(a.cut->isEnabled());
    EXPECT_TRUE(a.deleteMarkup->isEnabled());
}

TEST_F(BindingTest, ClosingAWindowSavesItsEditsFirst) {
    realSaves = true;
    writeAtOnce = true;
    ApplicationShell shell(shellOptions());
    QPointer<DocumentWindowController> window = shell.openFile(testing::qpath(file));
    draw(*shell.documents().documentFor(testing::qpath(file)), 1);
    EXPECT_TRUE(window->close());
    ASSERT_TRUE(testing::pumpUntil([&] { return window.isNull(); }));
    EXPECT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(journal.recorded.empty());

    // The item is in the file.
    auto reopened = open();
    EXPECT_EQ(reopened->store()->itemsOnPage(0).size(), 1u);
}

TEST_F(BindingTest, SaveAsMovesTheWindowTheSessionAndTheRecentFilesToTheNewFile) {
    realSaves = true;
    writeAtOnce = true;
    const std::string original = testing::readFile(file);
    ApplicationShell shell(shellOptions());
    QPointer<DocumentWindowController> window = shell.openFile(testing::qpath(file));
    InkDocument* document = shell.documents().documentFor(testing::qpath(file));
    draw(*document, 1);
    const QString copy = QFileInfo(testing::qpath(dir.file("copy.pdf"))).absoluteFilePath();
    document->saveAs(copy, {});

    EXPECT_EQ(window->windowFilePath(), QFileInfo(copy).canonicalFilePath());
    EXPECT_TRUE(window->windowTitle().startsWith("copy.pdf")) << window->windowTitle().toStdString();
    EXPECT_EQ(shell.documents().recentFiles().value(0), QFileInfo(copy).canonicalFilePath());
    EXPECT_EQ(SessionGuard::sessionDocuments(*store), QStringList{QFileInfo(copy).canonicalFilePath()});
    EXPECT_EQ(shell.documents().documentFor(copy), document);
    EXPECT_EQ(testing::readFile(file), original) << "the old file stays as it was";
}

}  // namespace
}  // namespace quillet
