#include "app/document/LoadedPDF.h"

#include <QDir>
#include <cerrno>
#include <regex>

#include "InkDocumentSupport.h"
#include "app/document/DocumentLoaderError.h"
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
