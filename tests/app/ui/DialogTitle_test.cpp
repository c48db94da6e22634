// The window's small texts in Russian, where they run longest: a small
// dialog shows its whole title, the zoom buttons say what they do.
#include "app/ui/DialogTitle.h"

#include <QAction>
#include <QDialog>
#include <QToolBar>
#include <gtest/gtest.h>

#include "app/ui/DocumentWindowController.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class DialogTitleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing::testApplication();
        // Each test runs in a process of its own: this one speaks Russian.
        InterfaceLanguage::fix(Language::ru);
        testing::writeFile(dir.file("three.pdf"), testing::simpleDocument(3));
        window = std::make_unique<DocumentWindowController>(OpenedPDF::open(testing::qpath(dir.file("three.pdf"))));
        window->show();
    }

    testing::TempDir dir;
    std::unique_ptr<DocumentWindowController> window;
};

TEST_F(DialogTitleTest, GoToPageIsWideEnoughForItsWholeTitle)
{
    window->actions().goToPage->trigger();
    QDialog* dialog = nullptr;
    ASSERT_TRUE(testing::pumpUntil([&] {
        dialog = window->findChild<QDialog*>(QStringLiteral("QuilletGoToPage"));
        return dialog != nullptr && dialog->isVisible();
    }));
    ASSERT_EQ(dialog->windowTitle(), QStringLiteral("Перейти к странице"));
    QFont bold = dialog->font();
    bold.setBold(true);
    // The title and at least a title bar's buttons beside it.
    EXPECT_GE(dialog->width(), QFontMetrics(bold).horizontalAdvance(dialog->windowTitle()) + 100);
    dialog->reject();
}

TEST_F(DialogTitleTest, TheZoomButtonsSayWhichWayTheyZoom)
{
    QAction* zoomIn = window->toolbar()->findChild<QAction*>(QStringLiteral("zoom-in"));
    QAction* zoomOut = window->toolbar()->findChild<QAction*>(QStringLiteral("zoom-out"));
    ASSERT_TRUE(zoomIn && zoomOut);
    EXPECT_EQ(zoomIn->toolTip(), QStringLiteral("Увеличить"));
    EXPECT_EQ(zoomOut->toolTip(), QStringLiteral("Уменьшить"));
}

}  // namespace
}  // namespace quillet
