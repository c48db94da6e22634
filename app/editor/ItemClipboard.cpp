#include "app/editor/ItemClipboard.h"

#include "app/platform/Pasteboard.h"
#include "app/platform/PlatformLog.h"
#include "core/markup/ItemCodec.h"
#include "core/markup/ItemCodecError.h"

namespace quillet::ItemClipboard {

bool copy(const AnnotationItem& item) {
    QString payload;
    try {
        payload = QString::fromStdString(ItemCodec::encode(item));
    } catch (const ItemCodecError& error) {
        logLine(std::string("cannot copy: ") + error.what());
        return false;
    }
    const std::optional<TextSpec> spec = item.textSpec();
    std::optional<QString> plain;
    if (spec && !spec->text.empty()) {
        plain = QString::fromStdString(spec->text);
    }
    return Pasteboard::setString(QString::fromLatin1(Pasteboard::itemType), payload, plain);
}

std::optional<AnnotationItem> paste() {
    const std::optional<QString> payload = Pasteboard::string(QString::fromLatin1(Pasteboard::itemType));
    if (!payload) {
        return std::nullopt;
    }
    return ItemCodec::decode(payload->toStdString());
}

bool holdsItem() {
    return Pasteboard::hasType(QString::fromLatin1(Pasteboard::itemType));
}

}  // namespace quillet::ItemClipboard
