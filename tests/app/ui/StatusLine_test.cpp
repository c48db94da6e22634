#include "app/ui/StatusLine.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(StatusLineTest, JoinsThePagePositionWithTheFirstStatusThatApplies) {
    struct Case {
        int page, count;
        DocumentStatus status;
        const char* text;
    };
    const Case cases[] = {
        {2, 40, {}, "Page 3 of 40"},
        {-1, 40, {}, "Page 1 of 40"},
        {2, 40, {QString(), true, QString(), false}, "Page 3 of 40 · Saving…"},
        {0, 1, {QString(), false, QStringLiteral("disk full"), true}, "Page 1 of 1 · Not saved: disk full"},
        // A save error with nothing unsaved is history.
        {0, 1, {QString(), false, QStringLiteral("disk full"), false}, "Page 1 of 1"},
        // The notice wins over saving, and saving over the error.
        {0, 2, {QStringLiteral("Read-only"), true, QStringLiteral("x"), true}, "Page 1 of 2 · Read-only"},
        {0, 2, {QString(), true, QStringLiteral("x"), true}, "Page 1 of 2 · Saving…"},
        // No pages (locked): only the status.
        {0, 0, {QString(), true, QString(), false}, "Saving…"},
        {0, 0, {}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusLineText(c.page, c.count, c.status, Language::en), QString::fromUtf8(c.text))
            << c.text;
    }
    // The same parts in the interface's language.
    EXPECT_EQ(statusLineText(0, 1, {QString(), false, QStringLiteral("disk full"), true}, Language::ru),
              QStringLiteral("Стр. 1 из 1 · Не сохранено: disk full"));
}

}  // namespace
}  // namespace quillet
