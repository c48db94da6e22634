#include "core/pdf/PDFFileReader.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "core/pdf/FileAccessError.h"
#include "core/pdf/PDFLexer.h"
#include "core/pdf/StreamDecoder.h"
#include "core/pdf/XRefSection.h"

namespace quillet {

namespace {

// Keys that describe a section's own encoding, not the document.
constexpr std::string_view kSectionOnlyKeys[] = {"Type",        "W",      "Index", "Filter",
                                                 "DecodeParms", "Length", "Prev",  "XRefStm"};

bool isSectionOnlyKey(std::string_view key) {
    return std::find(std::begin(kSectionOnlyKeys), std::end(kSectionOnlyKeys), key) !=
           std::end(kSectionOnlyKeys);
}

// An offset value from a section dictionary that is worth following.
std::optional<int64_t> offsetIn(const PDFDictionary& dict, std::string_view key, int64_t origin,
                                int64_t fileSize) {
    const PDFValue* v = dict.find(key);
    std::optional<int64_t> offset = v ? v->intValue() : std::nullopt;
    if (!offset || *offset < 0 || *offset >= fileSize - origin) return std::nullopt;
    return *offset + origin;
}

}  // namespace

namespace {

// Runs a read of the mapping. When the file shrank meanwhile, what was read
// past its new end were zeros: whatever came of them, the error is that the
// file changed.
template <typename Read>
auto readIntact(const MappedFile& file, Read read) -> decltype(read()) {
    try {
        auto result = read();
        file.checkIntact();
        return result;
    } catch (const FileAccessError&) {
        throw;
    } catch (...) {
        file.checkIntact();
        throw;
    }
}

}  // namespace

PDFFileReader::PDFFileReader(const std::filesystem::path& path, const std::optional<std::string>& password)
    : file_(MappedFile::open(path)) {
    readIntact(*file_, [&] {
        openFile(password);
        return 0;
    });
}

void PDFFileReader::openFile(const std::optional<std::string>& password) {
    std::optional<std::string> unusable;
    try {
        loadingSections_ = true;
        loadSections();
        loadingSections_ = false;
        // Offsets that led elsewhere for a section do so for its objects too.
        if (sectionFoundBySearch_) unusable = "cross-reference section not at its recorded offset";
        if (trailer_.contains("Encrypt")) setUpSecurity(password);
        if (!unusable && !catalogReadable()) unusable = "no catalog at /Root";
    } catch (const PDFReaderError& e) {
        unusable = e.text();
    } catch (const PDFParseError& e) {
        unusable = e.text();
    } catch (const FlateError& e) {
        unusable = e.text();
    }
    loadingSections_ = false;
    // The chain's partial results are dropped: the scan sees every object.
    if (unusable) rebuildTable(*unusable, password);
}

// One object read on the good path: a /Root that leads nowhere means the
// chain is wrong (or was cut) even when every section parsed.
bool PDFFileReader::catalogReadable() {
    // A locked file's catalog may sit in an object stream it cannot decode.
    if (isEncrypted() && !security_) return true;
    return isCatalog(*trailer_.find("Root"));
}

std::optional<std::string> PDFFileReader::securityErrorText() const {
    if (!securityError_) return std::nullopt;
    return std::visit([](const auto& e) { return e.text(); }, *securityError_);
}

// ---- sections ---------------------------------------------------------------

void PDFFileReader::loadSections() {
    const std::string_view bytes = file_->bytes();
    startXref_ = XRefSection::findStartXref(bytes);
    headerOffset_ = XRefSection::findHeader(bytes);
    if (headerOffset_ > 0 && !XRefSection::sectionStartsAt(bytes, startXref_) &&
        XRefSection::sectionStartsAt(bytes, startXref_ + headerOffset_))
        offsetOrigin_ = headerOffset_;
    std::vector<int64_t> pending{startXref_ + offsetOrigin_};
    // Keyed on the offsets followed and, for /XRefStm, on where the stream
    // was found: many offsets can lead to one stream.
    std::unordered_set<int64_t> visited;
    bool newest = true;
    size_t sections = 0;
    while (!pending.empty()) {
        int64_t offset = pending.back();
        pending.pop_back();
        // A Prev chain that loops back ends here.
        if (!visited.insert(offset).second) {
            warnings_.add("cross-reference chain loops back to " + std::to_string(offset) + ", rest ignored");
            continue;
        }
        if (++sections > kMaxSections)
            throw PDFReaderError::badXref("more than " + std::to_string(kMaxSections) + " sections");
        readSection(offset, newest, pending, visited);
        newest = false;
    }
    if (!trailer_.contains("Root")) throw PDFReaderError::missingRoot();
    size_ = std::max(size_, entries_.size());
    if (size_ >= XRefTable::kMaxObjects)
        throw PDFReaderError::badXref("too many objects (" + std::to_string(size_) + ")");
}

void PDFFileReader::readSection(int64_t offset, bool newest, std::vector<int64_t>& pending,
                                std::unordered_set<int64_t>& visited) {
    const std::string_view bytes = file_->bytes();
    XRefSection::Location location = XRefSection::locate(bytes, offset);
    sectionFoundBySearch_ = sectionFoundBySearch_ || location.searched;
    if (location.searched)
        warnings_.add("cross-reference section expected at " + std::to_string(offset) + " found at " +
                      std::to_string(location.position));
    if (newest) {
        newestSectionIsStream_ = location.isStream;
        startXref_ = location.position;
    }
    PDFDictionary dict;
    if (location.isStream) {
        readXRefStream(location.position, &dict);
    } else {
        std::vector<int64_t> freed;
        dict = XRefSection::readTable(bytes, location.position, entries_, &freed, &warnings_);
        // A hybrid file lists its compressed objects in a stream the table
        // points to (as free in the table); the table's own entries were
        // stored first and win.
        std::optional<int64_t> stm = offsetIn(dict, "XRefStm", offsetOrigin_, file_->count());
        if (stm) {
            XRefSection::Location streamLocation = XRefSection::locate(bytes, *stm);
            if (!streamLocation.isStream)
                warnings_.add("/XRefStm " + std::to_string(*stm) + " of the table at " +
                              std::to_string(location.position) + " is not a stream, ignored");
            else if (visited.insert(-1 - streamLocation.position).second)
                readXRefStream(streamLocation.position, nullptr);
        } else if (dict.contains("XRefStm")) {
            warnings_.add("/XRefStm of the table at " + std::to_string(location.position) +
                          " is outside the file, ignored");
        }
        // A number this section frees hides its older definitions.
        for (int64_t num : freed) entries_.store(num, XRefEntry::deleted());
    }
    mergeTrailer(dict, newest);
    if (std::optional<int64_t> prev = offsetIn(dict, "Prev", offsetOrigin_, file_->count()))
        pending.push_back(*prev);
    else if (dict.contains("Prev"))
        warnings_.add("/Prev of the section at " + std::to_string(location.position) +
                      " is outside the file, ignored");
}

void PDFFileReader::readXRefStream(int64_t position, PDFDictionary* trailerOut) {
    std::optional<PDFObject> loaded = loadAt(position, std::nullopt);
    const PDFStream* stream = loaded ? loaded->stream() : nullptr;
    if (!stream)
        throw PDFReaderError::badXref("xref stream at " + std::to_string(position) + " is not a stream");
    std::array<int, 3> widths = XRefSection::streamWidths(stream->dict);
    Bytes decoded = decodeStructure(*stream);
    XRefSection::readStreamRows(stream->dict, widths, decoded, entries_);
    if (trailerOut) *trailerOut = stream->dict;
}

void PDFFileReader::mergeTrailer(const PDFDictionary& section, bool newest) {
    for (const auto& [key, value] : section.entries()) {
        if (isSectionOnlyKey(key)) continue;
        if (newest || !trailer_.contains(key)) trailer_.set(key, value);
    }
    if (const PDFValue* size = section.find("Size"); size && size->intValue())
        size_ = std::max(size_, *size->intValue());
}

// ---- security ---------------------------------------------------------------

namespace {

// The security handler wants direct values; writers may store the crypt
// filters, or their entries, as indirect objects.
PDFDictionary directEntries(const PDFDictionary& dict,
                            const std::function<PDFValue(const PDFValue&)>& resolve) {
    PDFDictionary out;
    for (const auto& [key, value] : dict.entries()) out.set(key, resolve(value));
    return out;
}

}  // namespace

void PDFFileReader::setUpSecurity(const std::optional<std::string>& password) {
    const PDFValue* encrypt = trailer_.find("Encrypt");
    encryptRef_ = encrypt->refValue();
    try {
        auto resolver = [this](const PDFValue& v) { return resolve(v); };
        PDFValue resolved = resolve(*encrypt);
        const PDFDictionary* found = resolved.dictValue();
        if (!found) {
            securityError_ = PDFSecurityError::unsupported("no /Encrypt dictionary");
            return;
        }
        PDFDictionary dict = directEntries(*found, resolver);
        if (const PDFDictionary* filters = dict.find("CF") ? dict.find("CF")->dictValue() : nullptr) {
            PDFDictionary direct;
            for (const auto& [name, filter] : filters->entries()) {
                const PDFDictionary* f = filter.dictValue();
                direct.set(name, f ? PDFValue::dict(directEntries(*f, resolver)) : filter);
            }
            dict.set("CF", PDFValue::dict(std::move(direct)));
        }
        Bytes firstID;
        const PDFValue* ids = trailer_.find("ID");
        const PDFArray* idArray = ids ? ids->arrayValue() : nullptr;
        if (idArray && !idArray->empty() && idArray->front().stringBytes())
            firstID = *idArray->front().stringBytes();
        security_ = std::make_shared<const SecurityHandler>(dict, firstID, password);
    } catch (const PDFSecurityError& e) {
        securityError_ = e;
    } catch (const PDFReaderError& e) {
        securityError_ = e;
    } catch (const PDFParseError& e) {
        securityError_ = e;
    } catch (const FlateError& e) {
        securityError_ = e;
    }
}

// ---- objects ----------------------------------------------------------------

class PDFFileReader::NestingGuard {
  public:
    explicit NestingGuard(int& nesting) : nesting_(nesting) {
        if (nesting_ >= kMaxNesting) throw PDFReaderError::badObject("references nested too deeply");
        ++nesting_;
    }
    ~NestingGuard() { --nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

  private:
    int& nesting_;
};

std::optional<PDFObject> PDFFileReader::object(int64_t num) {
    if (!directKids_.empty() && num >= directKids_.front().ref.num) {
        const auto k = static_cast<size_t>(num - directKids_.front().ref.num);
        if (k < directKids_.size()) return PDFObject(PDFValue::dict(directKids_[k].dict));
    }
    if (num < 0 || num >= entries_.size()) return std::nullopt;
    NestingGuard guard(nesting_);
    XRefEntry entry = entries_.entry(num);
    switch (entry.kind) {
        case XRefEntry::Kind::none:
        case XRefEntry::Kind::free:
            return std::nullopt;
        case XRefEntry::Kind::inFile:
            return readIntact(*file_, [&] { return loadInFile(num, entry); });
        case XRefEntry::Kind::inObjectStream:
            return readIntact(*file_, [&] { return loadFromObjectStream(num, entry.location, entry.index); });
    }
    return std::nullopt;
}

std::optional<PDFObject> PDFFileReader::loadInFile(int64_t num, const XRefEntry& entry) {
    const int64_t offset = entry.location + offsetOrigin_;
    if (repaired_ || loadingSections_) return loadAt(offset, num);
    std::optional<PDFObject> loaded;
    try {
        if (offset >= 0 && offset < file_->count()) loaded = loadAt(offset, num);
    } catch (const PDFReaderError& e) {
        const bool missing =
            e.code() == PDFReaderError::Code::badObject &&
            e.detail() == "no object " + std::to_string(num) + " at " + std::to_string(offset);
        if (repaired_ || !missing) throw;
    }
    // A nested load may have rebuilt the table meanwhile.
    if (repaired_ || (loaded && !offsetFoundBySearch_)) return loaded;
    // The offset leads elsewhere: the table is wrong, and so probably for
    // more objects than this one. Rebuilt, it gives every object's exact
    // offset, which an update that lists every object needs.
    rebuildAfterWrongOffset(num, offset);
    return loaded ? loaded : object(num);
}

PDFValue PDFFileReader::resolve(const PDFValue& value) {
    PDFValue current = value;
    for (int hop = 0; hop < kMaxReferenceHops; ++hop) {
        std::optional<PDFRef> ref = current.refValue();
        if (!ref) return current;
        std::optional<PDFObject> loaded = object(ref->num);
        if (!loaded) return PDFValue::null();
        current = loaded->isStream() ? PDFValue::dict(loaded->stream()->dict) : *loaded->value();
    }
    if (current.refValue()) throw PDFReaderError::badObject("reference loop");
    return current;
}

Bytes PDFFileReader::decodeStructure(const PDFStream& stream) {
    const int64_t budget = kInflationFloor + kInflationPerFileByte * file_->count();
    if (structureInflated_ > budget)
        throw PDFReaderError::badObject("more than " + std::to_string(budget) +
                                        " bytes of cross-reference and object streams decoded");
    Bytes decoded = decodeStream(stream.dict, stream.data);
    structureInflated_ += static_cast<int64_t>(decoded.size());
    return decoded;
}

Bytes PDFFileReader::decodeStream(const PDFDictionary& dict, std::string_view data) {
    return quillet::decodeStream(dict, data, [this](const PDFValue& v) { return resolve(v); });
}

int64_t PDFFileReader::findObjectStart(int64_t offset, std::optional<int64_t> expected) {
    const std::string_view bytes = file_->bytes();
    auto headerAt = [&](int64_t pos) {
        auto header = XRefSection::readObjectHeader(bytes, pos);
        return header && (!expected || header->num == *expected);
    };
    if (headerAt(offset)) return offset;
    if (!expected) throw PDFReaderError::badObject("no object ? at " + std::to_string(offset));

    // The recorded offset is a little off: take the nearest "E G obj"
    // header around it, the earlier one when two are equally near.
    const char firstDigit = std::to_string(*expected).front();
    const int64_t low = std::max<int64_t>(offset - kHeaderSearchSpan, 0);
    const int64_t high = std::min(offset + kHeaderSearchSpan, file_->count());
    auto candidate = [&](int64_t pos) {
        if (pos < low || pos >= high || bytes[static_cast<size_t>(pos)] != firstDigit) return false;
        auto before = pos == 0 ? 0 : static_cast<unsigned char>(bytes[static_cast<size_t>(pos - 1)]);
        if (pos > 0 && !PDFLexer::isWhitespace(before) && !PDFLexer::isDelimiter(before)) return false;
        return headerAt(pos);
    };
    auto found = [&](int64_t at) {
        offsetFoundBySearch_ = true;
        warnings_.add("object " + std::to_string(*expected) + " found at " + std::to_string(at) +
                      ", not at " + std::to_string(offset));
        return at;
    };
    for (int64_t distance = 0; distance <= kHeaderSearchSpan; ++distance) {
        if (candidate(offset - distance)) return found(offset - distance);
        if (distance > 0 && candidate(offset + distance)) return found(offset + distance);
    }
    throw PDFReaderError::badObject("no object " + std::to_string(*expected) + " at " +
                                    std::to_string(offset));
}

std::optional<PDFObject> PDFFileReader::loadAt(int64_t offset, std::optional<int64_t> expected) {
    if (offset < 0 || offset >= file_->count()) return std::nullopt;
    const int64_t start = findObjectStart(offset, expected);
    const std::string_view bytes = file_->bytes();
    // findObjectStart has just matched this header.
    XRefSection::ObjectHeader header = *XRefSection::readObjectHeader(bytes, start);
    PDFLexer lexer(bytes, header.end);
    lexer.warnings = &warnings_;
    PDFValue value = lexer.parseValue(0);

    // The encryption dictionary is stored in the clear.
    const bool decrypt = security_ && encryptRef_ != PDFRef{header.num, header.gen};
    if (decrypt) value = security_->cryptValue(value, header.num, header.gen, false);

    lexer.skipWhitespace();
    const PDFDictionary* dict = value.dictValue();
    if (!dict || !lexer.matches("stream", lexer.pos)) return PDFObject(std::move(value));
    int64_t dataStart = lexer.pos + 6;
    if (lexer.peek(6) == '\n') {
        dataStart += 1;
    } else if (lexer.peek(6) == '\r') {
        dataStart += lexer.peek(7) == '\n' ? 2 : 1;
    }
    return loadStream(*dict, dataStart, header.num, header.gen, expected, decrypt);
}

int64_t PDFFileReader::streamLength(const PDFDictionary& dict, int64_t dataStart,
                                    std::optional<int64_t> expected) {
    const std::string_view bytes = file_->bytes();
    const int64_t fileSize = file_->count();
    std::optional<int64_t> length;
    if (const PDFValue* declared = dict.find("Length")) {
        std::optional<PDFRef> ref = declared->refValue();
        // A stream whose length refers to itself cannot be measured that way.
        if (!ref || !expected || ref->num != *expected) length = resolve(*declared).intValue();
    }
    if (length && *length >= 0 && *length <= fileSize - dataStart) {
        PDFLexer after(bytes, dataStart + *length);
        after.skipWhitespace();
        if (after.matches("endstream", after.pos)) return *length;
    }

    // No usable length: the data runs up to the first "endstream", less the
    // end-of-line before it.
    warnings_.add("stream at " + std::to_string(dataStart) + ": " + (length ? "wrong" : "no") +
                  " /Length, data taken up to endstream");
    if (dataStart > fileSize) throw PDFReaderError::badObject("stream outside the file");
    if (dataStart == fileSize) throw PDFReaderError::badObject("stream without data");
    const char* from = bytes.data() + dataStart;
    const void* found = memmem(from, static_cast<size_t>(fileSize - dataStart), "endstream", 9);
    if (!found) throw PDFReaderError::badObject("endstream not found");
    int64_t scanned = static_cast<const char*>(found) - from;
    if (scanned > 0 && from[scanned - 1] == '\n') --scanned;
    if (scanned > 0 && from[scanned - 1] == '\r') --scanned;
    return scanned;
}

namespace {

bool filterIncludesCrypt(const PDFDictionary& dict) {
    const PDFValue* filter = dict.find("Filter");
    if (!filter) return false;
    if (filter->isName("Crypt")) return true;
    const PDFArray* filters = filter->arrayValue();
    return filters &&
           std::any_of(filters->begin(), filters->end(), [](const PDFValue& f) { return f.isName("Crypt"); });
}

}  // namespace

PDFObject PDFFileReader::loadStream(PDFDictionary dict, int64_t dataStart, int64_t num, int64_t gen,
                                    std::optional<int64_t> expected, bool decrypt) {
    int64_t length = streamLength(dict, dataStart, expected);
    if (length > file_->count() - dataStart) throw PDFReaderError::badObject("stream outside the file");
    Bytes data(file_->bytes().substr(static_cast<size_t>(dataStart), static_cast<size_t>(length)));

    // Cross-reference streams are never encrypted, a Crypt filter brings its
    // own method, and with /EncryptMetadata false the metadata stays clear.
    const PDFValue* type = dict.find("Type");
    const bool clearMetadata = decrypt && type && type->isName("Metadata") && !security_->encryptMetadata();
    if (decrypt && !(type && type->isName("XRef")) && !filterIncludesCrypt(dict) && !clearMetadata)
        data = security_->decryptStream(data, num, gen);
    return PDFObject(PDFStream{std::move(dict), std::move(data)});
}

std::optional<PDFObject> PDFFileReader::loadFromObjectStream(int64_t num, int64_t stream, int64_t index) {
    const ObjectStreamContents& contents = objectStream(num, stream);
    std::optional<int64_t> position = contents.position(num, index);
    if (!position) return std::nullopt;
    PDFLexer lexer(contents.data, *position);
    lexer.warnings = &warnings_;
    return PDFObject(lexer.parseValue(0));
}

const ObjectStreamContents& PDFFileReader::objectStream(int64_t num, int64_t stream) {
    if (const ObjectStreamContents* cached = objectStreams_.touch(stream)) return *cached;
    const std::string missing = "object stream " + std::to_string(stream) + " missing";
    // Object streams inside object streams are refused: that is how a
    // stream listing itself would recurse.
    if (stream < 0 || stream == num || entries_.entry(stream).kind != XRefEntry::Kind::inFile)
        throw PDFReaderError::badObject(missing);
    std::optional<PDFObject> loaded = object(stream);
    const PDFStream* body = loaded ? loaded->stream() : nullptr;
    if (!body) throw PDFReaderError::badObject(missing);
    // A stream decoded again after it was pushed out means that the pages
    // alternate between more streams than the cache holds: it grows once
    // rather than decode them over and over, and such a stream, like any
    // large one, keeps only its objects' own bytes, so that streams padded
    // with megabytes of blanks all fit and each is inflated once.
    const bool again = !decodedObjectStreams_.insert(stream).second;
    if (again) objectStreams_.raiseByteLimit(ObjectStreamCache::kMaxByteLimit);
    Bytes decoded = decodeStructure(*body);
    ObjectStreamContents contents;
    const ObjectStreamContents* header = objectStreams_.evictedHeader(stream);
    if (header && header->first <= static_cast<int64_t>(decoded.size())) {
        contents = *header;
        contents.data = std::move(decoded);
    } else {
        contents = ObjectStreamContents::parse(stream, body->dict, std::move(decoded));
    }
    if (again || static_cast<int64_t>(contents.data.size()) > objectStreams_.byteLimit() / 4) {
        if (std::optional<ObjectStreamContents> compact = contents.compacted())
            contents = std::move(*compact);
    }
    return objectStreams_.insert(stream, std::move(contents));
}

}  // namespace quillet
