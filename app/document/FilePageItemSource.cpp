#include "app/document/FilePageItemSource.h"

#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <exception>

#include "core/pdf/CoreError.h"
#include "core/pdf/UTF8.h"

namespace quillet {
namespace {

// PDFDocEncoding where it differs from Latin-1: 0x18...0x1F and 0x80...0xA0.
char32_t pdfDocCodePoint(unsigned char byte) {
    static constexpr std::array<char32_t, 8> low = {0x02D8, 0x02C7, 0x02C6, 0x02D9,
                                                    0x02DD, 0x02DB, 0x02DA, 0x02DC};
    static constexpr std::array<char32_t, 33> high = {
        0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
        0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
        0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0xFFFD, 0x20AC};
    if (byte >= 0x18 && byte <= 0x1F) return low[byte - 0x18];
    if (byte >= 0x80 && byte <= 0xA0) return high[byte - 0x80];
    return byte;
}

std::optional<std::string> textOf(const PDFDictionary& dict, std::string_view key) {
    const PDFValue* value = dict.find(key);
    const Bytes* bytes = value ? value->stringBytes() : nullptr;
    if (!bytes) return std::nullopt;
    return FilePageItemSource::decodeTextString(*bytes);
}

Rect rectOf(const PDFDictionary& dict) {
    const PDFValue* value = dict.find("Rect");
    const PDFArray* array = value ? value->arrayValue() : nullptr;
    if (!array || array->size() != 4) return Rect::null();
    std::array<double, 4> n{};
    for (size_t i = 0; i < 4; ++i) {
        std::optional<double> x = (*array)[i].doubleValue();
        if (!x) return Rect::null();
        n[i] = *x;
    }
    return Rect::spanning({n[0], n[1]}, {n[2], n[3]});
}

}  // namespace

FilePageItemSource::FilePageItemSource(std::filesystem::path path, std::optional<std::string> password,
                                       WarningSink onWarning, size_t payloadLimit)
    : path_(std::move(path)),
      password_(std::move(password)),
      onWarning_(std::move(onWarning)),
      payloadLimit_(payloadLimit) {
    opening_ = std::async(std::launch::async, [this] {
        // Behind the first page: on a machine of two cores, reading a large
        // file's table here would otherwise take a third of the time the
        // page's render and the window being built have. The first paint
        // waits for the reader anyway, and then it has a core to itself.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), openingNiceness);
        openReader();
    });
}

FilePageItemSource::~FilePageItemSource() {
    if (opening_.valid()) opening_.wait();
}

std::string FilePageItemSource::decodeTextString(const Bytes& bytes) {
    std::string out;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            char32_t unit =
                (static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1]);
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
                char32_t low = (static_cast<unsigned char>(bytes[i + 2]) << 8) |
                               static_cast<unsigned char>(bytes[i + 3]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    UTF8::append(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
                    i += 2;
                    continue;
                }
            }
            UTF8::append(unit, out);
        }
        return out;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        // Bytes that are not UTF-8 must not reach the store as if they were.
        const std::string_view text = std::string_view(bytes).substr(3);
        for (size_t i = 0; i < text.size();) {
            if (std::optional<char32_t> codePoint = UTF8::decode(text, i)) {
                UTF8::append(*codePoint, out);
            } else {
                UTF8::append(0xFFFD, out);
                ++i;
            }
        }
        return out;
    }
    for (char c : bytes) UTF8::append(pdfDocCodePoint(static_cast<unsigned char>(c)), out);
    return out;
}

bool FilePageItemSource::open() {
    if (opened_) return !failed_;
    opened_ = true;
    if (opening_.valid()) {
        opening_.get();  // rethrows what the opening thread did not catch (exhausted memory)
    } else {
        openReader();
    }
    if (reader_ && onWarning_) reader_->setWarningSink(onWarning_);
    return !failed_;
}

void FilePageItemSource::openReader() {
    try {
        reader_ = PDFFileReader::open(path_, password_);
        // Without the key every payload string is ciphertext, and the page
        // would look as if it carried no markup.
        if (reader_->isEncrypted() && (!reader_->security() || reader_->securityError())) {
            failed_ = true;
            failure_ = reader_->securityErrorText().value_or("the file is locked");
            return;
        }
        pageRefs_ = reader_->pageRefs();
        items_.emplace(*reader_, payloadLimit_);
    } catch (const CoreError& e) {
        failed_ = true;
        failure_ = e.what();
    }
}

std::optional<StoredAnnotation> FilePageItemSource::annotationAt(const PDFValue& entry) {
    // Inline annotation dictionaries are never the application's (saving
    // writes its annotations as objects of their own).
    if (!entry.refValue()) return std::nullopt;
    try {
        PDFValue annotation = reader_->resolve(entry);
        const PDFDictionary* dict = annotation.dictValue();
        if (!dict) return std::nullopt;
        std::optional<AnnotationItem> item = items_->item(*entry.refValue(), *dict);
        if (!item) return std::nullopt;
        const PDFValue* subtype = dict->find("Subtype");
        AnnotationKey key{textOf(*dict, "NM"), subtype && subtype->nameValue() ? *subtype->nameValue() : "",
                          rectOf(*dict)};
        return StoredAnnotation{std::move(*item), textOf(*dict, "Contents"), std::move(key)};
    } catch (const CoreError& e) {
        items_->warnUnreadable(*entry.refValue(), e);
        return std::nullopt;  // an unreadable annotation is foreign, not fatal
    }
}

std::optional<std::vector<StoredAnnotation>> FilePageItemSource::readPage(int pageIndex) {
    if (!open()) return std::nullopt;
    if (pageIndex < 0 || static_cast<size_t>(pageIndex) >= pageRefs_.size()) {
        failure_ = "page " + std::to_string(pageIndex + 1) + " is not in the file's page tree";
        return std::nullopt;
    }
    try {
        std::optional<PDFObject> object = reader_->object(pageRefs_[static_cast<size_t>(pageIndex)].num);
        const PDFDictionary* page = object ? object->dictionary() : nullptr;
        if (!page) {
            failure_ = "page " + std::to_string(pageIndex + 1) + " cannot be read";
            return std::nullopt;
        }
        std::vector<StoredAnnotation> annotations;
        const PDFValue* annots = page->find("Annots");
        if (!annots) return annotations;
        PDFValue array = reader_->resolve(*annots);
        if (array.isNull()) return annotations;
        if (!array.arrayValue()) {
            failure_ = "the annotations of page " + std::to_string(pageIndex + 1) + " cannot be read";
            return std::nullopt;
        }
        items_->startPage();
        for (const PDFValue& entry : *array.arrayValue()) {
            if (std::optional<StoredAnnotation> annotation = annotationAt(entry)) {
                annotations.push_back(std::move(*annotation));
            }
        }
        // A page read in part would lose the rest at the next save.
        if (items_->capped()) {
            failure_ = "page " + std::to_string(pageIndex + 1) + ": item payloads past " +
                       std::to_string(items_->payloadLimit()) + " bytes were not decoded";
            return std::nullopt;
        }
        return annotations;
    } catch (const CoreError& e) {
        failure_ = "page " + std::to_string(pageIndex + 1) + ": " + e.what();
        return std::nullopt;
    }
}

}  // namespace quillet
