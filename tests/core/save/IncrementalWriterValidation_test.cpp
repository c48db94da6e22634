#include <gtest/gtest.h>

#include "SaveTestItems.h"
#include "core/markup/NotePalette.h"
#include "core/save/IncrementalWriter.h"
#include "support/PdfFixtures.h"
#include "support/PdfSigner.h"
#include "support/QpdfEncryption.h"
#include "support/RenderedPage.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::CommandResult;
using testing::readFile;
using testing::runQpdf;
using testing::TempDir;

constexpr int kPages = 3;
const std::string kUser = "user pw";

struct Layout {
    std::string name;
    std::vector<std::string> qpdfArgs;  // how qpdf makes it from the plain document
    bool encrypted = false;
};

void PrintTo(const Layout& layout, std::ostream* os) {
    *os << layout.name;
}

// Every layout qpdf makes, and every way it encrypts.
std::vector<Layout> layouts() {
    std::vector<Layout> all = {{"classic_table", {"--object-streams=disable"}},
                               {"object_streams", {"--object-streams=generate"}},
                               {"linearized", {"--linearize"}}};
    for (const testing::EncryptionVariant& v : testing::qpdfEncryptionVariants())
        all.push_back({v.name, testing::qpdfEncryptArgs(v, kUser, "owner pw"), true});
    return all;
}

// One item of each kind, each in its own colour and place.
std::vector<AnnotationItem> itemsOfEveryKind(int firstId) {
    using namespace testing;
    return {
        inkItem(firstId, {{80, 100}, {140, 120}, {200, 140}}, {1, 0, 0, 1}),
        inkItem(firstId + 1, {{80, 220}, {200, 220}}, {1, 0.9, 0, 1}, InkKind::highlighter, 14),
        inkItem(firstId + 2, {{300, 250}, {360, 280}}, {0.5, 0, 0.5, 1}, InkKind::signature, 4),
        textItem(firstId + 3, {300, 420}, "Hello", {0, 0, 1, 1}, 28),
        arrowItem(firstId + 4, {300, 100}, {450, 180}, std::nullopt, {0, 0.6, 0, 1}),
        arrowItem(firstId + 5, {80, 500}, {200, 600}, "Look", {0.8, 0, 0.8, 1}),
        noteItem(firstId + 6, {450, 650}, "A comment", {1, 0.5, 0, 1}),
    };
}

// The colour that shows where an item is drawn on a white page. A
// highlighter is translucent (at most 40 % opaque) and multiplies.
RGBA visibleColor(const AnnotationItem& item) {
    if (item.isNote()) return NotePalette(item.color).iconFill;
    const InkShape* ink = item.shape.ink();
    if (!ink || ink->kind != InkKind::highlighter) return item.color;
    auto over = [&](double c) { return 1 - std::min(item.color.a, 0.4) * (1 - c); };
    return RGBA(over(item.color.r), over(item.color.g), over(item.color.b), 1);
}

std::vector<std::string> withPassword(const std::optional<std::string>& password,
                                      std::vector<std::string> args) {
    if (password) args.insert(args.begin(), "--password=" + *password);
    return args;
}

std::optional<testing::RenderedPage> render(const std::filesystem::path& file, int page,
                                            const std::optional<std::string>& password) {
    std::string error;
    auto rendered = testing::RenderedPage::render(file, page, {}, {.password = password}, &error);
    EXPECT_TRUE(rendered) << error;
    return rendered;
}

// The annotations' rectangles of a page, in /Annots order, for our items.
std::vector<Rect> itemRects(const std::filesystem::path& file, int page,
                            const std::optional<std::string>& password) {
    PDFFileReader reader(file, password);
    std::vector<Rect> rects;
    for (const PDFValue& entry : testing::annotationsOfPage(reader, static_cast<size_t>(page))) {
        PDFValue annotation = reader.resolve(entry);
        const PDFDictionary* dict = annotation.dictValue();
        if (!dict || !dict->contains("QuilletItem")) continue;
        const PDFArray& r = *dict->find("Rect")->arrayValue();
        double x0 = *r[0].doubleValue(), y0 = *r[1].doubleValue(), x1 = *r[2].doubleValue(),
               y1 = *r[3].doubleValue();
        rects.push_back(Rect{x0, y0, x1 - x0, y1 - y0});
    }
    return rects;
}

