#include "cli/AtomicOutput.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/pdf/FileCloner.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using cli::AtomicOutput;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

const std::string kOld = "%PDF-1.7 old version\n";
const std::string kUpdate = "appended update\n";

// What a write-family subcommand does: the writer clones IN to the
// destination and appends its update.
void writeUpdate(const fs::path& in, const AtomicOutput& output) {
    ASSERT_FALSE(fs::exists(output.destination()) && fs::equivalent(in, output.destination()))
        << "the writer must never get IN as its destination";
    FileCloner::clone(in, output.destination());
    FileCloner::appendDurably(kUpdate, output.destination());
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicOutput, AnotherOutputFileIsWrittenInPlace) {
    TempDir dir;
    writeFile(dir.file("in.pdf"), kOld);
    AtomicOutput output(dir.file("in.pdf"), dir.file("out.pdf"));
    EXPECT_FALSE(output.replacesInput());
    EXPECT_EQ(output.destination(), dir.file("out.pdf"));
    writeUpdate(dir.file("in.pdf"), output);
    output.commit();
    EXPECT_EQ(readFile(dir.file("out.pdf")), kOld + kUpdate);
    EXPECT_EQ(readFile(dir.file("in.pdf")), kOld);
}

TEST(AtomicOutput, SameFileIsReplacedWholeOnlyOnCommit) {
    TempDir dir;
    const fs::path in = dir.file("doc.pdf");
    writeFile(in, kOld);
    ASSERT_EQ(chmod(in.c_str(), 0640), 0);
    {
        AtomicOutput output(in, in);
        EXPECT_TRUE(output.replacesInput());
        EXPECT_EQ(output.destination().parent_path(), in.parent_path());
        writeUpdate(in, output);
        EXPECT_EQ(readFile(in), kOld) << "IN must stay intact until the new version is complete";
        output.commit();
    }
    EXPECT_EQ(readFile(in), kOld + kUpdate);
    EXPECT_EQ(fs::status(in).permissions(), fs::perms(0640)) << "the replacement keeps the file's mode";
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"doc.pdf"});
}

}  // namespace
}  // namespace quillet
