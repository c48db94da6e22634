#include "app/editor/ItemClipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QMimeData>

#include "core/markup/ItemCodec.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

AnnotationItem note(std::string text) {
    return AnnotationItem(
        UUID::random(), NoteShape{{10, 20}, {40, 20}, TextSpec{std::move(text), 13, {}, true}},
        RGBA(1, 0.83, 0, 1), 1, 90, std::chrono::sys_seconds{std::chrono::seconds{1700000000}});
}

TEST(ItemClipboard, CarriesThePayloadAndThePlainTextOfTextItems) {
    testing::testApplication();
    const AnnotationItem item = note("Check this");
    ASSERT_TRUE(ItemClipboard::copy(item));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(data->data("application/x-app.quillet.item").toStdString(), ItemCodec::encode(item));
    EXPECT_EQ(data->text(), "Check this");
    EXPECT_TRUE(ItemClipboard::holdsItem());
    EXPECT_EQ(ItemClipboard::paste(), ItemCodec::decode(ItemCodec::encode(item)));

    const AnnotationItem ink(UUID::random(), InkShape{InkKind::pen, {{{1, 2}, {3, 4}}}}, RGBA::defaultInk(),
                             2, 0, {});
    ASSERT_TRUE(ItemClipboard::copy(ink));
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasText()) << "ink has no text to offer";
    ASSERT_TRUE(ItemClipboard::copy(note("")));
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasText());

    auto* broken = new QMimeData;
    broken->setData("application/x-app.quillet.item", "QLT1:not-a-payload");
    QGuiApplication::clipboard()->setMimeData(broken);
    EXPECT_TRUE(ItemClipboard::holdsItem());
    EXPECT_EQ(ItemClipboard::paste(), std::nullopt);
    QGuiApplication::clipboard()->setText("QLT1:plain text only");
    EXPECT_FALSE(ItemClipboard::holdsItem());
    EXPECT_EQ(ItemClipboard::paste(), std::nullopt);
}

}  // namespace
}  // namespace quillet
