#include "app/document/WorkingCopy.h"

#include <new>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "app/platform/AppPaths.h"
#include "app/platform/PlatformLog.h"

namespace quillet::WorkingCopies {

namespace {

bool onOneFileSystem(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev;
}

QString freshName()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".pdf");
}

QString hiddenFolderBeside(const QString& file, const Places& places)
{
    return QFileInfo(file).absolutePath() + QLatin1Char('/') + QLatin1String(hiddenFolderPrefix) +
           QString::number(places.processId);
}

// A copy-on-write clone only: where the file system cannot share data the
// result is absent and nothing is left behind.
bool cloneInto(const QString& source, const QString& folder, const QString& name, const Places& places,
               QString& result)
{
    const bool folderExisted = QFileInfo(folder).isDir();
    if (!AppPaths::ensureFolder(folder)) {
        return false;
    }
    const QString destination = folder + QLatin1Char('/') + name;
    try {
        FileCloner::clone(source.toStdString(), destination.toStdString(), CloneMethod::reflinkOnly, places.calls);
        result = destination;
        return true;
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception&) {
        QFile::remove(destination);
        if (!folderExisted) {
            QDir().rmdir(folder);
        }
        return false;
    }
}

int removeDeadFolders(const QString& parent, const QString& prefix, const Places& places)
{
    const QDir dir(parent);
    int removed = 0;
    const QStringList names =
        dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : names) {
        if (!name.startsWith(prefix) || !namesDeadProcess(name.mid(prefix.size()), places.processId)) {
            continue;
        }
        if (QDir(dir.filePath(name)).removeRecursively()) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace

Places Places::forProcess()
{
    Places places;
    places.temporaryFolder = AppPaths::temporaryFolder();
    places.processId = ::getpid();
    places.sameFileSystem = &onOneFileSystem;
    return places;
}

QString processFolder(const Places& places)
{
    return places.temporaryFolder + QLatin1Char('/') + QLatin1String(folderName) + QLatin1Char('/') +
           QString::number(places.processId);
}

WorkingCopy make(const QString& source, int64_t limit, const Places& places)
{
    const QFileInfo info(source);
    const QString canonical = info.canonicalFilePath();
    const QString resolved = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const QString name = freshName();
    const QString ownFolder = processFolder(places);
    const auto sameFileSystem = places.sameFileSystem ? places.sameFileSystem : &onOneFileSystem;

    // A clone costs neither time nor space, so it is tried first, whatever the size.
    QString clone;
    if (sameFileSystem(places.temporaryFolder.toStdString(), QFileInfo(resolved).absolutePath().toStdString())) {
        if (cloneInto(resolved, ownFolder, name, places, clone)) {
            return {clone, true};
        }
    } else if (cloneInto(resolved, hiddenFolderBeside(resolved, places), name, places, clone)) {
        return {clone, true};
    }

    const QFileInfo sourceInfo(resolved);
    if (!sourceInfo.exists() || sourceInfo.size() > limit) {
        return {resolved, false};
    }
    const QString copy = ownFolder + QLatin1Char('/') + name;
    try {
        if (!AppPaths::ensureFolder(ownFolder)) {
            throw std::runtime_error("cannot create " + ownFolder.toStdString());
        }
        FileCloner::clone(resolved.toStdString(), copy.toStdString(), CloneMethod::automatic, places.calls);
        return {copy, true};
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& error) {
        logLine("cannot copy " + resolved.toStdString() + ": " + error.what());
        return {resolved, false};
    }
}

void remove(const QString& path, const Places& places)
{
    if (path.isEmpty()) {
        return;
    }
    QFile::remove(path);
    const QString folder = QFileInfo(path).absolutePath();
    if (QDir::cleanPath(folder) == QDir::cleanPath(processFolder(places))) {
        return;
    }
    QDir().rmdir(folder);  // only succeeds when empty
}

int sweepStale(const Places& places)
{
    return removeDeadFolders(places.temporaryFolder + QLatin1Char('/') + QLatin1String(folderName), QString(),
                             places);
}

int sweepStaleBeside(const QString& userFolder, const Places& places)
{
    return removeDeadFolders(userFolder, QLatin1String(hiddenFolderPrefix), places);
}

bool namesDeadProcess(const QString& name, int64_t self)
{
    QStringView digits(name);
    bool negative = false;
    if (digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-'))) {
        negative = digits.front() == QLatin1Char('-');
        digits = digits.mid(1);
    }
    if (digits.isEmpty() || digits.size() > 10) {
        return false;
    }
    int64_t value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min() ||
        value == self) {
        return false;
    }
    return ::kill(static_cast<pid_t>(value), 0) == -1 && errno == ESRCH;
}

}  // namespace quillet::WorkingCopies
