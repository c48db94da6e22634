// The reveal call against a private bus: a stand-in file manager that records
// what it is asked, and a bus where nobody answers.
#include "app/platform/FileManagerReveal.h"

#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using namespace testing;

// A bus of its own, without service activation, so no real file manager starts.
class PrivateBus {
  public:
    explicit PrivateBus(const std::filesystem::path& folder) {
        const QString config = qpath(folder / "bus.conf");
        writeFile(
            folder / "bus.conf",
            "<busconfig><type>session</type><listen>unix:tmpdir=" + folder.string() +
                "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>");
        daemon_.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"), "--config-file=" + config});
        EXPECT_TRUE(daemon_.waitForStarted());
        EXPECT_TRUE(pumpUntil([&] { return daemon_.canReadLine(); }));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    QDBusConnection connect(const QString& name) { return QDBusConnection::connectToBus(address_, name); }

  private:
    QProcess daemon_;
    QString address_;
};

class FakeFileManager : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        calls.push_back(message);
        connection.send(message.createReply());
        return true;
    }
    std::vector<QDBusMessage> calls;
};

struct Outcome {
    std::optional<bool> taken;
    std::vector<QUrl> opened;
};

Outcome reveal(const QString& path, const QDBusConnection& bus) {
    auto outcome = std::make_shared<Outcome>();
    QObject context;
    FileManagerReveal::Seams seams{bus, [outcome](const QUrl& url) {
                                       outcome->opened.push_back(url);
                                       return true;
                                   }};
    FileManagerReveal::reveal(path, &context, seams, [outcome](bool taken) { outcome->taken = taken; });
    EXPECT_TRUE(pumpUntil([&] { return outcome->taken.has_value(); }));
    return *outcome;
}

class FileManagerRevealTest : public ::testing::Test {
  protected:
    void SetUp() override { testApplication(); }
    TempDir dir;
    QString file = qpath(dir.path() / "Quarterly Report.pdf");
};

TEST_F(FileManagerRevealTest, FileManagerIsAskedToShowTheFileByItsUri) {
    PrivateBus bus(dir.path());
    QDBusConnection service = bus.connect(QStringLiteral("fake-file-manager"));
    FakeFileManager fake;
    ASSERT_TRUE(service.registerVirtualObject(QString::fromLatin1(FileManagerReveal::objectPath), &fake));
    ASSERT_TRUE(service.registerService(QString::fromLatin1(FileManagerReveal::serviceName)));
    QDBusConnection client = bus.connect(QStringLiteral("reveal-client"));

    const Outcome outcome = reveal(file, client);
    EXPECT_EQ(outcome.taken, true);
    EXPECT_TRUE(outcome.opened.empty());
    ASSERT_EQ(fake.calls.size(), 1u);
    const QDBusMessage& call = fake.calls[0];
    EXPECT_EQ(call.interface(), QString::fromLatin1(FileManagerReveal::interfaceName));
    EXPECT_EQ(call.member(), QStringLiteral("ShowItems"));
    ASSERT_EQ(call.arguments().size(), 2);
    const QStringList uris = call.arguments()[0].toStringList();
    ASSERT_EQ(uris.size(), 1);
    EXPECT_EQ(uris[0], "file://" + qpath(dir.path()).replace(' ', "%20") + "/Quarterly%20Report.pdf");
    EXPECT_EQ(QUrl(uris[0]).toLocalFile(), file);

    QDBusConnection::disconnectFromBus(QStringLiteral("reveal-client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
}

TEST_F(FileManagerRevealTest, FolderOpensWhenNoFileManagerAnswers) {
    PrivateBus bus(dir.path());
    QDBusConnection client = bus.connect(QStringLiteral("lonely-client"));
    ASSERT_TRUE(client.isConnected());
    const QDBusConnection nowhere =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
    for (const QDBusConnection& bus : {client, nowhere}) {
        const Outcome outcome = reveal(file, bus);
        EXPECT_EQ(outcome.taken, false);
        ASSERT_EQ(outcome.opened.size(), 1u);
        EXPECT_EQ(outcome.opened[0], QUrl::fromLocalFile(qpath(dir.path())));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("lonely-client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

}  // namespace
}  // namespace quillet
