// An opened PDF file: its cross-reference sections indexed into an object
// table, the merged trailer, the security handler of an encrypted file, and
// access to objects by number, reference resolution and the page list.
// Objects are parsed lazily from the mapping; only object streams are
// cached. One reader is used by one thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "core/pdf/FlateError.h"
#include "core/pdf/MappedFile.h"
#include "core/pdf/ObjectStreamCache.h"
#include "core/pdf/PDFParseError.h"
#include "core/pdf/PDFReaderError.h"
#include "core/pdf/PDFSecurityError.h"
#include "core/pdf/PDFValue.h"
#include "core/pdf/ReaderWarnings.h"
#include "core/pdf/SecurityHandler.h"
#include "core/pdf/XRefScan.h"
#include "core/pdf/XRefTable.h"

namespace quillet {

// Why an encrypted file has no working security handler: mostly a
// PDFSecurityError, but reading the /Encrypt dictionary can fail too.
using SecuritySetupError = std::variant<PDFSecurityError, PDFReaderError, PDFParseError, FlateError>;

// A page or page-tree node that its parent's /Kids array holds as a direct
// dictionary instead of a reference. It stands in the page list under the
// object number an update gives it when it makes the kid an object of its own.
struct DirectKid {
    PDFRef ref;
    // The node whose /Kids holds it (an object of the file, or a direct kid too).
    PDFRef parent;
    size_t index = 0;
    // The dictionary as read, its /Parent naming `parent`.
    PDFDictionary dict;
};

class PDFFileReader {
  public:
    // Loads that may be in progress at once (a /Length reference, an object
    // stream, a page node each nest one level).
    static constexpr int kMaxNesting = 24;
    // References one resolve follows before calling it a loop.
    static constexpr int kMaxReferenceHops = 31;
    // Sections read through /Prev; a longer chain is refused. Each section
    // is a distinct offset of the file, so the work stays within its size.
    static constexpr size_t kMaxSections = 1'000'000;
    // How far around a recorded object offset its header is looked for.
    static constexpr int64_t kHeaderSearchSpan = 256;
    // Cross-reference and object streams decoded per open, together: this
    // floor plus this many bytes per byte of the file. Keeps hostile files
    // from making the reader decode the same data over and over.
    static constexpr int64_t kInflationFloor = 512 * 1024 * 1024;
    static constexpr int64_t kInflationPerFileByte = 64;
    // Page-tree nodes one walk may visit.
    static constexpr size_t kMaxPageTreeNodes = 20'000'000;
    // Visits of a node reached before (its pages counted again) one walk
    // makes; further ones are skipped.
    static constexpr size_t kMaxRepeatedPageTreeVisits = 10'000;

    // Opens and indexes the file. password: UTF-8 text, tried before the
    // empty password. Throws FileAccessError, PDFReaderError, PDFParseError
    // or FlateError; encryption problems only set securityError(). Opening
    // and every object read throw FileAccessError (changed) instead when the
    // file shrank while it was read.
    explicit PDFFileReader(const std::filesystem::path& path,
                           const std::optional<std::string>& password = {});
    static std::shared_ptr<PDFFileReader> open(const std::filesystem::path& path,
                                               const std::optional<std::string>& password = {}) {
        return std::make_shared<PDFFileReader>(path, password);
    }

    PDFFileReader(const PDFFileReader&) = delete;
    PDFFileReader& operator=(const PDFFileReader&) = delete;

    const MappedFile& file() const { return *file_; }
    const std::shared_ptr<const MappedFile>& mappedFile() const { return file_; }
    // Merged over all sections, newest first; never holds /Prev or /XRefStm.
    const PDFDictionary& trailer() const { return trailer_; }
    // Offset of the newest section as found, counted from the file's first
    // byte; after a rebuild, of the dictionary the trailer was taken from
    // (0 when the catalog was found by its type).
    int64_t startXref() const { return startXref_; }
    // Where "%PDF-" starts: bytes some producers put before it push it on.
    int64_t headerOffset() const { return headerOffset_; }
    // What the file's own offsets count from: the header when its
    // startxref points at a section only that way, else the first byte.
    // Added to every offset read from the file.
    int64_t offsetOrigin() const { return offsetOrigin_; }
    bool newestSectionIsStream() const { return newestSectionIsStream_; }
    // The greatest /Size of any section, at least the table's length.
    int64_t size() const { return size_; }
    const XRefTable& entries() const { return entries_; }
    const std::shared_ptr<const SecurityHandler>& security() const { return security_; }
    const std::optional<SecuritySetupError>& securityError() const { return securityError_; }
    // The text of securityError, absent when there is none.
    std::optional<std::string> securityErrorText() const;
    const std::optional<PDFRef>& encryptRef() const { return encryptRef_; }
    bool isEncrypted() const { return trailer_.contains("Encrypt"); }

