#include "app/platform/PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillet::PrivateFolder {

namespace {

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// Only words for the log: the decision was the refused open. With
// O_DIRECTORY, Linux reports a link at the last step as ENOTDIR, not ELOOP.
std::string openProblem(const QString& path, int error) {
    struct stat status {};
    if ((error == ELOOP || error == ENOTDIR) && ::lstat(QFile::encodeName(path).constData(), &status) == 0) {
        return S_ISLNK(status.st_mode) ? "it is a symbolic link" : "it is not a folder";
    }
    return std::string("cannot open it: ") + std::strerror(error);
}

}  // namespace

std::string problem(const QString& path, uid_t owner) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return openProblem(path, errno);
    }
    struct stat status {};
    const int statResult = ::fstat(fd, &status);
    const int statError = errno;
    ::close(fd);
    if (statResult != 0) {
        return std::string("cannot inspect it: ") + std::strerror(statError);
    }
    if (!S_ISDIR(status.st_mode)) {
        return "it is not a folder";
    }
    if (status.st_uid != owner) {
        return "it belongs to user " + std::to_string(status.st_uid);
    }
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        return "other users have access to it (mode " + octal(status.st_mode) + ")";
    }
    if ((status.st_mode & S_IRWXU) != S_IRWXU) {
        return "its owner cannot use it (mode " + octal(status.st_mode) + ")";
    }
    return {};
}

std::string ensure(const QString& path, uid_t owner) {
    if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        return std::string("cannot create it: ") + std::strerror(errno);
    }
    return problem(path, owner);
}

QString makeFresh(const QString& parent, const QString& prefix) {
    QByteArray pattern = QFile::encodeName(parent + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return QFile::decodeName(pattern);
}

}  // namespace quillet::PrivateFolder
