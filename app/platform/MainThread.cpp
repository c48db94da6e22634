#include "app/platform/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace quillet::MainThread {

bool isCurrent() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool post(std::function<void()> work, QObject* context) {
    QObject* target = context != nullptr ? context : QCoreApplication::instance();
    if (target == nullptr || !work) {
        return false;
    }
    return QMetaObject::invokeMethod(target, std::move(work), Qt::QueuedConnection);
}

}  // namespace quillet::MainThread
