#include "app/ui/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "app/platform/AppPaths.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

namespace {

constexpr char replyLine[] = "ok\n";
// A request is one line of JSON; anything longer is not one of ours.
constexpr qint64 requestLimit = 1 << 20;

QString runtimeName(DefaultsStore::Kind kind, const char* suffix) {
    const QString kindName =
        kind == DefaultsStore::Kind::selfTest ? QStringLiteral("selftest") : QStringLiteral("user");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime + QStringLiteral("/verda-pdf-") + kindName + QLatin1String(suffix);
    }
    return AppPaths::temporaryFolder() + QStringLiteral("/verda-pdf-") + QString::number(::getuid()) +
           QLatin1Char('-') + kindName + QLatin1String(suffix);
}

// The launch lock: held while a launch decides its role.
class LaunchLock {
  public:
    LaunchLock(const QString& path, std::chrono::milliseconds wait) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            logLine("cannot open the launch lock " + path.toStdString());
            return;
        }
        const QDeadlineTimer deadline(wait);
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (deadline.hasExpired()) {
                logLine("the launch lock stayed taken; deciding without it");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~LaunchLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    LaunchLock(const LaunchLock&) = delete;
    LaunchLock& operator=(const LaunchLock&) = delete;

  private:
    int fd_ = -1;
};

// The socket's address; none for a path too long for one.
std::optional<sockaddr_un> addressOf(const QString& socketPath) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) {
        logLine("the socket path " + socketPath.toStdString() + " is too long");
        return std::nullopt;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    return address;
}

// A socket descriptor closed with its scope.
class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// Waits until `fd` is ready for `events`, at most until the deadline.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// True when a running instance answered that it took the files.
bool handOver(const QString& socketPath, const QStringList& files) {
    const std::optional<sockaddr_un> address = addressOf(socketPath);
    if (!address) {
        return false;
    }
    const Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.fd() < 0) {
        return false;
    }
    const QDeadlineTimer deadline(SingleInstance::replyTimeout);
    // No socket file, or nobody listening on it: no instance runs.
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        if (errno != EAGAIN && errno != EINPROGRESS) {
            return false;
        }
        int error = 0;
        socklen_t length = sizeof(error);
        if (!waitFor(socket.fd(), POLLOUT, deadline) ||
            ::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return false;
        }
    }
    QByteArray request = QJsonDocument(QJsonArray::fromStringList(files)).toJson(QJsonDocument::Compact);
    request.append('\n');
    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t n = ::send(socket.fd(), request.constData() + sent,
                                 static_cast<size_t>(request.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
        } else if (!(n < 0 && (errno == EAGAIN || errno == EINTR) &&
                     waitFor(socket.fd(), POLLOUT, deadline))) {
            return false;
        }
    }
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 64) {
        char buffer[64];
        const ssize_t n = ::recv(socket.fd(), buffer, sizeof(buffer), 0);
        if (n > 0) {
            reply.append(buffer, n);
        } else if (!(n < 0 && (errno == EAGAIN || errno == EINTR) &&
                     waitFor(socket.fd(), POLLIN, deadline))) {
            return false;
        }
    }
    return reply == replyLine;
}

}  // namespace

QString SingleInstance::lockPath(DefaultsStore::Kind kind) {
    return runtimeName(kind, ".lock");
}

QString SingleInstance::socketPath(DefaultsStore::Kind kind) {
    return runtimeName(kind, ".socket");
}

std::unique_ptr<SingleInstance> SingleInstance::claim(DefaultsStore::Kind kind, const QStringList& files) {
    return claim(lockPath(kind), socketPath(kind), files);
}

std::unique_ptr<SingleInstance> SingleInstance::claim(const QString& lockPath, const QString& socketPath,
                                                      const QStringList& files) {
    const LaunchLock lock(lockPath, lockTimeout);
    if (handOver(socketPath, files)) {
        return nullptr;
    }
    std::unique_ptr<SingleInstance> instance(new SingleInstance(socketPath));
    if (!instance->listen()) {
        logLine("cannot listen on " + socketPath.toStdString() + "; later launches run on their own");
    }
    return instance;
}

SingleInstance::SingleInstance(QString socketPath) : socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() {
    close();
}

// Plain Unix sockets rather than Qt's local sockets: the Qt module for those
// loads, with its network stack, a dozen libraries at every launch.
bool SingleInstance::listen() {
    const std::optional<sockaddr_un> address = addressOf(socketPath_);
    if (!address) {
        return false;
    }
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // No instance answered, so a socket file left there belongs to a dead or
    // hung one: this launch takes over.
    ::unlink(address->sun_path);
    if (socket.fd() < 0 ||
        ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        return false;
    }
    // Only this user's launches may hand files over.
    if (::chmod(address->sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(socket.fd(), SOMAXCONN) != 0) {
        ::unlink(address->sun_path);
        return false;
    }
    listening_ = socket.release();
    acceptor_ = new QSocketNotifier(listening_, QSocketNotifier::Read, this);
    connect(acceptor_, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::close() {
    while (!connections_.empty()) {
        dropConnection(connections_.begin()->first);
    }
    if (listening_ < 0) {
        return;
    }
    delete acceptor_;
    acceptor_ = nullptr;
    ::close(std::exchange(listening_, -1));
    QFile::remove(socketPath_);
}

bool SingleInstance::isListening() const {
    return listening_ >= 0;
}

void SingleInstance::acceptConnections() {
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            return;  // none waiting (EAGAIN), or a connection that went away
        }
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connections_[fd] = Connection{notifier, {}};
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] { readRequest(fd); });
        readRequest(fd);
    }
}

void SingleInstance::dropConnection(int fd) {
    const auto it = connections_.find(fd);
    if (it == connections_.end()) {
        return;
    }
    // Deleted later: this may run from the notifier's own signal.
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    ::close(fd);
    connections_.erase(it);
}

void SingleInstance::readRequest(int fd) {
    const auto it = connections_.find(fd);
    if (it == connections_.end()) {
        return;
    }
    QByteArray& received = it->second.received;
    while (!received.contains('\n')) {
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n > 0 && received.size() + n <= requestLimit) {
            received.append(buffer, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            return;  // the rest comes later
        } else {
            dropConnection(fd);  // longer than any request of ours, or the other end gone
            return;
        }
    }
    const QByteArray line = received.left(received.indexOf('\n'));
    const QJsonDocument request = QJsonDocument::fromJson(line.trimmed());
    if (!request.isArray()) {
        dropConnection(fd);
        return;
    }
    QStringList files;
    for (const QJsonValue& value : request.array()) {
        if (value.isString() && !value.toString().isEmpty()) {
            files.append(value.toString());
        }
    }
    // Three bytes fit any socket buffer.
    ::send(fd, replyLine, sizeof(replyLine) - 1, MSG_NOSIGNAL);
    dropConnection(fd);
    // Opening may show dialogs; the reply must not wait for them.
    QTimer::singleShot(0, this, [this, files] { emit filesReceived(files); });
}

}  // namespace quillet
