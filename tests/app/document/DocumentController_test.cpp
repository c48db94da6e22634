#include "app/document/DocumentController.h"

#include <QDir>

#include "InkDocumentSupport.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::qpath;

class ControllerTest : public testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        testing::writeFile(dir.file("other.pdf"), testing::simpleDocument(2));
        std::filesystem::create_symlink(file, dir.file("link.pdf"));
        store = testing::settingsIn(dir.file("store.ini"));
        controller = std::make_unique<DocumentController>(*store, [this] { return services(); });
    }

    std::unique_ptr<QSettings> store;
    std::unique_ptr<DocumentController> controller;
};

TEST_F(ControllerTest, OneDocumentPerFileAndRecentFilesMostRecentFirst) {
    InkDocument* report = controller->open(qpath(file));
    EXPECT_EQ(controller->open(qpath(dir.file("link.pdf"))), report) << "another name of the same file";
    InkDocument* other = controller->open(qpath(dir.file("other.pdf")));
    EXPECT_NE(other, report);
    EXPECT_EQ(controller->documents().size(), 2u);
    EXPECT_EQ(controller->recentFiles(), (QStringList{other->filePath(), report->filePath()}));
    EXPECT_EQ(controller->openPanelFolder(report), QFileInfo(report->filePath()).absolutePath());

    controller->clearRecentFiles();
    EXPECT_TRUE(controller->recentFiles().isEmpty());
    EXPECT_EQ(controller->openPanelFolder(nullptr), QDir::homePath());

    // Save As makes the new file the most recent and the document answers to it.
    writeAtOnce = true;
    realSaves = true;
    report->saveAs(qpath(dir.file("renamed.pdf")));
    EXPECT_EQ(controller->recentFiles(), QStringList{report->filePath()});
    EXPECT_EQ(controller->documentFor(qpath(dir.file("renamed.pdf"))), report);

    controller->close(report);
    EXPECT_EQ(controller->documents(), std::vector<InkDocument*>{other});
    EXPECT_NE(controller->open(qpath(dir.file("renamed.pdf"))), nullptr);
}

TEST_F(ControllerTest, QuitStopsAtTheFirstDocumentWhoseSaveFails) {
    InkDocument* report = controller->open(qpath(file));
    InkDocument* other = controller->open(qpath(dir.file("other.pdf")));
    draw(*other, 1);
    failSaves = true;
    writeAtOnce = true;
    std::optional<std::pair<InkDocument*, QString>> outcome;
    controller->prepareToQuit([&](InkDocument* failed, const QString& reason) {
        outcome = {failed, reason};
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->first, other);
    EXPECT_EQ(outcome->second, "The file could not be written.");

    failSaves = false;
    outcome.reset();
    controller->prepareToQuit([&](InkDocument* failed, const QString& reason) {
        outcome = {failed, reason};
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->first, nullptr);
    EXPECT_FALSE(report->isEdited());
    EXPECT_FALSE(other->isEdited());
}

}  // namespace
}  // namespace quillet
