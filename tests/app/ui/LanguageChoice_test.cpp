#include "app/ui/LanguageChoice.h"

#include <gtest/gtest.h>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using LanguageChoice::select;

class LanguageChoiceTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    std::unique_ptr<QSettings> store = testing::settingsIn(dir.file("store.ini"));
};

TEST(LanguageTags, RegionalAndEncodedFormsAskForTheirLanguage)
{
    const std::pair<const char*, std::optional<Language>> tags[] = {
        {"ru", Language::ru}, {"ru-RU", Language::ru}, {"ru_RU.UTF-8", Language::ru}, {"EN-gb", Language::en},
        {"de-DE", std::nullopt}, {"rus", std::nullopt}, {"", std::nullopt}, {"C", std::nullopt}};
    for (auto [tag, language] : tags) {
        EXPECT_EQ(LanguageChoice::supportedLanguage(tag), language) << tag;
    }
}

TEST_F(LanguageChoiceTest, AtLaunchTheOverrideWinsThenTheFirstPreferredSupportedLanguageThenEnglish)
{
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"de-DE", "ru-RU", "en-US"}), Language::ru);
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"en-US", "ru"}), Language::en);
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"de", "fr"}), Language::en);
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {}), Language::en);
    store->setValue(LanguageChoice::overrideKey, QStringList{"en"});
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"ru-RU"}), Language::en);
    // An override the application does not speak is no override.
    store->setValue(LanguageChoice::overrideKey, QStringList{"de"});
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"ru-RU"}), Language::ru);
}

TEST_F(LanguageChoiceTest, TheLanguageInUseChangesTheOverrideButAsksForNoRestart)
{
    const auto selection = select(*store, "en", {"en-US"}, Language::en);
    EXPECT_TRUE(selection.accepted);
    EXPECT_FALSE(selection.needsRestart);
    EXPECT_EQ(store->value(LanguageChoice::overrideKey).toStringList(), QStringList{"en"});
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "en");
    // System default matching the run asks for none either.
    EXPECT_FALSE(select(*store, "", {"de", "en"}, Language::en).needsRestart);
}

TEST_F(LanguageChoiceTest, SystemDefaultWhenTheSystemPrefersAnotherLanguageOrAnotherCodeAsksForARestart)
{
    store->setValue(LanguageChoice::overrideKey, QStringList{"en"});
    const auto selection = select(*store, "", {"ru-RU", "en-US"}, Language::en);
    EXPECT_TRUE(selection.needsRestart);
    EXPECT_EQ(selection.resulting, Language::ru);
    EXPECT_FALSE(store->contains(LanguageChoice::overrideKey));
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "");
    EXPECT_TRUE(select(*store, "ru", {"en"}, Language::en).needsRestart);
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "ru");
    // An unknown code changes nothing.
    const auto unknown = select(*store, "de", {"en"}, Language::ru);
    EXPECT_FALSE(unknown.accepted);
    EXPECT_FALSE(unknown.needsRestart);
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "ru");
}

}  // namespace
}  // namespace quillet
