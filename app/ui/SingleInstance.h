// One running instance per user edits documents. A launch takes a lock file
// in the user's runtime folder, then either hands its files to the running
// instance over a local socket and leaves once that instance has replied, or,
// when none answers in time, becomes the instance itself by listening on that
// socket. The lock makes simultaneous launches decide one after the other, so
// exactly one of them listens. Lock and socket names carry the defaults-store
// kind: a self-test run (and a test with its own runtime folder) never talks
// to the user's instance.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <map>
#include <memory>

#include "app/platform/DefaultsStore.h"

class QSocketNotifier;

namespace quillet {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    // How long a launch waits for the running instance to take its files.
    static constexpr std::chrono::milliseconds replyTimeout{2000};
    // How long a launch waits for the lock before deciding without it.
    static constexpr std::chrono::milliseconds lockTimeout{10000};

    // "$XDG_RUNTIME_DIR/verda-pdf-<kind>.lock" and ".socket"; without a runtime
    // folder the temporary folder, with the user id in the names.
    static QString lockPath(DefaultsStore::Kind kind);
    static QString socketPath(DefaultsStore::Kind kind);

    // Decides this launch's role. Null when a running instance took `files`
    // (absolute paths; empty means "come to the front"): the launch is done.
    // Otherwise the instance, listening for later launches. Needs the
    // application object; the socket work blocks at most replyTimeout.
    static std::unique_ptr<SingleInstance> claim(DefaultsStore::Kind kind, const QStringList& files);
    // Same, on explicit paths (tests).
    static std::unique_ptr<SingleInstance> claim(const QString& lockPath, const QString& socketPath,
                                                 const QStringList& files);

    ~SingleInstance() override;

    // Stops listening and removes the socket, so that the next launch becomes
    // the instance (before a relaunch that changes the language).
    void close();
    bool isListening() const;

  signals:
    // Files another launch handed over, on the main thread; empty when that
    // launch had none.
    void filesReceived(const QStringList& files);

  private:
    // A later launch's connection: what it sent so far.
    struct Connection {
        QSocketNotifier* notifier = nullptr;
        QByteArray received;
    };

    explicit SingleInstance(QString socketPath);
    bool listen();
    void acceptConnections();
    void readRequest(int fd);
    void dropConnection(int fd);

    QString socketPath_;
    int listening_ = -1;  // the listening socket
    QSocketNotifier* acceptor_ = nullptr;
    std::map<int, Connection> connections_;  // by socket
};

}  // namespace quillet
