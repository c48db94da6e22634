// The private clipboard type: what we put there comes back under its type,
// plain text of another application is not taken for ours, and ours does
// not show up as plain text.
#include "app/platform/Pasteboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

namespace quillet {
namespace {

QGuiApplication& guiApplication()
{
    static int argc = 1;
    static char name[] = "pasteboard-test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return *app;
}

TEST(PasteboardTest, PrivateTextComesBackOnlyUnderItsType)
{
    guiApplication();
    const QString payload = QStringLiteral("QLT1:eJyrVkrOz0vLTC9VslJQyk/OzMnMS1eqBQBb3Qfn");
    ASSERT_TRUE(Pasteboard::setString(Pasteboard::itemType, payload));
    EXPECT_EQ(Pasteboard::string(Pasteboard::itemType), payload);
    EXPECT_FALSE(Pasteboard::string(QStringLiteral("app.quillet.other")));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());

    QGuiApplication::clipboard()->setText(QStringLiteral("plain text from elsewhere"));
    EXPECT_FALSE(Pasteboard::string(Pasteboard::itemType));
}

}  // namespace
}  // namespace quillet
