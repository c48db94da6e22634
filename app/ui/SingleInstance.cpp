#include "app/ui/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include "app/platform/AppPaths.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

namespace {

constexpr char replyLine[] = "ok\n";
// A request is one line of JSON; anything longer is not one of ours.
constexpr qint64 requestLimit = 1 << 20;

QString runtimeName(DefaultsStore::Kind kind, const char* suffix)
{
    const QString kindName = kind == DefaultsStore::Kind::selfTest ? QStringLiteral("selftest") : QStringLiteral("user");
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
    LaunchLock(const QString& path, std::chrono::milliseconds wait)
    {
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
    ~LaunchLock()
    {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    LaunchLock(const LaunchLock&) = delete;
    LaunchLock& operator=(const LaunchLock&) = delete;

private:
    int fd_ = -1;
};

// True when a running instance answered that it took the files.
bool handOver(const QString& socketPath, const QStringList& files)
{
    QLocalSocket socket;
    const QDeadlineTimer deadline(SingleInstance::replyTimeout);
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return false;
    }
    QByteArray request = QJsonDocument(QJsonArray::fromStringList(files)).toJson(QJsonDocument::Compact);
    request.append('\n');
    socket.write(request);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
            return false;
        }
    }
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return false;
        }
        reply += socket.readAll();
    }
    return reply == replyLine;
}

}  // namespace

QString SingleInstance::lockPath(DefaultsStore::Kind kind)
{
    return runtimeName(kind, ".lock");
}

QString SingleInstance::socketPath(DefaultsStore::Kind kind)
{
    return runtimeName(kind, ".socket");
}

std::unique_ptr<SingleInstance> SingleInstance::claim(DefaultsStore::Kind kind, const QStringList& files)
{
    return claim(lockPath(kind), socketPath(kind), files);
}

std::unique_ptr<SingleInstance> SingleInstance::claim(const QString& lockPath, const QString& socketPath,
                                                      const QStringList& files)
{
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

SingleInstance::~SingleInstance()
{
    close();
}

bool SingleInstance::listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // No instance answered, so a socket file left there belongs to a dead or
    // hung one: this launch takes over.
    QLocalServer::removeServer(socketPath_);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return server_->listen(socketPath_);
}

void SingleInstance::close()
{
    if (server_ != nullptr && server_->isListening()) {
        server_->close();
    }
}

bool SingleInstance::isListening() const
{
    return server_ != nullptr && server_->isListening();
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > requestLimit) {
            socket->abort();
        }
        return;
    }
    const QByteArray line = socket->readLine(requestLimit);
    const QJsonDocument request = QJsonDocument::fromJson(line.trimmed());
    if (!request.isArray()) {
        socket->abort();
        return;
    }
    QStringList files;
    for (const QJsonValue& value : request.array()) {
        if (value.isString() && !value.toString().isEmpty()) {
            files.append(value.toString());
        }
    }
    socket->write(replyLine);
    socket->flush();
    // Opening may show dialogs; the reply must not wait for them.
    QTimer::singleShot(0, this, [this, files] { emit filesReceived(files); });
}

}  // namespace quillet
