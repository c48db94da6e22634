// One instance per user: later launches hand their files over. The process
// cases run the real application under the offscreen platform, each test in
// its own runtime, configuration and temporary folders.
#include "app/ui/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "app/ui/ApplicationShell.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::qpath;

class SingleInstanceInProcess : public ::testing::Test {
  protected:
    SingleInstanceInProcess() { testing::testApplication(); }
    testing::TempDir dir;
    const QString lock = qpath(dir.file("launch.lock"));
    const QString socket = qpath(dir.file("launch.socket"));
};

TEST_F(SingleInstanceInProcess, ALaterClaimHandsItsFilesToTheListeningInstance) {
    std::unique_ptr<SingleInstance> first = SingleInstance::claim(lock, socket, {"/docs/a.pdf"});
    ASSERT_TRUE(first);
    ASSERT_TRUE(first->isListening());
    std::vector<QStringList> received;
    QObject::connect(first.get(), &SingleInstance::filesReceived,
                     [&](const QStringList& files) { received.push_back(files); });

    bool handedOver = false;
    std::thread second([&] {
        handedOver = SingleInstance::claim(lock, socket, {"/docs/b.pdf", "/docs/c d.pdf"}) == nullptr;
    });
    ASSERT_TRUE(testing::pumpUntil([&] { return received.size() == 1; }));
    second.join();
    EXPECT_TRUE(handedOver);
    EXPECT_EQ(received.at(0), (QStringList{"/docs/b.pdf", "/docs/c d.pdf"}));

    // Closed before a relaunch: the next launch becomes the instance.
    first->close();
    const std::unique_ptr<SingleInstance> third = SingleInstance::claim(lock, socket, {});
    ASSERT_TRUE(third);
    EXPECT_TRUE(third->isListening());
}

sockaddr_un unixAddress(const QString& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
    return address;
}

// A client that sends `bytes`: "ok" when the instance answered so, "hung up"
// when it closed the connection, "silent" when it did neither in time.
std::string sendRaw(const QString& socketPath, const std::string& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit{3, 0};  // an instance that neither answers nor hangs up fails, not hangs, the test
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    const sockaddr_un address = unixAddress(socketPath);
    std::string outcome = "hung up";
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        for (size_t sent = 0; sent < bytes.size();) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<size_t>(n);
        }
        char reply[8] = {};
        const ssize_t n = ::recv(fd, reply, sizeof(reply), 0);
        outcome = n == 3 && std::string(reply, 3) == "ok\n" ? "ok"
                  : n < 0 && errno == EAGAIN                ? "silent"
                                                            : "hung up";
    }
    ::close(fd);
    return outcome;
}

