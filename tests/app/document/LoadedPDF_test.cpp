// Opening a file: why one cannot be opened, the private working copy it is
// read from, and damaged files repaired for display in that copy only.
#include "app/document/LoadedPDF.h"

#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <regex>

#include "InkDocumentSupport.h"
#include "app/document/DocumentLoaderError.h"
#include "app/document/OpenedPDF.h"
#include "app/document/WorkingCopy.h"
#include "cli/QuilletProcess.h"
#include "core/pdf/PDFFileReader.h"
#include "support/DamagedFiles.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Damage;
using testing::DocumentTest;
using testing::inkItem;
using testing::qpath;
using testing::readFile;
using testing::TempDir;

// What the alert says under its "The document could not be opened".
QString explanationOpening(const QString& path) {
    try {
        OpenedPDF::open(path);
    } catch (const DocumentLoaderError& error) {
        EXPECT_EQ(error.localizedText(Language::en), "The document could not be opened");
        return error.localizedExplanation(Language::en);
    }
    return "opened";
}

TEST(OpenErrors, SayWhatHappenedToTheFile) {
    testing::testApplication();
    testing::TempDir dir;
    testing::writeFile(dir.file("garbage.pdf"), "not a pdf at all");
    std::filesystem::create_directories(dir.file("folder.pdf"));
    EXPECT_EQ(explanationOpening(qpath(dir.file("missing.pdf"))), "The file does not exist.");
    EXPECT_EQ(explanationOpening(qpath(dir.file("folder.pdf"))), "This is a folder, not a file.");
    EXPECT_EQ(explanationOpening(qpath(dir.file("garbage.pdf"))), "The file is damaged or is not a PDF.");

    EXPECT_EQ(DocumentLoaderError::inaccessible(EACCES).localizedExplanation(Language::ru),
              "Нет прав на чтение файла.");
    if (::geteuid() != 0) {  // root reads everything
        testing::writeFile(dir.file("locked.pdf"), "%PDF-1.4");
        ::chmod(dir.file("locked.pdf").c_str(), 0);
        EXPECT_EQ(explanationOpening(qpath(dir.file("locked.pdf"))),
                  "You don’t have permission to read the file.");
    }
    EXPECT_EQ(DocumentLoaderError::inaccessible(EIO).localizedExplanation(Language::en),
              QString::fromLocal8Bit(std::strerror(EIO)) + ".");
}

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
    const mode_t previous = ::umask(0);  // the folders' modes must not rely on the umask
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
    ::umask(previous);
    EXPECT_TRUE(QFileInfo(WorkingCopies::processFolder(places)).isDir()) << "the process folder stays";
    // The user and process folders are made for the user alone.
    for (const QString& folder : {perUserFolder(::geteuid()), WorkingCopies::processFolder(places)}) {
        struct stat status {};
        ASSERT_EQ(::lstat(folder.toLocal8Bit().constData(), &status), 0) << folder.toStdString();
        EXPECT_TRUE(S_ISDIR(status.st_mode)) << folder.toStdString();
        EXPECT_EQ(status.st_mode & 07777, 0700u) << folder.toStdString();
    }
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

// With the per-user or per-process folder made unsafe, the copy still goes
// to a folder only this user may enter, the reason is logged, and nothing
// reaches the folder a planted link points to.
TEST_F(WorkingCopyTest, AnUnsafeFolderInTheTemporaryFolderIsLeftAloneForAFreshPrivateOne) {
    refuseClones();
    const QString own = perUserFolder(::geteuid());
    const fs::path elsewhere = dir.file("elsewhere");
    struct Case {
        const char* name;
        std::function<void()> plant;
        const char* logged;
        bool needsRoot = false;  // to give a folder to another user
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
        {"per-user folder owned by someone else",
         [&] {
             QDir().mkpath(own);
             ::chmod(own.toLocal8Bit().constData(), 0700);
             ASSERT_EQ(::chown(own.toLocal8Bit().constData(), 65534, 65534), 0);
         },
         "it belongs to user 65534", true},
    };
    for (const Case& c : cases) {
        if (c.needsRoot && ::geteuid() != 0) continue;
        SCOPED_TRACE(c.name);
        fs::remove_all(temp);
        fs::create_directories(temp);
        fs::create_directories(elsewhere);
        c.plant();
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
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;

        WorkingCopies::remove(copy.path, places);
        EXPECT_FALSE(QFileInfo::exists(folder)) << "the fresh folder goes with its copy";
    }
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

    // A link planted at the per-user folder is not followed.
    const fs::path elsewhere = dir.file("elsewhere");
    fs::create_directories(elsewhere / dead.toStdString());
    fs::remove_all(perUserFolder(::geteuid()).toStdString());
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

const QString repairedText = QStringLiteral("This file was damaged and has been repaired for display");

bool displayEngineOpens(const fs::path& file) {
    try {
        openPDFDocument(qpath(file));
        return true;
    } catch (const PDFEngineError&) {
        return false;
    }
}

// The matrix's file of this name, written to `file`.
std::string writeDamaged(const TempDir& dir, const std::string& name, const fs::path& file) {
    for (const Damage& damage : testing::damagedFiles()) {
        if (damage.name == name) {
            const std::string bytes = damage.make(dir);
            testing::writeFile(file, bytes);
            return bytes;
        }
    }
    ADD_FAILURE() << "no damaged file " << name;
    return {};
}

class LoadedPDFTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::testApplication();
        fs::create_directories(dir.file("tmp"));
        places.temporaryFolder = qpath(dir.file("tmp"));
        places.processId = ::getpid();
        places.sameFileSystem = [](const std::string&, const std::string&) { return true; };
    }

    // Opening fails as for any file that is not a PDF.
    void expectRefused() {
        try {
            LoadedPDF::open(qpath(file), places);
            ADD_FAILURE() << "opened";
        } catch (const DocumentLoaderError& error) {
            EXPECT_EQ(error.code(), DocumentLoaderError::Code::unreadable);
        }
    }

    // The files left in the working-copy folders.
    QStringList workingCopies() const {
        return QDir(WorkingCopies::processFolder(places)).entryList(QDir::Files | QDir::Hidden);
    }

    TempDir dir;
    fs::path file = dir.file("in.pdf");
    WorkingCopies::Places places;
};

