#include "app/ui/DocumentPrompts.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

// Clicks the button titled `title` of the window's open question, a sheet of the window.
void answer(QWidget& window, const QString& title) {
    QMessageBox* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(testing::answerQuestion(window, title)) << "no button " << title.toStdString();
}

TEST(DocumentPrompts, AnswerThroughTheirCallbacksWithoutBlocking) {
    testing::testApplication();
    InterfaceLanguage::fix(Language::en);
    QMainWindow window;
    window.show();
    using DocumentPrompts::CloseChoice;
    std::vector<CloseChoice> closing;
    for (const char* button : {"Save As…", "Close Anyway", "Cancel"}) {
        const size_t answered = closing.size();
        DocumentPrompts::askCloseAnyway(&window, "report.pdf", "The file could not be written.",
                                        [&](CloseChoice choice) { closing.push_back(choice); });
        EXPECT_EQ(closing.size(), answered) << "the question waits for the user";
        answer(window, button);
        testing::pumpFor(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(closing, (std::vector{CloseChoice::saveAs, CloseChoice::closeAnyway, CloseChoice::cancel}));

    std::vector<ReplacedFileChoice> replaced;
    for (const char* button : {"Add My Edits to This Version", "Keep My Edits", "Reload from Disk"}) {
        DocumentPrompts::askAboutReplacedFile(&window, "report.pdf",
                                              [&](ReplacedFileChoice choice) { replaced.push_back(choice); });
        answer(window, button);
        testing::pumpFor(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(replaced, (std::vector{ReplacedFileChoice::addMine, ReplacedFileChoice::keepMine,
                                     ReplacedFileChoice::reload}));

    // A revert names what it drops; only "Revert" answers true.
    std::vector<bool> reverts;
    for (const char* button : {"Cancel", "Revert"}) {
        DocumentPrompts::askRevert(&window, "report.pdf", DocumentPrompts::RevertKind::toSaved, 3,
                                   [&](bool yes) { reverts.push_back(yes); });
        EXPECT_TRUE(window.findChild<QMessageBox*>()->informativeText().contains("3 markup changes"));
        answer(window, button);
        testing::pumpFor(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(reverts, (std::vector{false, true}));

    // Set-aside markup: "Not Now" answers nothing (it stays aside), "Discard" false.
    std::vector<bool> restore;
    for (const char* button : {"Not Now", "Discard"}) {
        DocumentPrompts::askRestoreSetAside(&window, "report.pdf", [&](bool yes) { restore.push_back(yes); });
        answer(window, button);
        testing::pumpFor(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(restore, std::vector<bool>{false});
}

}  // namespace
}  // namespace quillet
