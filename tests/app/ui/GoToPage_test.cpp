#include "app/ui/GoToPage.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(GoToPageTest, ClampsNumbersAndIgnoresEverythingElse) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"0", 0},       // before the first page: the first
        {"99999", 39},  // past the last: the last
        {"99999999999999999999999", 39},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"12abc", std::nullopt},
        {"1.5", std::nullopt},
        {" 7 ", 6},
        {"+3", 2},
        {"-4", 0},
        {"40", 39},
    };
    for (const auto& [text, page] : cases) {
        EXPECT_EQ(GoToPage::targetPage(QString::fromUtf8(text), 40), page) << '"' << text << '"';
    }
    EXPECT_EQ(GoToPage::targetPage(QStringLiteral("1"), 0), std::nullopt);
}

}  // namespace
}  // namespace quillet
