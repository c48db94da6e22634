// The defaults store chosen at start-up. With QUILLET_SELFTEST set the process
// uses its own store, wiped when first opened in the run, and the user's store
// is neither read nor written. Every QSettings file of this process lives in a
// temporary folder.
#include "app/platform/DefaultsStore.h"

#include <gtest/gtest.h>

#include <QDir>

#include "support/TempDir.h"
#include "tests/app/platform/PlatformTestSupport.h"

namespace quillet {
namespace {

using testing::TempDir;

class DefaultsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir.path().string()));
        qunsetenv(DefaultsStore::selfTestVariable);
    }
    void TearDown() override { qunsetenv(DefaultsStore::selfTestVariable); }

    std::filesystem::path fileOf(const char* storeName) const
    {
        return dir.file(std::string(storeName) + ".conf");
    }

    TempDir dir;
};

TEST_F(DefaultsStoreTest, TheVariableChoosesTheSelfTestStoreWhateverItsValue)
{
    EXPECT_EQ(DefaultsStore::kindForEnvironment(), DefaultsStore::Kind::user);
    qputenv(DefaultsStore::selfTestVariable, "");
    EXPECT_EQ(DefaultsStore::kindForEnvironment(), DefaultsStore::Kind::selfTest);
    qputenv(DefaultsStore::selfTestVariable, "editing");
    EXPECT_EQ(DefaultsStore::kindForEnvironment(), DefaultsStore::Kind::selfTest);
}

TEST_F(DefaultsStoreTest, UserSettingsWrittenInOneRunAreReadInTheNext)
{
    DefaultsStore::open(DefaultsStore::Kind::user)->setValue("QuilletShowComments", true);
    EXPECT_TRUE(DefaultsStore::open(DefaultsStore::Kind::user)->value("QuilletShowComments").toBool());
    EXPECT_TRUE(std::filesystem::exists(fileOf(DefaultsStore::userStoreName)));
}

TEST_F(DefaultsStoreTest, SelfTestRunNeitherReadsNorWritesTheUserStore)
{
    {
        auto user = DefaultsStore::open(DefaultsStore::Kind::user);
        user->setValue("QuilletToolStyles", "the user's styles");
        auto earlierSelfTest = DefaultsStore::open(DefaultsStore::Kind::selfTest);
        earlierSelfTest->setValue("QuilletViewStates", "left by an earlier self-test");
    }
    const std::string userBefore = testing::readFile(fileOf(DefaultsStore::userStoreName));
    ASSERT_FALSE(userBefore.empty());

    qputenv(DefaultsStore::selfTestVariable, "1");
    QSettings& store = DefaultsStore::shared();
    EXPECT_EQ(DefaultsStore::sharedKind(), DefaultsStore::Kind::selfTest);
    EXPECT_FALSE(store.contains("QuilletToolStyles"));
    EXPECT_FALSE(store.contains("QuilletViewStates")) << "the self-test store is wiped when first opened";
    store.setValue("QuilletToolStyles", "self-test styles");
    store.sync();

    EXPECT_EQ(testing::readFile(fileOf(DefaultsStore::userStoreName)), userBefore);
    EXPECT_EQ(DefaultsStore::open(DefaultsStore::Kind::user)->value("QuilletToolStyles").toString(),
              QStringLiteral("the user's styles"));

    // The choice and the wipe happen once per run: the same store, its values kept,
    // even if the environment changes afterwards.
    qunsetenv(DefaultsStore::selfTestVariable);
    EXPECT_EQ(&DefaultsStore::shared(), &store);
    EXPECT_EQ(DefaultsStore::shared().value("QuilletToolStyles").toString(), QStringLiteral("self-test styles"));
}

}  // namespace
}  // namespace quillet
