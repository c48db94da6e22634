// The repair of PDFFileReader for files whose cross-reference data cannot
// be used (missing, truncated, pointing elsewhere): the object table is
// rebuilt from the "N G obj" headers of one scan of the file, then from the
// object streams it finds, and the trailer is taken from the last usable
// trailer or cross-reference stream dictionary, or the catalog is found by
// its type.
#include <algorithm>

#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFLexer.h"
#include "core/pdf/XRefScan.h"

namespace quillet {

namespace {

// A trailer dictionary is read within this many bytes of its keyword.
constexpr int64_t kTrailerSpan = 65'536;

// Keys a rebuilt trailer takes from the dictionary it is made from.
constexpr std::string_view kTrailerKeys[] = {"Root", "Encrypt", "ID", "Info"};

std::string at(int64_t offset) {
    return std::to_string(offset);
}

}  // namespace

struct PDFFileReader::TrailerCandidate {
    int64_t position = 0;
    PDFDictionary dict;
    bool isStream = false;
};

void PDFFileReader::rebuildTable(const std::string& reason, const std::optional<std::string>& password) {
    warnings_.add("cross-reference data unusable (" + reason +
                  "): object table rebuilt by scanning the file");
    repaired_ = true;
    trailer_ = PDFDictionary();
    security_.reset();
    securityError_.reset();
    encryptRef_.reset();
    startXref_ = 0;
    newestSectionIsStream_ = false;
    const XRefScan::Result scan = storeScannedObjects(true);

    std::vector<TrailerCandidate> candidates = trailerCandidates(scan);
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        if (!it->dict.find("Root") || !it->dict.find("Root")->refValue()) continue;
        for (std::string_view key : kTrailerKeys)
            if (const PDFValue* value = it->dict.find(key)) trailer_.set(std::string(key), *value);
        startXref_ = it->position;
        newestSectionIsStream_ = it->isStream;
        break;
    }
    if (trailer_.contains("Encrypt")) setUpSecurity(password);
    storeObjectStreamEntries(scan);
    findCatalog(scan, candidates);
    // The table's own extent: a /Size may be what was wrong.
    size_ = entries_.size();
}

void PDFFileReader::rebuildAfterWrongOffset(int64_t num, int64_t offset) {
    warnings_.add("object " + std::to_string(num) + " not at " + at(offset) +
                  ": object table rebuilt by scanning the file");
    repaired_ = true;
    startXref_ = 0;
    // Objects already handed out may refer to cached object streams.
    const XRefScan::Result scan = storeScannedObjects(false);
    storeObjectStreamEntries(scan);
    size_ = std::max(size_, entries_.size());
}

XRefScan::Result PDFFileReader::storeScannedObjects(bool dropCachedStreams) {
    entries_ = XRefTable();
    offsetOrigin_ = 0;
    if (dropCachedStreams) {
        objectStreams_.clear();
        decodedObjectStreams_.clear();
    }
    XRefScan::Result scan = XRefScan::scan(file_->bytes());
    // Later definitions win: the table keeps the first one stored.
    for (auto it = scan.objects.rbegin(); it != scan.objects.rend(); ++it)
        entries_.store(it->num, XRefEntry::inFile(it->offset, std::min(it->gen, XRefTable::kMaxGeneration)));
    return scan;
}

bool PDFFileReader::isWinning(const XRefScan::FoundObject& found) const {
    return entries_.entry(found.num) ==
           XRefEntry::inFile(found.offset, std::min(found.gen, XRefTable::kMaxGeneration));
}

std::vector<PDFFileReader::TrailerCandidate> PDFFileReader::trailerCandidates(const XRefScan::Result& scan) {
    const std::string_view bytes = file_->bytes();
    std::vector<TrailerCandidate> candidates;
    for (int64_t position : scan.trailers) {
        try {
            PDFLexer lexer(bytes.substr(0, static_cast<size_t>(
                                               std::min<int64_t>(position + kTrailerSpan, file_->count()))),
                           position);
            PDFValue value = lexer.parseValue(0);
            if (const PDFDictionary* dict = value.dictValue())
                candidates.push_back({position - 7, *dict, false});
        } catch (const PDFParseError&) {
            warnings_.add("trailer at " + at(position - 7) + " unreadable, skipped");
        }
    }
    for (const XRefScan::FoundObject& found : scan.objects) {
        if (found.hint != XRefScan::FoundObject::Hint::xrefStream || !isWinning(found)) continue;
        try {
            std::optional<PDFObject> loaded = loadAt(found.offset, found.num);
            const PDFStream* stream = loaded ? loaded->stream() : nullptr;
            const PDFValue* type = stream ? stream->dict.find("Type") : nullptr;
            if (type && type->isName("XRef")) candidates.push_back({found.offset, stream->dict, true});
        } catch (const PDFReaderError&) {
            warnings_.add("cross-reference stream at " + at(found.offset) + " unreadable, skipped");
        } catch (const PDFParseError&) {
            warnings_.add("cross-reference stream at " + at(found.offset) + " unreadable, skipped");
        }
    }
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const TrailerCandidate& a, const TrailerCandidate& b) { return a.position < b.position; });
    return candidates;
}

