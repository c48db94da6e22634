#include "app/document/WorkingCopy.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <exception>
#include <limits>
#include <new>
#include <string>

#include "app/platform/AppPaths.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/PrivateFolder.h"

namespace quillet::WorkingCopies {

namespace {

bool onOneFileSystem(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev;
}

QString freshName() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".pdf");
}

QString hiddenFolderBeside(const QString& file, const Places& places) {
    return QFileInfo(file).absolutePath() + QLatin1Char('/') + QLatin1String(hiddenFolderPrefix) +
           QString::number(places.processId);
}

// A copy-on-write clone only: where the file system cannot share data the
// result is absent and nothing is left behind.
bool cloneInto(const QString& source, const QString& folder, const QString& name, const Places& places,
               QString& result) {
    const bool folderExisted = QFileInfo(folder).isDir();
    if (!AppPaths::ensureFolder(folder)) {
        return false;
    }
    const QString destination = folder + QLatin1Char('/') + name;
    try {
        FileCloner::clone(source.toStdString(), destination.toStdString(), CloneMethod::reflinkOnly,
                          places.calls);
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

// The one place where a document ends up reading the user's file itself, so
// that a later question about a changed or locked file can be traced to it.
WorkingCopy readInPlace(const QString& resolved, const std::string& why) {
    logLine("no working copy of " + resolved.toStdString() + ", reading the file in place: " + why);
    return {resolved, false};
}

// A fresh fallback folder that ended up without a copy goes at once; the
// process folder stays for the next copy.
void dropIfUnused(const QString& folder, const Places& places) {
    if (QDir::cleanPath(folder) != QDir::cleanPath(processFolder(places))) {
        QDir().rmdir(folder);
    }
}

int removeDeadFolders(const QString& parent, const QString& prefix, const Places& places) {
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

Places Places::forProcess() {
    Places places;
    places.temporaryFolder = AppPaths::temporaryFolder();
    places.processId = ::getpid();
    places.userId = ::geteuid();
    places.sameFileSystem = &onOneFileSystem;
    return places;
}

QString userFolder(const Places& places) {
    return places.temporaryFolder + QLatin1Char('/') + QLatin1String(userFolderPrefix) +
           QString::number(places.userId);
}

QString processFolder(const Places& places) {
    return userFolder(places) + QLatin1Char('/') + QString::number(places.processId);
}

QString privateFolder(const Places& places) {
    AppPaths::ensureFolder(places.temporaryFolder);  // $TMPDIR may name a folder not made yet
    QString checked = userFolder(places);
    std::string why = PrivateFolder::ensure(checked, places.userId);
    if (why.empty()) {
        checked = processFolder(places);
        why = PrivateFolder::ensure(checked, places.userId);
    }
    if (why.empty()) {
        return checked;
    }
    const QString prefix = QLatin1String(userFolderPrefix) + QString::number(places.userId) +
                           QLatin1Char('-') + QString::number(places.processId) + QLatin1Char('-');
    const QString fresh = PrivateFolder::makeFresh(places.temporaryFolder, prefix);
    logLine("temporary folder " + checked.toStdString() + " not used: " + why + "; " +
            (fresh.isEmpty() ? std::string("no fresh private folder could be made either")
                             : "using " + fresh.toStdString()));
    return fresh;
}

WorkingCopy make(const QString& source, int64_t limit, const Places& places) {
    const QFileInfo info(source);
    const QString canonical = info.canonicalFilePath();
    const QString resolved = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const QString name = freshName();
    const auto sameFileSystem = places.sameFileSystem ? places.sameFileSystem : &onOneFileSystem;
    const bool clonesIntoTemporary = sameFileSystem(places.temporaryFolder.toStdString(),
                                                    QFileInfo(resolved).absolutePath().toStdString());

    // A clone costs neither time nor space, so it is tried first, whatever the size.
    QString clone;
    if (!clonesIntoTemporary &&
        cloneInto(resolved, hiddenFolderBeside(resolved, places), name, places, clone)) {
        return {clone, true};
    }
    const QString folder = privateFolder(places);
    if (folder.isEmpty()) {
        return readInPlace(resolved, "there is no private temporary folder to copy it to");
    }
    if (clonesIntoTemporary && cloneInto(resolved, folder, name, places, clone)) {
        return {clone, true};
    }

    const QFileInfo sourceInfo(resolved);
    if (!sourceInfo.exists() || sourceInfo.size() > limit) {
        dropIfUnused(folder, places);
        return readInPlace(resolved, sourceInfo.exists()
                                         ? "it cannot be cloned and is over the copy size limit of " +
                                               std::to_string(limit) + " bytes"
                                         : std::string("it does not exist"));
    }
    const QString copy = folder + QLatin1Char('/') + name;
    try {
        FileCloner::clone(resolved.toStdString(), copy.toStdString(), CloneMethod::automatic, places.calls);
        return {copy, true};
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& error) {
        dropIfUnused(folder, places);
        return readInPlace(resolved, std::string("the copy failed: ") + error.what());
    }
}

void remove(const QString& path, const Places& places) {
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

int sweepStale(const Places& places) {
    const QString folder = userFolder(places);
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) {
        return 0;  // no copy made yet by this user
    }
    // A planted link would have the sweep delete folders elsewhere.
    const std::string why = PrivateFolder::problem(folder, places.userId);
    if (!why.empty()) {
        logLine("stale working copies not swept: " + folder.toStdString() + ": " + why);
        return 0;
    }
    return removeDeadFolders(folder, QString(), places);
}

int sweepStaleBeside(const QString& userFolder, const Places& places) {
    return removeDeadFolders(userFolder, QLatin1String(hiddenFolderPrefix), places);
}

bool namesDeadProcess(const QString& name, int64_t self) {
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
