// The private clipboard type keeps our text apart from plain text.
#include "app/platform/Pasteboard.h"

#include <gtest/gtest.h>

#include <QClipboard>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

TEST(PasteboardTest, PrivateTextComesBackOnlyUnderItsType)
{
    testing::testApplication();
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
