#include "app/platform/FileManagerReveal.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QObject>
#include <QStringList>

#include "app/platform/PlatformLog.h"

namespace quillet::FileManagerReveal {
namespace {

void openFolderInstead(const QString& path, const Seams& seams) {
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    const bool opened = seams.openFolder ? seams.openFolder(folder) : QDesktopServices::openUrl(folder);
    if (!opened) {
        logLine("could not open the folder " + folder.toLocalFile().toStdString());
    }
}

}  // namespace

void reveal(const QString& path, QObject* context, Seams seams, std::function<void(bool)> done) {
    auto finish = [path, seams, done](bool taken) {
        if (!taken) {
            openFolderInstead(path, seams);
        }
        if (done) {
            done(taken);
        }
    };
    if (!seams.bus.isConnected()) {
        finish(false);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                       QString::fromLatin1(interfaceName), QStringLiteral("ShowItems"));
    // The second argument is the startup id, for focus stealing prevention; none here.
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(seams.bus.asyncCall(call, callTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [finish](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusPendingReply<> reply = *w;
                         if (reply.isError()) {
                             logLine("the file manager did not answer ShowItems (" +
                                     reply.error().name().toStdString() + "); opening the folder");
                         }
                         finish(!reply.isError());
                     });
}

}  // namespace quillet::FileManagerReveal
