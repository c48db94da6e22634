#include "app/platform/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace quillet::Pasteboard {

namespace {

QClipboard* clipboard() {
    // The clipboard needs a GUI application; the core-only test processes have none.
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::clipboard()
               : nullptr;
}

}  // namespace

QString mimeTypeFor(const QString& type) {
    return QStringLiteral("application/x-") + type;
}

bool setString(const QString& type, const QString& text, const std::optional<QString>& plainText) {
    QClipboard* board = clipboard();
    if (board == nullptr) {
        return false;
    }
    auto* data = new QMimeData;
    data->setData(mimeTypeFor(type), text.toUtf8());
    if (plainText) {
        data->setText(*plainText);
    }
    board->setMimeData(data);  // the clipboard owns it
    return true;
}

std::optional<QString> string(const QString& type) {
    QClipboard* board = clipboard();
    const QMimeData* data = board != nullptr ? board->mimeData() : nullptr;
    if (data == nullptr || !data->hasFormat(mimeTypeFor(type))) {
        return std::nullopt;
    }
    return QString::fromUtf8(data->data(mimeTypeFor(type)));
}

bool hasType(const QString& type) {
    QClipboard* board = clipboard();
    const QMimeData* data = board != nullptr ? board->mimeData() : nullptr;
    return data != nullptr && data->hasFormat(mimeTypeFor(type));
}

}  // namespace quillet::Pasteboard
