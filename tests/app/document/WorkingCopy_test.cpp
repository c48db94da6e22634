#include "app/document/WorkingCopy.h"

#include <gtest/gtest.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::qpath;

// A process id that was in use and no longer is.
int64_t deadProcessId() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

class WorkingCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(temp);
        fs::create_directories(user);
        testing::writeFile(user / "report.pdf", "%PDF-1.4 report");
        places.temporaryFolder = qpath(temp);
        places.processId = ::getpid();
        places.sameFileSystem = [this](const std::string&, const std::string&) { return sameFileSystem; };
    }

    // A clone that the test's file system may not offer: a plain copy of the data.
    void allowClones() {
        places.calls.reflink = [this](int destination, int source) {
            ++clones;
            off_t offset = 0;
            struct stat info {};
            ::fstat(source, &info);
            return ::sendfile(destination, source, &offset, static_cast<size_t>(info.st_size)) == info.st_size
                       ? 0
                       : -1;
        };
    }
    void refuseClones() {
        places.calls.reflink = [](int, int) {
            errno = EOPNOTSUPP;
            return -1;
        };
    }

    QStringList userFolderEntries() const {
        return QDir(qpath(user)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QString perUserFolder(uid_t uid) const {
        return qpath(temp) + "/QuilletWorkingCopies-" + QString::number(uid);
    }

    // With the per-user or per-process folder made unsafe by `plant`, the copy
    // still goes to a folder only this user may enter, the reason is logged,
    // and nothing reaches the folder the planted link points to.
    void expectFreshPrivateFolderUsed(const std::function<void()>& plant, const std::string& logged) {
        refuseClones();
        const fs::path elsewhere = dir.file("elsewhere");
        fs::create_directories(elsewhere);
        plant();
        ::testing::internal::CaptureStderr();
        const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
        const std::string log = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(copy.owned);
        EXPECT_EQ(testing::readFile(copy.path.toStdString()), "%PDF-1.4 report");
        const QString folder = QFileInfo(copy.path).absolutePath();
        EXPECT_NE(folder, WorkingCopies::processFolder(places));
        EXPECT_EQ(QFileInfo(folder).absolutePath(), qpath(temp)) << "fresh folder beside the unsafe one";
        struct stat status {};
        ASSERT_EQ(::stat(folder.toLocal8Bit().constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        EXPECT_EQ(status.st_uid, ::geteuid());
        EXPECT_TRUE(fs::is_empty(elsewhere)) << "written through the link";
        EXPECT_NE(log.find("VerdaPDF: temporary folder "), std::string::npos) << log;
        EXPECT_NE(log.find(logged), std::string::npos) << log;

        WorkingCopies::remove(copy.path, places);
        EXPECT_FALSE(QFileInfo::exists(folder)) << "the fresh folder goes with its copy";
    }

    testing::TempDir dir;
    fs::path temp = dir.file("tmp");
    fs::path user = dir.file("user");
    QString source = qpath(user / "report.pdf");
    WorkingCopies::Places places;
    bool sameFileSystem = true;
    int clones = 0;
};

// A clone goes where it can share the file's blocks: the process folder on
// the same file system, else a hidden folder beside the file; a plain copy
// always goes to the process folder. Each goes on close, leaving nothing
// beside the file.
TEST_F(WorkingCopyTest, ACopyGoesWhereItCanBeMadeAndIsRemovedOnClose) {
    const struct {
        const char* name;
        bool clones;
        bool sameFileSystem;
        QString folder;
    } cases[] = {
        {"clone, same file system", true, true,
         perUserFolder(::geteuid()) + "/" + QString::number(::getpid())},
        {"clone, another file system", true, false,
         qpath(user) + "/.QuilletWorkingCopies-" + QString::number(::getpid())},
        {"copy, another file system", false, false,
         perUserFolder(::geteuid()) + "/" + QString::number(::getpid())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.clones ? allowClones() : refuseClones();
        sameFileSystem = c.sameFileSystem;
        clones = 0;
        const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
        ASSERT_TRUE(copy.owned);
        EXPECT_EQ(clones, c.clones ? 1 : 0);
        EXPECT_EQ(QFileInfo(copy.path).absolutePath(), c.folder);
        EXPECT_TRUE(QFileInfo(copy.path).fileName().endsWith(".pdf"));
        EXPECT_EQ(testing::readFile(copy.path.toStdString()), "%PDF-1.4 report");

        WorkingCopies::remove(copy.path, places);
        EXPECT_FALSE(QFileInfo::exists(copy.path));
        EXPECT_EQ(userFolderEntries(), QStringList{"report.pdf"});
    }
    EXPECT_TRUE(QFileInfo(WorkingCopies::processFolder(places)).isDir()) << "the process folder stays";
}

TEST_F(WorkingCopyTest, AFileOverTheLimitThatCannotBeClonedIsUsedDirectly) {
    refuseClones();
    const fs::path link = user / "link.pdf";
    fs::create_symlink(user / "report.pdf", link);
    ::testing::internal::CaptureStderr();
    const WorkingCopy copy = WorkingCopies::make(qpath(link), 4, places);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(copy.owned);
    EXPECT_EQ(copy.path, source) << "symbolic links are resolved";
    EXPECT_NE(log.find("VerdaPDF: no working copy of " + source.toStdString() +
                       ", reading the file in place: "
                       "it cannot be cloned and is over the copy size limit"),
              std::string::npos)
        << log;
    EXPECT_TRUE(QDir(WorkingCopies::processFolder(places)).isEmpty()) << "no copy was made";

    allowClones();
    EXPECT_TRUE(WorkingCopies::make(source, 4, places).owned) << "a clone has no size limit";
}

TEST_F(WorkingCopyTest, AFailedCopyFallsBackToTheFileItself) {
    refuseClones();
    places.temporaryFolder = qpath(dir.file("no-such/tmp"));
    testing::writeFile(dir.file("no-such"), "a file where a folder should be");
    ::testing::internal::CaptureStderr();
    const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(copy.owned);
    EXPECT_EQ(copy.path, source);
    EXPECT_NE(log.find("reading the file in place: there is no private temporary folder"), std::string::npos)
        << log;
}

TEST_F(WorkingCopyTest, TheUserAndProcessFoldersAreMadeForTheUserAlone) {
    refuseClones();
    const mode_t previous = ::umask(0);  // the folders' modes must not rely on the umask
    const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
    ::umask(previous);
    ASSERT_TRUE(copy.owned);
    for (const QString& folder : {perUserFolder(::geteuid()), WorkingCopies::processFolder(places)}) {
        struct stat status {};
        ASSERT_EQ(::lstat(folder.toLocal8Bit().constData(), &status), 0) << folder.toStdString();
        EXPECT_TRUE(S_ISDIR(status.st_mode)) << folder.toStdString();
        EXPECT_EQ(status.st_mode & 07777, 0700u) << folder.toStdString();
    }
}

TEST_F(WorkingCopyTest, AnUnsafeFolderInTheTemporaryFolderIsLeftAloneForAFreshPrivateOne) {
    const QString own = perUserFolder(::geteuid());
    const fs::path elsewhere = dir.file("elsewhere");
    struct Case {
        const char* name;
        std::function<void()> plant;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"per-user folder is a link", [&] { fs::create_directory_symlink(elsewhere, own.toStdString()); },
         "it is a symbolic link"},
        {"per-user folder is a file", [&] { testing::writeFile(own.toStdString(), "x"); },
         "it is not a folder"},
        {"per-user folder open to others",
         [&] {
             QDir().mkpath(own);
             ::chmod(own.toLocal8Bit().constData(), 0755);
         },
         "other users have access to it (mode 0755)"},
        {"per-process folder is a link",
         [&] {
             QDir().mkpath(own);
             ::chmod(own.toLocal8Bit().constData(), 0700);
             fs::create_directory_symlink(elsewhere, WorkingCopies::processFolder(places).toStdString());
         },
         "it is a symbolic link"},
        {"per-process folder open to the group",
         [&] {
             QDir().mkpath(WorkingCopies::processFolder(places));
             ::chmod(own.toLocal8Bit().constData(), 0700);
             ::chmod(WorkingCopies::processFolder(places).toLocal8Bit().constData(), 0770);
         },
         "(mode 0770)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(temp);
        fs::create_directories(temp);
        expectFreshPrivateFolderUsed(c.plant, c.logged);
    }
}

TEST_F(WorkingCopyTest, APerUserFolderOwnedBySomeoneElseIsLeftAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a folder to another user takes root";
    }
    const QString own = perUserFolder(::geteuid());
    expectFreshPrivateFolderUsed(
        [&] {
            QDir().mkpath(own);
            ::chmod(own.toLocal8Bit().constData(), 0700);
            ASSERT_EQ(::chown(own.toLocal8Bit().constData(), 65534, 65534), 0);
        },
        "it belongs to user 65534");
}

TEST_F(WorkingCopyTest, SweepRemovesOnlyFoldersOfDeadProcessesInThisUsersFolder) {
    const QString root = perUserFolder(::geteuid()) + "/";
    const QString dead = QString::number(deadProcessId());
    const QString parent = QString::number(::getppid());
    const QString own = QString::number(::getpid());
    for (const QString& name : {dead, parent, own, QString("12ab"), QString("99999999999")}) {
        QDir().mkpath(root + name);
        testing::writeFile((root + name + "/A.pdf").toStdString(), "x");
    }
    ::chmod(root.toLocal8Bit().constData(), 0700);
    // Another user's folder and the shared one of older versions are not this user's to sweep.
    const QString others[] = {perUserFolder(::geteuid() + 1) + "/" + dead,
                              qpath(temp) + "/QuilletWorkingCopies/" + dead};
    for (const QString& folder : others) {
        QDir().mkpath(folder);
    }
    EXPECT_EQ(WorkingCopies::sweepStale(places), 1);
    EXPECT_FALSE(QFileInfo::exists(root + dead));
    for (const QString& name : {parent, own, QString("12ab"), QString("99999999999")}) {
        EXPECT_TRUE(QFileInfo::exists(root + name)) << name.toStdString();
    }
    for (const QString& folder : others) {
        EXPECT_TRUE(QFileInfo::exists(folder)) << folder.toStdString();
    }

    QDir().mkpath(qpath(user) + "/.QuilletWorkingCopies-" + dead);
    QDir().mkpath(qpath(user) + "/.QuilletWorkingCopies-" + own);
    EXPECT_EQ(WorkingCopies::sweepStaleBeside(qpath(user), places), 1);
    EXPECT_EQ(userFolderEntries(), (QStringList{".QuilletWorkingCopies-" + own, "report.pdf"}));
}

TEST_F(WorkingCopyTest, SweepDoesNotFollowALinkPlantedAtThePerUserFolder) {
    const QString dead = QString::number(deadProcessId());
    const fs::path elsewhere = dir.file("elsewhere");
    fs::create_directories(elsewhere / dead.toStdString());
    fs::create_directory_symlink(elsewhere, perUserFolder(::geteuid()).toStdString());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(WorkingCopies::sweepStale(places), 0);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fs::exists(elsewhere / dead.toStdString()));
    EXPECT_NE(log.find("not swept"), std::string::npos) << log;
}

TEST(WorkingCopyNames, OnlySigned32BitDecimalNamesOfDeadProcessesCount) {
    const QString dead = QString::number(deadProcessId());
    EXPECT_TRUE(WorkingCopies::namesDeadProcess(dead, ::getpid()));
    EXPECT_TRUE(WorkingCopies::namesDeadProcess("+" + dead, ::getpid()));
    EXPECT_FALSE(WorkingCopies::namesDeadProcess(dead, dead.toLongLong())) << "the current process";
    EXPECT_FALSE(WorkingCopies::namesDeadProcess(QString::number(::getpid()), 0)) << "a running process";
    for (const char* name : {"", "+", "12ab", "1 2", "2147483648", "0x10"}) {
        EXPECT_FALSE(WorkingCopies::namesDeadProcess(name, ::getpid())) << name;
    }
}

}  // namespace
}  // namespace quillet
