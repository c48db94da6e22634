#include "app/ui/LanguageChoice.h"

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using LanguageChoice::select;

TEST(LanguageTags, RegionalAndEncodedFormsAskForTheirLanguage)
{
    EXPECT_EQ(LanguageChoice::supportedLanguage("ru"), Language::ru);
    EXPECT_EQ(LanguageChoice::supportedLanguage("ru-RU"), Language::ru);
    EXPECT_EQ(LanguageChoice::supportedLanguage("ru_RU.UTF-8"), Language::ru);
    EXPECT_EQ(LanguageChoice::supportedLanguage("EN-gb"), Language::en);
    EXPECT_EQ(LanguageChoice::supportedLanguage("de-DE"), std::nullopt);
    EXPECT_EQ(LanguageChoice::supportedLanguage("rus"), std::nullopt);
    EXPECT_EQ(LanguageChoice::supportedLanguage(""), std::nullopt);
    EXPECT_EQ(LanguageChoice::supportedLanguage("C"), std::nullopt);
}

TEST(LanguageAtLaunch, TheFirstPreferredSupportedLanguageWinsAndEnglishIsTheFallback)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"de-DE", "ru-RU", "en-US"}), Language::ru);
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"en-US", "ru"}), Language::en);
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"de", "fr"}), Language::en);
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {}), Language::en);
}

TEST(LanguageAtLaunch, TheApplicationsOverrideWinsOverTheSystem)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    store->setValue(LanguageChoice::overrideKey, QStringList{"en"});
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"ru-RU"}), Language::en);
    // An override the application does not speak is no override.
    store->setValue(LanguageChoice::overrideKey, QStringList{"de"});
    EXPECT_EQ(LanguageChoice::languageAtLaunch(*store, {"ru-RU"}), Language::ru);
}

TEST(SelectLanguage, TheLanguageInUseChangesTheOverrideButAsksForNoRestart)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    const auto selection = select(*store, "en", {"en-US"}, Language::en);
    EXPECT_TRUE(selection.accepted);
    EXPECT_FALSE(selection.needsRestart);
    EXPECT_EQ(store->value(LanguageChoice::overrideKey).toStringList(), QStringList{"en"});
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "en");
}

TEST(SelectLanguage, SystemDefaultWhenTheSystemPrefersAnotherLanguageAsksForARestart)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    store->setValue(LanguageChoice::overrideKey, QStringList{"en"});
    const auto selection = select(*store, "", {"ru-RU", "en-US"}, Language::en);
    EXPECT_TRUE(selection.needsRestart);
    EXPECT_EQ(selection.resulting, Language::ru);
    EXPECT_FALSE(store->contains(LanguageChoice::overrideKey));
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "");
}

TEST(SelectLanguage, SystemDefaultMatchingTheRunAndAnotherCodeDiffering)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    EXPECT_FALSE(select(*store, "", {"de", "en"}, Language::en).needsRestart);
    const auto russian = select(*store, "ru", {"en"}, Language::en);
    EXPECT_TRUE(russian.needsRestart);
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "ru");
}

TEST(SelectLanguage, AnUnknownCodeChangesNothing)
{
    testing::TempDir dir;
    auto store = testing::settingsIn(dir.file("store.ini"));
    store->setValue(LanguageChoice::overrideKey, QStringList{"ru"});
    const auto selection = select(*store, "de", {"en"}, Language::ru);
    EXPECT_FALSE(selection.accepted);
    EXPECT_FALSE(selection.needsRestart);
    EXPECT_EQ(LanguageChoice::checkedCode(*store), "ru");
}

}  // namespace
}  // namespace quillet
