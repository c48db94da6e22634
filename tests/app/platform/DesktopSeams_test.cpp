// Folders, interface language, main-thread dispatch and named notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include <QDir>

#include "app/platform/AppPaths.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/platform/MainThread.h"
#include "app/platform/NotificationCenter.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(AppPathsTest, ApplicationDataLivesInQuilletUnderTheUserDataFolder)
{
    testing::TempDir dir;
    const QString data = QString::fromStdString(dir.path().string());
    qputenv("XDG_DATA_HOME", data.toUtf8());
    EXPECT_EQ(AppPaths::applicationDataFolder(), data + QStringLiteral("/Quillet"));
    EXPECT_EQ(AppPaths::applicationDataPath(QStringLiteral("signatures.json")),
              data + QStringLiteral("/Quillet/signatures.json"));
    EXPECT_FALSE(QDir(AppPaths::applicationDataFolder()).exists());
    EXPECT_TRUE(AppPaths::ensureFolder(AppPaths::applicationDataPath(QStringLiteral("Recovery"))));
    EXPECT_TRUE(QDir(data + QStringLiteral("/Quillet/Recovery")).exists());
    EXPECT_FALSE(AppPaths::ensureFolder(QString()));
    EXPECT_EQ(AppPaths::temporaryFolder(), QDir::tempPath());
    qunsetenv("XDG_DATA_HOME");
}

TEST(InterfaceLanguageTest, TheLanguageIsFixedOnceAndPicksEveryText)
{
    EXPECT_EQ(languageFromCode(u"ru"), Language::ru);
    EXPECT_FALSE(languageFromCode(u"ru_RU"));
    EXPECT_FALSE(languageFromCode(u""));
    constexpr LocalizedString later{"Later", "Позже"};
    EXPECT_EQ(later.in(Language::en), QStringLiteral("Later"));

    ASSERT_TRUE(InterfaceLanguage::fix(Language::ru));
    EXPECT_FALSE(InterfaceLanguage::fix(Language::en));
    EXPECT_EQ(InterfaceLanguage::current(), Language::ru);
    EXPECT_EQ(later.text(), QString::fromUtf8("Позже"));
}

TEST(MainThreadTest, WorkPostedFromAnotherThreadRunsOnTheMainThreadInOrderUnlessItsContextIsGone)
{
    testing::testApplication();
    EXPECT_TRUE(MainThread::isCurrent());
    std::vector<int> order;
    bool allOnMain = true;
    std::thread worker([&] {
        EXPECT_FALSE(MainThread::isCurrent());
        for (int i = 0; i < 20; ++i) {
            MainThread::post([&, i] {
                allOnMain = allOnMain && MainThread::isCurrent();
                order.push_back(i);
            });
        }
    });
    worker.join();
    ASSERT_TRUE(testing::pumpUntil([&] { return order.size() == 20; }));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));

    bool ran = false;
    auto* context = new QObject;
    ASSERT_TRUE(MainThread::post([&] { ran = true; }, context));
    delete context;
    testing::pumpFor(30ms);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(MainThread::post(nullptr));
}

TEST(NotificationCenterTest, NotificationsReachObserversOfTheirNameOnTheMainThread)
{
    testing::testApplication();
    NotificationCenter& center = NotificationCenter::shared();
    auto* observer = new QObject;
    std::vector<QVariant> styles;
    int signatures = 0;
    center.observe(NotificationName::toolSettingsDidChange, observer,
                   [&](const QVariant& payload) { styles.push_back(payload); });
    center.observe(NotificationName::signaturesDidChange, observer, [&](const QVariant&) { ++signatures; });

    // On the main thread delivery is immediate.
    center.post(NotificationName::toolSettingsDidChange, 3);
    ASSERT_EQ(styles.size(), 1u);
    EXPECT_EQ(styles[0].toInt(), 3);
    EXPECT_EQ(signatures, 0);

    std::thread worker([&] { center.post(NotificationName::signaturesDidChange); });
    worker.join();
    EXPECT_EQ(signatures, 0);
    ASSERT_TRUE(testing::pumpUntil([&] { return signatures == 1; }));

    // A name without the prefix is refused; a destroyed observer hears nothing.
    center.post(QStringLiteral("ToolSettingsDidChange"));
    EXPECT_FALSE(center.observe(QStringLiteral("Other"), observer, [](const QVariant&) {}));
    delete observer;
    center.post(NotificationName::toolSettingsDidChange, 4);
    EXPECT_EQ(styles.size(), 1u);
}

}  // namespace
}  // namespace quillet