TEST_F(SingleInstanceInProcess, StaleSocketsAndStrangeRequestsAreSurvived) {
    // A dead instance's socket file: nobody answers there, so this launch takes over.
    {
        const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = unixAddress(socket);
        ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ::close(stale);
    }
    std::unique_ptr<SingleInstance> instance = SingleInstance::claim(lock, socket, {});
    ASSERT_TRUE(instance && instance->isListening());
    struct stat info {};
    ASSERT_EQ(::stat(socket.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "only this user's launches may connect";
    int requests = 0;
    QObject::connect(instance.get(), &SingleInstance::filesReceived, [&](const QStringList&) { ++requests; });

    // Not JSON, and a line longer than any request: each is hung up on,
    // unanswered, and the instance goes on serving.
    for (const std::string& strange : {std::string("not json\n"), std::string((1 << 20) + 10, 'x')}) {
        std::string outcome;
        std::atomic<bool> finished = false;
        std::thread client([&] {
            outcome = sendRaw(socket, strange);
            finished = true;
        });
        EXPECT_TRUE(testing::pumpUntil([&] { return finished.load(); }));
        client.join();
        EXPECT_EQ(outcome, "hung up") << strange.substr(0, 10);
    }
    EXPECT_EQ(requests, 0);
    std::string outcome;
    std::thread client([&] { outcome = sendRaw(socket, "[\"/docs/a.pdf\"]\n"); });
    ASSERT_TRUE(testing::pumpUntil([&] { return requests == 1; }));
    client.join();
    EXPECT_EQ(outcome, "ok");

    instance.reset();
    EXPECT_FALSE(QFileInfo::exists(socket)) << "the socket goes with the instance";
}

TEST(SingleInstanceNames, CarryTheDefaultsStoreKind) {
    EXPECT_NE(SingleInstance::socketPath(DefaultsStore::Kind::user),
              SingleInstance::socketPath(DefaultsStore::Kind::selfTest));
    EXPECT_NE(SingleInstance::lockPath(DefaultsStore::Kind::user),
              SingleInstance::lockPath(DefaultsStore::Kind::selfTest));
}

class LaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::testApplication();
        for (const char* folder : {"run", "config", "data", "tmp", "docs"}) {
            fs::create_directories(dir.file(folder));
        }
        ::chmod(dir.file("run").c_str(), 0700);
        testing::writeFile(dir.file("docs/one.pdf"), testing::simpleDocument(1));
        testing::writeFile(dir.file("docs/two.pdf"), testing::simpleDocument(2));
    }
    void TearDown() override {
        for (QProcess* process : processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
            delete process;
        }
    }

    QProcess* launch(const QStringList& arguments) {
        auto* process = new QProcess;
        processes.push_back(process);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_RUNTIME_DIR", qpath(dir.file("run")));
        environment.insert("XDG_CONFIG_HOME", qpath(dir.file("config")));
        environment.insert("XDG_DATA_HOME", qpath(dir.file("data")));
        environment.insert("TMPDIR", qpath(dir.file("tmp")));
        environment.remove("QUILLET_SELFTEST");
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(qpath(dir.file("docs")));
        process->start(QStringLiteral(QUILLET_BINARY_DIR "/app/verda-pdf"), arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    }

    // The user store of the launched processes, read afresh.
    std::unique_ptr<QSettings> store() const {
        return testing::settingsIn(dir.file("config/verda.edits.pdf.conf"));
    }
    QStringList sessionDocuments() const { return SessionGuard::sessionDocuments(*store()); }
    bool sessionHas(const QStringList& names) const {
        QStringList expected;
        for (const QString& name : names) {
            expected.append(QFileInfo(qpath(dir.file("docs"))).canonicalFilePath() + "/" + name);
        }
        QStringList open = sessionDocuments();
        open.sort();
        return open == expected;
    }
    static bool finished(QProcess* process) { return process->state() == QProcess::NotRunning; }
    static void quit(QProcess* process) {
        process->terminate();
        EXPECT_TRUE(testing::pumpUntil([process] { return finished(process); }, 60s));
        EXPECT_EQ(process->exitCode(), 0);
    }

    testing::TempDir dir;
    std::vector<QProcess*> processes;
};

TEST_F(LaunchTest, ASecondLaunchHandsItsFileToTheRunningInstanceAndLeavesItsRecordAlone) {
    QProcess* first = launch({"one.pdf"});
    ASSERT_TRUE(testing::pumpUntil([&] { return sessionHas({"one.pdf"}); }, 60s))
        << sessionDocuments().join(",").toStdString();
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store()), 0);

    // Options alone are not launches and never reach the instance.
    QProcess* version = launch({"--version"});
    ASSERT_TRUE(testing::pumpUntil([&] { return finished(version); }, 60s));
    EXPECT_EQ(version->exitCode(), 0);
    EXPECT_EQ(version->readAllStandardOutput().trimmed(), QByteArray("verda-pdf ") + applicationVersion());
    QProcess* wrong = launch({"--no-such-option"});
    ASSERT_TRUE(testing::pumpUntil([&] { return finished(wrong); }, 60s));
    EXPECT_EQ(wrong->exitCode(), 2);

    QProcess* second = launch({"two.pdf"});
    ASSERT_TRUE(testing::pumpUntil([&] { return finished(second); }, 60s));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    ASSERT_TRUE(testing::pumpUntil(
        [&] {
            return sessionHas({"one.pdf", "two.pdf"});
        },
        60s))
        << sessionDocuments().join(",").toStdString();
    EXPECT_FALSE(finished(first));
    EXPECT_EQ(SessionGuard::uncleanLaunches(*store()), 0);
    EXPECT_TRUE(store()->value(SessionGuard::sessionRunningKey).toBool());

    quit(first);
    EXPECT_FALSE(store()->value(SessionGuard::sessionRunningKey).toBool());
}

TEST_F(LaunchTest, TwoSimultaneousLaunchesEndWithOneInstanceHoldingBothFiles) {
    QProcess* a = launch({"one.pdf"});
    QProcess* b = launch({"two.pdf"});
    ASSERT_TRUE(testing::pumpUntil([&] { return finished(a) || finished(b); }, 60s));
    QProcess* handedOver = finished(a) ? a : b;
    QProcess* instance = handedOver == a ? b : a;
    EXPECT_EQ(handedOver->exitCode(), 0);
    ASSERT_TRUE(testing::pumpUntil(
        [&] {
            return sessionHas({"one.pdf", "two.pdf"});
        },
        60s))
        << sessionDocuments().join(",").toStdString();
    EXPECT_FALSE(finished(instance));
    quit(instance);
}

}  // namespace
}  // namespace quillet
