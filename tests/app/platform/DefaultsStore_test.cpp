#include "app/platform/DefaultsStore.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class DefaultsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, testing::qpath(dir.path()));
        qunsetenv(DefaultsStore::selfTestVariable);
    }
    void TearDown() override { qunsetenv(DefaultsStore::selfTestVariable); }

    std::filesystem::path userFile() const {
        return dir.file(std::string(DefaultsStore::userStoreName) + ".conf");
    }

    testing::TempDir dir;
};

TEST_F(DefaultsStoreTest, SelfTestRunNeitherReadsNorWritesTheUserStore) {
    DefaultsStore::open(DefaultsStore::Kind::user)->setValue("QuilletToolStyles", "the user's styles");
    DefaultsStore::open(DefaultsStore::Kind::selfTest)
        ->setValue("QuilletViewStates", "left by an earlier self-test");
    const std::string userBefore = testing::readFile(userFile());
    ASSERT_FALSE(userBefore.empty());

    qputenv(DefaultsStore::selfTestVariable, "1");
    QSettings& store = DefaultsStore::shared();
    EXPECT_EQ(DefaultsStore::sharedKind(), DefaultsStore::Kind::selfTest);
    EXPECT_FALSE(store.contains("QuilletToolStyles"));
    EXPECT_FALSE(store.contains("QuilletViewStates")) << "the self-test store is wiped when first opened";
    store.setValue("QuilletToolStyles", "self-test styles");
    store.sync();
    EXPECT_EQ(testing::readFile(userFile()), userBefore);
    EXPECT_EQ(DefaultsStore::open(DefaultsStore::Kind::user)->value("QuilletToolStyles").toString(),
              QStringLiteral("the user's styles"));

    // Chosen and wiped once per run, even if the environment changes afterwards.
    qunsetenv(DefaultsStore::selfTestVariable);
    EXPECT_EQ(&DefaultsStore::shared(), &store);
    EXPECT_EQ(DefaultsStore::shared().value("QuilletToolStyles").toString(),
              QStringLiteral("self-test styles"));
}

}  // namespace
}  // namespace quillet