    // The object with this number: absent when the table does not list it.
    // Strings and stream data come decrypted; stream data is still
    // filter-encoded. Throws PDFReaderError, PDFParseError, FlateError.
    std::optional<PDFObject> object(int64_t num);
    // Follows references (a stream stands for its dictionary); a missing
    // object reads as null. Never returns a reference.
    PDFValue resolve(const PDFValue& value);
    // The page objects in document order. A page the tree holds as a direct
    // dictionary is named by its DirectKid number. When the root's /Count is
    // smaller than the pages found, only the first /Count pages are taken:
    // other readers show no more.
    std::vector<PDFRef> pageRefs();
    // The direct kids the page-tree walks have met, in the order met. Their
    // numbers run from the size() of the first walk that met one on, and
    // object() returns their dictionaries.
    const std::vector<DirectKid>& directKids() const { return directKids_; }
    // The first number an update may give a new object: past size() and the
    // numbers of the direct kids.
    int64_t nextFreeNumber() const {
        return directKids_.empty() ? size_ : std::max(size_, directKids_.back().ref.num + 1);
    }
    // The stream's data through its filters, references resolved here.
    Bytes decodeStream(const PDFDictionary& dict, std::string_view data);

    // The repairs made so far to read the file (at the open and by later
    // reads), each naming an offset or object number; at most
    // kMaxReaderWarnings of them and a count of the rest.
    std::vector<std::string> warnings() const { return warnings_.list(); }
    // Each repair as it is made, those made so far at once (see ReaderWarnings).
    void setWarningSink(ReaderWarningSink sink) { warnings_.setSink(std::move(sink)); }
    // A fallback made by code reading through this reader (a page's box, an
    // annotation), noted with the reader's own repairs.
    void warn(ReaderWarning warning) { warnings_.add(std::move(warning)); }
    // Whether the object table was rebuilt by scanning the file because its
    // cross-reference data could not be used.
    bool wasRepaired() const { return repaired_; }

    // The object-stream cache, for inspection.
    const ObjectStreamCache& objectStreams() const { return objectStreams_; }
    // Bytes of cross-reference and object streams decoded since the open.
    int64_t bytesInflated() const { return structureInflated_; }
    // Loads in progress; 0 between calls.
    int nesting() const { return nesting_; }

  private:
    class NestingGuard;
    struct Loaded;

    struct TrailerCandidate;
    struct PageTreeFrame;
    PDFRef adoptDirectKid(const PDFRef& parent, size_t index, const PDFDictionary& dict);

    void openFile(const std::optional<std::string>& password);
    bool catalogReadable();
    void loadSections();
    void readSection(int64_t offset, bool newest, std::vector<int64_t>& pending,
                     std::unordered_set<int64_t>& visited);
    void readXRefStream(int64_t position, PDFDictionary* trailerOut);
    void mergeTrailer(const PDFDictionary& section, bool newest);
    void setUpSecurity(const std::optional<std::string>& password);

    // TableRebuild.cpp
    void rebuildTable(const std::string& reason, const std::optional<std::string>& password);
    void rebuildAfterWrongOffset(int64_t num, int64_t offset);
    XRefScan::Result storeScannedObjects(bool dropCachedStreams);
    bool isWinning(const XRefScan::FoundObject& found) const;
    std::vector<TrailerCandidate> trailerCandidates(const XRefScan::Result& scan);
    void storeObjectStreamEntries(const XRefScan::Result& scan);
    bool isCatalog(const PDFValue& root);
    void findCatalog(const XRefScan::Result& scan, const std::vector<TrailerCandidate>& candidates);

    std::optional<PDFObject> loadInFile(int64_t num, const XRefEntry& entry);
    int64_t findObjectStart(int64_t offset, std::optional<int64_t> expected);
    std::optional<PDFObject> loadAt(int64_t offset, std::optional<int64_t> expected);
    PDFObject loadStream(PDFDictionary dict, int64_t dataStart, int64_t num, int64_t gen,
                         std::optional<int64_t> expected, bool decrypt);
    int64_t streamLength(const PDFDictionary& dict, int64_t dataStart, std::optional<int64_t> expected);
    std::optional<PDFObject> loadFromObjectStream(int64_t num, int64_t stream, int64_t index);
    const ObjectStreamContents& objectStream(int64_t num, int64_t stream);
    Bytes decodeStructure(const PDFStream& stream);

    std::shared_ptr<const MappedFile> file_;
    PDFDictionary trailer_;
    int64_t startXref_ = 0;
    int64_t headerOffset_ = 0;
    int64_t offsetOrigin_ = 0;
    bool newestSectionIsStream_ = false;
    int64_t size_ = 0;
    XRefTable entries_;
    ObjectStreamCache objectStreams_;
    std::unordered_set<int64_t> decodedObjectStreams_;
    int64_t structureInflated_ = 0;
    int nesting_ = 0;
    std::shared_ptr<const SecurityHandler> security_;
    std::optional<SecuritySetupError> securityError_;
    std::optional<PDFRef> encryptRef_;
    ReaderWarnings warnings_;
    bool repaired_ = false;
    std::vector<DirectKid> directKids_;
    // Each direct kid by its parent's number and its place in the /Kids.
    std::map<std::pair<int64_t, size_t>, size_t> directKidIndex_;
    // While the sections are read, a missing object is the sections' fault
    // and rebuilds nothing on its own.
    bool loadingSections_ = false;
    bool sectionFoundBySearch_ = false;
    bool offsetFoundBySearch_ = false;
};

}  // namespace quillet
