#include "app/ui/ShortcutHelp.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QKeySequence>
#include <QRegularExpression>

#include "app/ui/DocumentWindowController.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

// The keys the help names: what stands before " — " on each line, split at
// "/" and ",", read the way the menus write keys.
QList<QKeySequence> keysNamed(const QString& help) {
    QList<QKeySequence> keys;
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        QString named = line.section(QStringLiteral(" — "), 0, 0);
        named.replace(QChar(0x2212), QLatin1Char('-'));
        for (const QString& part : named.split(QRegularExpression(QStringLiteral("\\s*[/,]\\s*")))) {
            keys.append(QKeySequence::fromString(part.trimmed(), QKeySequence::PortableText));
        }
    }
    return keys;
}

TEST(ShortcutHelpTest, TheHelpNamesEveryKeyOfTheWindowsCommandsInBothLanguages) {
    testing::testApplication();
    InterfaceLanguage::fix(Language::en);
    testing::TempDir dir;
    testing::writeFile(dir.file("one.pdf"), testing::simpleDocument(1));
    DocumentWindowController window(OpenedPDF::open(testing::qpath(dir.file("one.pdf"))));
    EXPECT_EQ(window.actions().deleteMarkup->shortcut(), QKeySequence(Qt::Key_Delete)) << "the menu shows it";

    const QString english = ShortcutHelp::text(Language::en);
    const QString russian = ShortcutHelp::text(Language::ru);
    EXPECT_EQ(english.count(QLatin1Char('\n')), russian.count(QLatin1Char('\n')));
    const QList<QKeySequence> namedInEnglish = keysNamed(english);
    const QList<QKeySequence> namedInRussian = keysNamed(russian);
    int shortcuts = 0;
    for (const QAction* action : static_cast<const QWidget&>(window).actions()) {
        for (const QKeySequence& key : action->shortcuts()) {
            ++shortcuts;
            const std::string shown =
                key.toString().toStdString() + " (" + action->text().toStdString() + ")";
            EXPECT_TRUE(namedInEnglish.contains(key)) << shown;
            EXPECT_TRUE(namedInRussian.contains(key)) << shown;
        }
    }
    EXPECT_GT(shortcuts, 30);
}

}  // namespace
}  // namespace quillet
