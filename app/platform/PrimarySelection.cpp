#include "app/platform/PrimarySelection.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quillet::PrimarySelection {

Sink platform() {
    return [](const QString& text) {
        QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                    ? QGuiApplication::clipboard()
                                    : nullptr;
        if (clipboard != nullptr && clipboard->supportsSelection()) {
            clipboard->setText(text, QClipboard::Selection);
        }
    };
}

}  // namespace quillet::PrimarySelection