void PDFFileReader::storeObjectStreamEntries(const XRefScan::Result& scan) {
    // Without the key, encrypted object streams cannot be decoded.
    if (isEncrypted() && !security_) return;
    // The newest stream first, so that its entries win over older ones;
    // objects defined directly win over all of them.
    for (auto it = scan.objects.rbegin(); it != scan.objects.rend(); ++it) {
        if (it->hint != XRefScan::FoundObject::Hint::objectStream || !isWinning(*it)) continue;
        try {
            const ObjectStreamContents& contents = objectStream(-1, it->num);
            for (size_t index = 0; index < contents.offsets.size(); ++index)
                entries_.store(contents.offsets[index].first,
                               XRefEntry::inObjectStream(it->num, static_cast<int64_t>(index)));
        } catch (const PDFReaderError&) {
            warnings_.add("object stream " + std::to_string(it->num) + " at " + at(it->offset) +
                          " unreadable, skipped");
        } catch (const PDFParseError&) {
            warnings_.add("object stream " + std::to_string(it->num) + " at " + at(it->offset) +
                          " unreadable, skipped");
        } catch (const FlateError&) {
            warnings_.add("object stream " + std::to_string(it->num) + " at " + at(it->offset) +
                          " unreadable, skipped");
        }
    }
}

bool PDFFileReader::isCatalog(const PDFValue& root) {
    try {
        PDFValue resolved = resolve(root);
        const PDFDictionary* dict = resolved.dictValue();
        return dict && dict->contains("Pages");
    } catch (const PDFReaderError&) {
    } catch (const PDFParseError&) {
    } catch (const FlateError&) {
    }
    return false;
}

void PDFFileReader::findCatalog(const XRefScan::Result& scan,
                                const std::vector<TrailerCandidate>& candidates) {
    // A locked file's catalog may sit in an object stream it cannot decode.
    if (isEncrypted() && !security_) return;
    if (const PDFValue* root = trailer_.find("Root"); root && isCatalog(*root)) return;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        const PDFValue* root = it->dict.find("Root");
        if (root && root->refValue() && isCatalog(*root)) {
            trailer_.set("Root", *root);
            warnings_.add("/Root taken from the trailer at " + at(it->position));
            return;
        }
    }
    // No trailer names a catalog: the newest object typed /Catalog is it.
    auto tryObject = [&](int64_t num) {
        const XRefEntry entry = entries_.entry(num);
        const PDFRef ref{num, entry.kind == XRefEntry::Kind::inFile ? entry.index : 0};
        PDFValue candidate = PDFValue::ref(ref.num, ref.gen);
        try {
            PDFValue value = resolve(candidate);
            const PDFDictionary* dict = value.dictValue();
            const PDFValue* type = dict ? dict->find("Type") : nullptr;
            if (!type || !type->isName("Catalog") || !dict->contains("Pages")) return false;
        } catch (const PDFReaderError&) {
            return false;
        } catch (const PDFParseError&) {
            return false;
        } catch (const FlateError&) {
            return false;
        }
        trailer_.set("Root", candidate);
        warnings_.add("catalog " + std::to_string(num) + " found by its /Type");
        return true;
    };
    for (auto it = scan.objects.rbegin(); it != scan.objects.rend(); ++it)
        if (it->hint == XRefScan::FoundObject::Hint::catalog && isWinning(*it) && tryObject(it->num)) return;
    for (int64_t num = 1; num < entries_.size(); ++num)
        if (entries_.entry(num).kind == XRefEntry::Kind::inObjectStream && tryObject(num)) return;
    throw PDFReaderError::missingRoot();
}

}  // namespace quillet
