#include "app/document/WorkingCopy.h"

#include <sys/sendfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "support/QtTestSupport.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::qpath;

// A process id that was in use and no longer is.
int64_t deadProcessId()
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

class WorkingCopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(temp);
        fs::create_directories(user);
        testing::writeFile(user / "report.pdf", "%PDF-1.4 report");
        places.temporaryFolder = qpath(temp);
        places.processId = ::getpid();
        places.sameFileSystem = [this](const std::string&, const std::string&) { return sameFileSystem; };
    }

    // A clone that the test's file system may not offer: a plain copy of the data.
    void allowClones()
    {
        places.calls.reflink = [this](int destination, int source) {
            ++clones;
            off_t offset = 0;
            struct stat info {};
            ::fstat(source, &info);
            return ::sendfile(destination, source, &offset, static_cast<size_t>(info.st_size)) == info.st_size ? 0
                                                                                                             : -1;
        };
    }
    void refuseClones()
    {
        places.calls.reflink = [](int, int) {
            errno = EOPNOTSUPP;
            return -1;
        };
    }

    QStringList userFolderEntries() const
    {
        return QDir(qpath(user)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    testing::TempDir dir;
    fs::path temp = dir.file("tmp");
    fs::path user = dir.file("user");
    QString source = qpath(user / "report.pdf");
    WorkingCopies::Places places;
    bool sameFileSystem = true;
    int clones = 0;
};

TEST_F(WorkingCopyTest, CloneOnTheSameFileSystemGoesToTheProcessFolderAndIsRemovedOnClose)
{
    allowClones();
    const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
    ASSERT_TRUE(copy.owned);
    EXPECT_EQ(clones, 1);
    EXPECT_EQ(QFileInfo(copy.path).absolutePath(), WorkingCopies::processFolder(places));
    EXPECT_TRUE(QFileInfo(copy.path).fileName().endsWith(".pdf"));
    EXPECT_EQ(testing::readFile(copy.path.toStdString()), "%PDF-1.4 report");
    EXPECT_EQ(userFolderEntries(), QStringList{"report.pdf"});

    WorkingCopies::remove(copy.path, places);
    EXPECT_FALSE(QFileInfo::exists(copy.path));
    EXPECT_TRUE(QFileInfo(WorkingCopies::processFolder(places)).isDir()) << "the process folder stays";
}

TEST_F(WorkingCopyTest, CloneOnAnotherFileSystemGoesToAHiddenFolderBesideTheFileRemovedWithIt)
{
    allowClones();
    sameFileSystem = false;
    const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
    ASSERT_TRUE(copy.owned);
    EXPECT_EQ(QFileInfo(copy.path).absolutePath(),
              qpath(user) + "/.QuilletWorkingCopies-" + QString::number(::getpid()));
    EXPECT_EQ(testing::readFile(copy.path.toStdString()), "%PDF-1.4 report");

    WorkingCopies::remove(copy.path, places);
    EXPECT_EQ(userFolderEntries(), QStringList{"report.pdf"});
}

TEST_F(WorkingCopyTest, WithoutClonesACopyIsMadeInTheTemporaryFolderAndNothingBesideTheFile)
{
    refuseClones();
    sameFileSystem = false;
    const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
    ASSERT_TRUE(copy.owned);
    EXPECT_EQ(QFileInfo(copy.path).absolutePath(), WorkingCopies::processFolder(places));
    EXPECT_EQ(testing::readFile(copy.path.toStdString()), "%PDF-1.4 report");
    EXPECT_EQ(userFolderEntries(), QStringList{"report.pdf"});
    WorkingCopies::remove(copy.path, places);
    EXPECT_FALSE(QFileInfo::exists(copy.path));
}

TEST_F(WorkingCopyTest, AFileOverTheLimitThatCannotBeClonedIsUsedDirectly)
{
    refuseClones();
    const fs::path link = user / "link.pdf";
    fs::create_symlink(user / "report.pdf", link);
    const WorkingCopy copy = WorkingCopies::make(qpath(link), 4, places);
    EXPECT_FALSE(copy.owned);
    EXPECT_EQ(copy.path, source) << "symbolic links are resolved";
    EXPECT_TRUE(QDir(WorkingCopies::processFolder(places)).isEmpty()) << "no copy was made";

    allowClones();
    EXPECT_TRUE(WorkingCopies::make(source, 4, places).owned) << "a clone has no size limit";
}

TEST_F(WorkingCopyTest, AFailedCopyFallsBackToTheFileItself)
{
    refuseClones();
    places.temporaryFolder = qpath(dir.file("no-such/tmp"));
    testing::writeFile(dir.file("no-such"), "a file where a folder should be");
    const WorkingCopy copy = WorkingCopies::make(source, WorkingCopies::sizeLimit, places);
    EXPECT_FALSE(copy.owned);
    EXPECT_EQ(copy.path, source);
}

TEST_F(WorkingCopyTest, SweepRemovesOnlyFoldersOfDeadProcesses)
{
    const QString root = qpath(temp) + "/QuilletWorkingCopies/";
    const QString dead = QString::number(deadProcessId());
    const QString parent = QString::number(::getppid());
    const QString own = QString::number(::getpid());
    for (const QString& name : {dead, parent, own, QString("12ab"), QString("99999999999")}) {
        QDir().mkpath(root + name);
        testing::writeFile((root + name + "/A.pdf").toStdString(), "x");
    }
    EXPECT_EQ(WorkingCopies::sweepStale(places), 1);
    EXPECT_FALSE(QFileInfo::exists(root + dead));
    for (const QString& name : {parent, own, QString("12ab"), QString("99999999999")}) {
        EXPECT_TRUE(QFileInfo::exists(root + name)) << name.toStdString();
    }

    QDir().mkpath(qpath(user) + "/.QuilletWorkingCopies-" + dead);
    QDir().mkpath(qpath(user) + "/.QuilletWorkingCopies-" + own);
    EXPECT_EQ(WorkingCopies::sweepStaleBeside(qpath(user), places), 1);
    EXPECT_EQ(userFolderEntries(), (QStringList{".QuilletWorkingCopies-" + own, "report.pdf"}));
}

TEST(WorkingCopyNames, OnlySigned32BitDecimalNamesOfDeadProcessesCount)
{
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
