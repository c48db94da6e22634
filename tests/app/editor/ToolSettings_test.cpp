#include "app/editor/ToolSettings.h"

#include <gtest/gtest.h>

#include "app/platform/NotificationCenter.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

class ToolSettingsTest : public ::testing::Test {
  protected:
    ToolSettingsTest() { testing::testApplication(); }

    int notificationsDuring(const std::function<void()>& work) {
        QObject context;
        int count = 0;
        NotificationCenter::shared().observe(QString::fromLatin1(NotificationName::toolSettingsDidChange),
                                             &context, [&count](const QVariant&) { ++count; });
        work();
        return count;
    }

    testing::TempDir dir;
    std::unique_ptr<QSettings> store = testing::settingsIn(dir.file("defaults.conf"));
};

TEST_F(ToolSettingsTest, StylesSurviveARestartThroughTheDefaultsStore) {
    const ToolStyle thick{{0.16, 0.66, 0.28, 1.0}, 7.5, 13, true};
    {
        ToolSettings settings(*store);
        EXPECT_EQ(notificationsDuring([&] { settings.setStyle(thick, Tool::highlighter); }), 1);
    }
    auto reopened = testing::settingsIn(dir.file("defaults.conf"));
    ToolSettings again(*reopened);
    EXPECT_EQ(again.styleFor(Tool::highlighter), thick);
    EXPECT_EQ(again.styleFor(Tool::pen), *ToolStyle::builtInDefault(Tool::pen));
}

TEST_F(ToolSettingsTest, ToolsWithoutStyleNeitherStoreNorNotifyAndReadThePenDefault) {
    ToolSettings settings(*store);
    settings.setStyle({{0, 0, 1, 1}, 9, 20, false}, Tool::pen);
    for (Tool tool : {Tool::select, Tool::eraser}) {
        EXPECT_EQ(notificationsDuring([&] { settings.setStyle({{0, 1, 0, 1}, 3, 10, false}, tool); }), 0);
        EXPECT_EQ(settings.styleFor(tool), ToolStyle::penDefault());
    }
    const auto stored =
        nlohmann::json::parse(store->value(ToolSettings::defaultsKey).toString().toStdString());
    EXPECT_FALSE(stored.contains("select"));
    EXPECT_FALSE(stored.contains("eraser"));
}

TEST_F(ToolSettingsTest, DamagedStoredStylesFallBackFieldByField) {
    store->setValue(ToolSettings::defaultsKey,
                    R"({"pen": {"lineWidth": -1, "fontSize": 20}, "text": {"boxed": false}, "select": {}})");
    ToolSettings settings(*store);
    ToolStyle pen = ToolStyle::penDefault();
    pen.fontSize = 20;
    EXPECT_EQ(settings.styleFor(Tool::pen), pen);
    EXPECT_FALSE(settings.styleFor(Tool::text).boxed);
    EXPECT_EQ(settings.styleFor(Tool::text).color, ToolStyle::builtInDefault(Tool::text)->color);

    store->setValue(ToolSettings::defaultsKey, "garbage");
    EXPECT_EQ(ToolSettings(*store).styles(), ToolStyle::builtInDefaults());
}

}  // namespace
}  // namespace quillet
