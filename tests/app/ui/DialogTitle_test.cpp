// The window's small texts in Russian, where they run longest: a small
// dialog shows its whole title, and the file dialogs speak it too.
#include "app/ui/DialogTitle.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTranslator>

#include "app/ui/ApplicationShell.h"
#include "app/ui/DocumentPrompts.h"
#include "app/ui/DocumentWindowController.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class DialogTitleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::testApplication();
        // Each test runs in a process of its own: this one speaks Russian.
        InterfaceLanguage::fix(Language::ru);
        testing::writeFile(dir.file("three.pdf"), testing::simpleDocument(3));
        window = std::make_unique<DocumentWindowController>(
            OpenedPDF::open(testing::qpath(dir.file("three.pdf"))));
        window->show();
    }

    testing::TempDir dir;
    std::unique_ptr<DocumentWindowController> window;
};

TEST_F(DialogTitleTest, GoToPageIsWideEnoughForItsWholeTitle) {
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

TEST_F(DialogTitleTest, TheSaveAsDialogIsQtsOwnAndAllOfItSpeaksTheInterfaceLanguage) {
    // Qt's own translation, as the application installs it at launch.
    QTranslator qt;
    ASSERT_TRUE(qt.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&qt);
    QFileDialog* dialog = DocumentPrompts::chooseSaveAsPath(
        window.get(), testing::qpath(dir.file("three.pdf")), [](const QString&) {});
    // A desktop's native dialog would speak the system's language instead.
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QStringList english;
    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        QString text = widget->toolTip();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text += label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text += button->text();
        }
        if (text.contains(latin)) {
            english.append(text);
        }
    }
    EXPECT_EQ(english, QStringList());
    dialog->reject();
    QCoreApplication::removeTranslator(&qt);
}

TEST_F(DialogTitleTest, TheAboutBoxShowsItsWholeTitle) {
    auto store = testing::settingsIn(dir.file("store.ini"));
    const ShellOptions options = ShellOptions::forApplication(*store, Language::ru);
    QString title;
    int width = 0;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            width = box->width();
            box->accept();
        }
    });
    options.showAbout(window.get());
    ASSERT_EQ(title, QStringLiteral("О программе «Верда правит PDF»"));
    QFont bold = window->font();
    bold.setBold(true);
    EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(title) + 100);
}

}  // namespace
}  // namespace quillet
