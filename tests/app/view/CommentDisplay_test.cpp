#include "app/view/CommentDisplay.h"

#include <gtest/gtest.h>

#include <QObject>

#include "app/platform/NotificationCenter.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

TEST(CommentDisplay, IsStoredAndAnnouncedOncePerChange) {
    testing::testApplication();
    testing::TempDir dir;
    std::unique_ptr<QSettings> settings = testing::settingsIn(dir.file("defaults.ini"));
    CommentDisplay::reloadForTesting(settings.get());
    EXPECT_TRUE(CommentDisplay::showsCommentText());

    QObject context;
    int posts = 0;
    NotificationCenter::shared().observe(QLatin1String(NotificationName::commentsDisplayDidChange), &context,
                                         [&](const QVariant&) { ++posts; });
    CommentDisplay::setShowsCommentText(false);
    CommentDisplay::setShowsCommentText(false);
    EXPECT_EQ(posts, 1);
    EXPECT_FALSE(CommentDisplay::showsCommentText());
    EXPECT_EQ(settings->value(CommentDisplay::defaultsKey), false);

    CommentDisplay::reloadForTesting(settings.get());
    EXPECT_FALSE(CommentDisplay::showsCommentText());
    CommentDisplay::setShowsCommentText(true);
    EXPECT_EQ(posts, 2);
    CommentDisplay::reloadForTesting(nullptr);
}

}  // namespace
}  // namespace quillet
