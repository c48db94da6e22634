#include "app/ui/DocumentPrompts.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

// Clicks the button titled `title` of the window's open question.
void answer(QWidget& window, const QString& title)
{
    QMessageBox* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == title) {
            button->click();
            return;
        }
    }
    FAIL() << "no button " << title.toStdString();
}

TEST(DocumentPrompts, AnswerThroughTheirCallbacksWithoutBlocking)
{
    testing::testApplication();
    InterfaceLanguage::fix(Language::en);
    QMainWindow window;
    window.show();
    std::optional<bool> closeAnyway;
    DocumentPrompts::askCloseAnyway(&window, "report.pdf", "The file could not be written.",
                                    [&](bool yes) { closeAnyway = yes; });
    EXPECT_FALSE(closeAnyway) << "the question waits for the user";
    answer(window, "Close Anyway");
    EXPECT_EQ(closeAnyway, true);
    testing::pumpFor(std::chrono::milliseconds(20));

    std::optional<bool> keepEdits;
    DocumentPrompts::askAboutReplacedFile(&window, "report.pdf", [&](bool yes) { keepEdits = yes; });
    answer(window, "Reload from Disk");
    EXPECT_EQ(keepEdits, false);
    testing::pumpFor(std::chrono::milliseconds(20));

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
