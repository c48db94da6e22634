#include "app/platform/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace quillet::AppPaths {

QString applicationDataFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) {
        // No usable home: the documented default of the data folder.
        base = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return QDir(base).absoluteFilePath(QLatin1String(applicationDataFolderName));
}

QString applicationDataPath(const QString& relative) {
    return QDir(applicationDataFolder()).absoluteFilePath(relative);
}

QString temporaryFolder() {
    return QDir::tempPath();
}

bool ensureFolder(const QString& path) {
    return !path.isEmpty() && QDir().mkpath(path);
}

}  // namespace quillet::AppPaths
