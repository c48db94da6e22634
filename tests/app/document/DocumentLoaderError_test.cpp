#include "app/document/DocumentLoaderError.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/document/OpenedPDF.h"
#include "support/QtTestSupport.h"

namespace quillet {
namespace {

using testing::qpath;

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

}  // namespace
}  // namespace quillet