class DamagedFileOpening : public LoadedPDFTest, public ::testing::WithParamInterface<Damage> {};

// Each damaged file the core reader opens opens for display: as it is when
// the display engine takes it, else from the file followed by the rebuilt
// table, which reads without repair and with the core reader's pages. The
// user's file is never written.
TEST_P(DamagedFileOpening, EveryFileTheCoreReaderOpensOpensForDisplay) {
    if (!testing::qpdfAvailable()) {
        GTEST_SKIP() << "qpdf not installed";
    }
    const std::string damaged = GetParam().make(dir);
    testing::writeFile(file, damaged);
    size_t corePages = 0;
    try {
        corePages = PDFFileReader(file).pageRefs().size();
    } catch (const std::exception& error) {
        GTEST_SKIP() << "the core reader does not open it: " << error.what();
    }
    const bool opensAsItIs = displayEngineOpens(file);

    LoadedPDF loaded;
    ASSERT_NO_THROW(loaded = LoadedPDF::open(qpath(file), places));
    EXPECT_EQ(loaded.repaired, !opensAsItIs);
    EXPECT_GT(loaded.pdf->pageCount(), 0);
    EXPECT_EQ(readFile(file), damaged);
    if (loaded.repaired) {
        EXPECT_TRUE(loaded.ownsWorkingCopy);
        EXPECT_EQ(loaded.pdf->pageCount(), static_cast<int>(corePages));
        const std::string copy = readFile(loaded.workingCopy.toStdString());
        EXPECT_TRUE(copy.starts_with(damaged)) << "the original bytes stay a prefix";
        EXPECT_FALSE(PDFFileReader(loaded.workingCopy.toStdString()).wasRepaired());
    }
    loaded.pdf.reset();
    if (loaded.ownsWorkingCopy) {
        WorkingCopies::remove(loaded.workingCopy, places);
    }
    EXPECT_EQ(workingCopies(), QStringList()) << "nothing but the working copy was made";
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedFileOpening, ::testing::ValuesIn(testing::damagedFiles()),
                         [](const auto& info) { return info.param.name; });

// A file cut before its table whose working copy cannot be made is repaired
// in a copy made for it; when no copy at all can be made it is refused, and
// never repaired in place.
TEST_F(LoadedPDFTest, ADamagedFileIsRepairedOnlyInAPrivateCopy) {
    const struct {
        int failedCopies;
        bool opens;
    } cases[] = {{0, true}, {1, true}, {2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failedCopies);
        const std::string damaged = writeDamaged(dir, "CutInTable0", file);
        int failures = c.failedCopies;
        places.calls = FileClonerCalls::system();
        places.calls.reflink = [](int, int) { return (errno = EOPNOTSUPP, -1); };
        places.calls.copyRange = [](int, off_t*, int, off_t*, size_t) -> ssize_t {
            return (errno = ENOSYS, -1);
        };
        const auto write = places.calls.write;
        places.calls.write = [&failures, write](int fd, const void* data, size_t size) -> ssize_t {
            if (failures > 0) {
                --failures;
                return (errno = EIO, -1);
            }
            return write(fd, data, size);
        };
        if (c.opens) {
            const LoadedPDF loaded = LoadedPDF::open(qpath(file), places);
            EXPECT_TRUE(loaded.repaired);
            EXPECT_TRUE(loaded.ownsWorkingCopy);
            EXPECT_NE(loaded.workingCopy, qpath(file));
            WorkingCopies::remove(loaded.workingCopy, places);
        } else {
            expectRefused();
        }
        EXPECT_EQ(readFile(file), damaged);
        EXPECT_EQ(workingCopies(), QStringList());
    }
}

