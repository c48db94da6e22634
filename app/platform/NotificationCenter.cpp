#include "app/platform/NotificationCenter.h"

#include <QCoreApplication>

#include "app/platform/MainThread.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

NotificationCenter& NotificationCenter::shared() {
    // Created on first use, which may be a worker thread: the centre belongs
    // to the main thread either way.
    static NotificationCenter* center = [] {
        auto* c = new NotificationCenter;
        if (QCoreApplication* app = QCoreApplication::instance()) {
            c->moveToThread(app->thread());
        }
        return c;
    }();
    return *center;
}

bool NotificationCenter::acceptsName(const QString& name) {
    if (name.startsWith(QLatin1String(namePrefix)) && name.size() > int(sizeof(namePrefix)) - 1) {
        return true;
    }
    logLine("notification name without the Quillet prefix: " + name.toStdString());
    return false;
}

void NotificationCenter::post(const QString& name, const QVariant& payload) {
    if (!acceptsName(name)) {
        return;
    }
    if (MainThread::isCurrent()) {
        emit posted(name, payload);
        return;
    }
    MainThread::post([name, payload] { emit shared().posted(name, payload); });
}

QMetaObject::Connection NotificationCenter::observe(const QString& name, QObject* context,
                                                    std::function<void(const QVariant&)> handler) {
    if (!acceptsName(name) || context == nullptr || !handler) {
        return {};
    }
    return connect(this, &NotificationCenter::posted, context,
                   [name, handler = std::move(handler)](const QString& posted, const QVariant& payload) {
                       if (posted == name) {
                           handler(payload);
                       }
                   });
}

}  // namespace quillet
