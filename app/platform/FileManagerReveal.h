// "Show in File Manager": asks the desktop's file manager to open the folder
// of a file with the file selected, through the freedesktop FileManager1
// interface on the session bus (Nautilus, Dolphin, Nemo, Thunar, Caja and
// PCManFM answer it). When no file manager answers, the folder itself is
// opened the way the desktop opens folders.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QUrl>
#include <functional>

class QObject;

namespace quillet::FileManagerReveal {

inline constexpr const char* serviceName = "org.freedesktop.FileManager1";
inline constexpr const char* objectPath = "/org/freedesktop/FileManager1";
inline constexpr const char* interfaceName = "org.freedesktop.FileManager1";
// A file manager that is not running is started by the bus first: give it time.
inline constexpr int callTimeoutMs = 5000;

struct Seams {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Opens a folder URL; QDesktopServices::openUrl by default.
    std::function<bool(const QUrl&)> openFolder;
};

// Reveals the file at `path` without blocking: the call's answer comes back
// on the event loop of `context`'s thread, and `done(true)` tells that a file
// manager took the call, `done(false)` that the folder was opened instead.
void reveal(const QString& path, QObject* context, Seams seams = {}, std::function<void(bool)> done = {});

}  // namespace quillet::FileManagerReveal