// Without its password the core reader cannot rebuild an encrypted file's
// table readably: the file is refused as before, and left as it was.
TEST_F(LoadedPDFTest, ADamagedFileEncryptedWithAPasswordIsRefusedUntouched) {
    if (!testing::qpdfAvailable()) {
        GTEST_SKIP() << "qpdf not installed";
    }
    testing::writeFile(dir.file("plain.pdf"), testing::simpleDocument(2));
    ASSERT_EQ(testing::runQpdf({"--object-streams=generate", "--encrypt", "secret", "owner", "256", "--",
                                dir.file("plain.pdf").string(), dir.file("locked.pdf").string()})
                  .status,
              0);
    const std::string locked = readFile(dir.file("locked.pdf"));
    // Its cross-reference stream, which names /Encrypt, found three bytes off.
    const size_t keyword = locked.rfind("startxref");
    const std::string damaged = locked.substr(0, keyword) + "startxref\n" +
                                std::to_string(std::stoll(locked.substr(keyword + 10)) + 3) + "\n%%EOF\n";
    testing::writeFile(file, damaged);
    ASSERT_FALSE(displayEngineOpens(file));

    expectRefused();
    EXPECT_EQ(readFile(file), damaged);
    EXPECT_EQ(workingCopies(), QStringList());
}

// What qpdf says when it had to rebuild a file's cross-reference data.
const std::regex reconstruction("reconstruct|damaged|xref|cross-reference", std::regex::icase);

class RepairedDocumentTest : public DocumentTest {};

TEST_F(RepairedDocumentTest, TheNoticeSaysARepairedFileWasRepairedAndNothingForASoundOne) {
    const struct {
        const char* damage;  // none: the sound fixture
        std::optional<QString> notice;
    } cases[] = {
        {nullptr, std::nullopt},
        {"CutInTable0", repairedText},
        {"ObjectStreamsCutXRefStream", repairedText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage ? c.damage : "sound");
        if (c.damage) {
            writeDamaged(dir, c.damage, file);
        }
        const auto document = open();
        EXPECT_EQ(document->loaded().repaired, c.damage != nullptr);
        EXPECT_EQ(document->notice(), c.notice);
    }
}

// A stroke saved into a file shown repaired: the file becomes the original
// bytes, the rebuilt table and the stroke's update, and opens everywhere
// without repair.
TEST_F(RepairedDocumentTest, AStrokeSavedIntoAFileCutBeforeItsTableReadsBackEverywhere) {
    for (const char* tool : {"qpdf", "pdftoppm"}) {
        if (testing::runCommand({tool, "--version"}).status < 0) {
            GTEST_SKIP() << tool << " not installed";
        }
    }
    const std::string damaged = writeDamaged(dir, "CutInTable0", file);
    realSaves = true;
    writeAtOnce = true;
    auto document = open();
    ASSERT_TRUE(document->loaded().repaired);
    draw(*document, 1);
    clock.advance(1500ms);
    ASSERT_FALSE(document->lastSaveError()) << document->lastSaveError()->toStdString();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].source, document->loaded().workingCopy.toStdString())
        << "the save starts from the copy";
    EXPECT_EQ(document->lastSaveMethod(), SaveOutcome::Method::incremental);
    document.reset();

    const std::string saved = readFile(file);
    EXPECT_TRUE(saved.starts_with(damaged)) << "the original bytes stay a prefix";
    const nlohmann::json listing = testing::quilletJSON({"list", file.string()});
    ASSERT_TRUE(listing.is_object());
    ASSERT_EQ(listing["pages"]["0"].size(), 1u);
    EXPECT_EQ(listing["pages"]["0"][0]["id"], inkItem(1, {}).id.text());
    EXPECT_EQ(testing::quilletJSON({"info", file.string()})["repaired"], false);
    const testing::CommandResult checked = testing::runQpdf({"--check", file.string()});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    EXPECT_FALSE(std::regex_search(checked.out + checked.err, reconstruction)) << checked.out << checked.err;
    const testing::CommandResult drawn =
        testing::runCommand({"pdftoppm", "-r", "18", "-f", "1", "-l", "1", file.string()});
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_TRUE(drawn.out.starts_with("P6")) << "pdftoppm draws the page";
}

}  // namespace
}  // namespace quillet
