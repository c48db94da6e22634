// Reads a page's items from a PDF file through the core reader, the same
// recognition the command-line tool's listing uses (the annotation's
// "QuilletItem" payload). The reader opens the file with the password the
// user unlocked it with on a thread of its own as soon as the source exists
// (on a large file that walk of the page tree is milliseconds a new window
// would otherwise wait for before its first page), and the first read waits
// for it. A file the reader cannot open, an encrypted file without a working
// key, and a page it cannot read all give "unreadable" (never an empty page).
// Used from one thread (the main thread).
#pragma once

#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/document/PageItemSource.h"
#include "core/pdf/PDFFileReader.h"
#include "core/save/PageItemReader.h"

namespace quillet {

class FilePageItemSource final : public PageItemSource {
  public:
    // Receives each repair made to read the file, once: those of the open
    // (the page-tree walk included) when the file is first read, later ones
    // (a damaged annotation, a page's box) as the reads that meet them.
    using WarningSink = ReaderWarningSink;
    // The nice value (added to the process's) of the thread that opens the
    // file in the background.
    static constexpr int openingNiceness = 10;

    // payloadLimit: the item payload bytes decoded per page at most; a page
    // past it is unreadable (tests give a small one).
    FilePageItemSource(std::filesystem::path path, std::optional<std::string> password,
                       WarningSink onWarning = {},
                       size_t payloadLimit = PageItemReader::kMaxPayloadBytesPerPage);
    ~FilePageItemSource() override;

    std::optional<std::vector<StoredAnnotation>> readPage(int pageIndex) override;
    std::string failureText() const override { return failure_; }

    // PDF text strings (UTF-16BE or UTF-8 with their byte-order marks, else
    // PDFDocEncoding) as UTF-8.
    static std::string decodeTextString(const Bytes& bytes);

  private:
    bool open();
    // On the opening thread: everything open() needs but the warnings.
    void openReader();
    std::optional<StoredAnnotation> annotationAt(const PDFValue& entry);

    std::filesystem::path path_;
    std::optional<std::string> password_;
    WarningSink onWarning_;
    size_t payloadLimit_;
    std::shared_ptr<PDFFileReader> reader_;
    // Decodes each annotation once per open, within the per-page bound.
    std::optional<PageItemReader> items_;
    std::vector<PDFRef> pageRefs_;
    bool opened_ = false;
    bool failed_ = false;
    std::string failure_;
    std::future<void> opening_;  // last: waited for before the members go
};

}  // namespace quillet