class WriterValidation : public ::testing::TestWithParam<Layout> {
  protected:
    void SetUp() override {
        if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
        const Layout& layout = GetParam();
        const auto plain = dir.file("plain.pdf");
        testing::writeFile(plain, testing::simpleDocument(kPages));
        std::vector<std::string> args = layout.qpdfArgs;
        args.insert(args.end(), {plain.string(), source.string()});
        CommandResult made = runQpdf(args);
        ASSERT_EQ(made.status, 0) << made.err;
        if (layout.encrypted) password = kUser;
    }

    TempDir dir;
    std::filesystem::path source = dir.file("source.pdf");
    std::filesystem::path output = dir.file("output.pdf");
    std::optional<std::string> password;
};

TEST_P(WriterValidation, ItemsOfEveryKindOnFirstAndLastPagePassQpdfAndRenderWhereTheyAre) {
    const PageItemMap pages{{0, itemsOfEveryKind(1)}, {kPages - 1, itemsOfEveryKind(101)}};
    IncrementalWriteResult result = IncrementalWriter::appendUpdate(
        source, output, {.expectedPageCount = kPages, .pages = pages, .password = password});
    EXPECT_EQ(result.annotationsWritten, 14);
    EXPECT_EQ(result.pagesUpdated, 2);
    const Bytes before = readFile(source);
    const Bytes after = readFile(output);
    ASSERT_TRUE(after.starts_with(before));
    EXPECT_EQ(static_cast<int64_t>(after.size() - before.size()), result.bytesAppended);

    CommandResult check = runQpdf(withPassword(password, {"--check", output.string()}));
    EXPECT_EQ(check.status, 0) << check.out << check.err;

    for (int page : {0, kPages - 1}) {
        SCOPED_TRACE("page " + std::to_string(page));
        const std::vector<AnnotationItem>& items = pages.at(page);
        EXPECT_EQ(testing::itemsOnPage(output, static_cast<size_t>(page), password), items);
        std::vector<Rect> rects = itemRects(output, page, password);
        ASSERT_EQ(rects.size(), items.size());
        std::optional<testing::RenderedPage> rendered = render(output, page, password);
        std::optional<testing::RenderedPage> original = render(source, page, password);
        ASSERT_TRUE(rendered && original);
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_GT(rendered->countNear(rects[i], visibleColor(items[i]), 40), 0) << items[i].kindName();
            EXPECT_EQ(original->countNear(rects[i], visibleColor(items[i]), 40), 0) << items[i].kindName();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterValidation, ::testing::ValuesIn(layouts()),
                         [](const auto& info) { return info.param.name; });

// A signature covers the bytes of its revision; an update that only
// appends keeps it valid.
TEST(SignedDocument, SignatureStillVerifiesAfterAnUpdate) {
    if (!testing::PdfSigner::available()) GTEST_SKIP() << "needs qpdf, pdfsig and certutil";
    TempDir dir;
    const testing::PdfSigner signer(dir);
    const auto plain = dir.file("plain.pdf"), signedFile = dir.file("signed.pdf"),
               output = dir.file("output.pdf");
    testing::writeFile(plain, testing::simpleDocument(2));
    ASSERT_TRUE(signer.sign(plain, signedFile));

    const std::vector<AnnotationItem> items = itemsOfEveryKind(1);
    IncrementalWriteResult result =
        IncrementalWriter::appendUpdate(signedFile, output, {.expectedPageCount = 2, .pages = {{0, items}}});
    EXPECT_EQ(result.annotationsWritten, static_cast<int64_t>(items.size()));
    EXPECT_TRUE(signer.verifies(output));
}

}  // namespace
}  // namespace quillet
