#include "cli/ListCommand.h"

#include <gtest/gtest.h>

#include "core/save/HeavyPages.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::kHeavyPagesBound;

// Page 0 lists annotation 10 2,000 times and 11, page 1 lists 10, 11 and 12:
// decoding per reference would pass the bound on page 0, and a listing per
// page would pass it on page 1. A command that rewrites a page past the
// bound is refused rather than handed a partial list.
TEST(ListCommand, DecodesEachAnnotationOnceAndRefusesToRewriteAPagePastTheBound) {
    testing::TempDir dir;
    std::vector<int> many(2'000, 10);
    many.push_back(11);
    testing::writeHeavyPages(dir.file("heavy.pdf"), {many, {10, 11, 12}});
    PDFFileReader reader(dir.file("heavy.pdf"));

    const nlohmann::json listed = cli::listItems(reader, kHeavyPagesBound);
    EXPECT_EQ(listed["pages"]["0"].size(), 2u);
    EXPECT_EQ(listed["pages"]["1"].size(), 3u);
    testing::writeHeavyPages(dir.file("one.pdf"), {{10, 11, 12}});
    PDFFileReader one(dir.file("one.pdf"));
    EXPECT_EQ(cli::listItems(one, kHeavyPagesBound)["pages"]["0"].size(), 2u) << "the bound given holds";
    PageItemReader bounded(reader, kHeavyPagesBound), whole(reader);
    EXPECT_THROW(cli::pageItems(bounded, {4, 0}), std::runtime_error);
    EXPECT_EQ(cli::pageItems(whole, {4, 0}).size(), 3u);
}

}  // namespace
}  // namespace quillet
