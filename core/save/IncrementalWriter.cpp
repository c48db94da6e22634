#include "core/save/IncrementalWriter.h"

#include <algorithm>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "core/markup/AnnotationSerializer.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/FileAccessError.h"
#include "core/pdf/PDFFileReader.h"
#include "core/pdf/PDFWriter.h"
#include "core/save/AnnotationRecognizer.h"
#include "core/save/FileIdentity.h"
#include "core/save/XRefWriter.h"

namespace quillet::IncrementalWriter {

namespace {

// The objects of one update, assembled in memory before anything is written.
class UpdateBuilder {
  public:
    UpdateBuilder(PDFFileReader& reader, bool expandNotes, bool writeRebuiltTable)
        : reader_(reader),
          security_(reader.security()),
          expandNotes_(expandNotes),
          writeRebuiltTable_(writeRebuiltTable && reader.wasRepaired()),
          baseOffset_(static_cast<int64_t>(reader.file().size())),
          nextFree_(std::max<int64_t>(reader.nextFreeNumber(), 1)) {}

    void updatePage(int64_t index, const PDFRef& page, const std::vector<AnnotationItem>& items);

    // Closes the update with its cross-reference section; false when there is nothing to write.
    bool finish();

    const Bytes& buffer() const { return buffer_; }
    IncrementalWriteResult& result() { return result_; }

  private:
    void appendItem(const AnnotationItem& item, const PDFRef& page, const RecognizedAnnotations& found,
                    PDFArray& annots);
    bool reusable(const AnnotationItem& item, const std::string& payload,
                  const RecognizedAnnotations& found) const;
    void writeItem(const AnnotationItem& item, const PDFRef& page, const std::string& payload,
                   PDFArray& annots);
    void writeValue(const PDFRef& ref, const PDFValue& value);
    void writeStream(const PDFRef& ref, const PDFStream& stream);
    void record(const PDFRef& ref);
    void writeDirectKids();
    std::vector<XRefWriter::Entry> everyObject() const;

    PDFFileReader& reader_;
    std::shared_ptr<const SecurityHandler> security_;
    bool expandNotes_;
    bool writeRebuiltTable_;
    int64_t baseOffset_;
    int64_t nextFree_;
    // Everything appended to the clone: a line feed that ends whatever the
    // source's last line was, then the update.
    Bytes buffer_ = "\n";
    std::vector<XRefWriter::Entry> entries_;
    std::unordered_set<int64_t> written_;
    IncrementalWriteResult result_;
};

void UpdateBuilder::record(const PDFRef& ref) {
    written_.insert(ref.num);
    entries_.push_back({ref.num, ref.gen, baseOffset_ + static_cast<int64_t>(buffer_.size())});
}

// Every object an update writes is encrypted for its own number, with the
// source's key, so the file keeps its password.
void UpdateBuilder::writeValue(const PDFRef& ref, const PDFValue& value) {
    record(ref);
    PDFWriter::writeObject(ref.num, ref.gen,
                           security_ ? security_->cryptValue(value, ref.num, ref.gen, true) : value, buffer_);
}

void UpdateBuilder::writeStream(const PDFRef& ref, const PDFStream& stream) {
    record(ref);
    PDFWriter::writeStream(ref.num, ref.gen, stream.dict,
                           security_ ? security_->encryptStream(stream.data, ref.num, ref.gen) : stream.data,
                           buffer_);
}

bool UpdateBuilder::reusable(const AnnotationItem& item, const std::string& payload,
                             const RecognizedAnnotations& found) const {
    auto existing = found.existing.find(item.id);
    if (existing == found.existing.end() || existing->second.payload != payload) return false;
    if (!item.isNote()) return true;
    // A note comes back whole or not at all: its pop-up must still name it as parent.
    const ExistingAnnotation& note = existing->second;
    if (expandNotes_ || !note.popup) return false;
    auto parent = found.popupParents.find(*note.popup);
    return parent != found.popupParents.end() && parent->second == note.ref;
}

void UpdateBuilder::writeItem(const AnnotationItem& item, const PDFRef& page, const std::string& payload,
                              PDFArray& annots) {
    const PDFRef annotation{nextFree_, 0};
    const PDFRef appearance{nextFree_ + 1, 0};
    const bool withPopup = item.isNote() && !expandNotes_;
    const PDFRef popup{nextFree_ + 2, 0};
    nextFree_ += withPopup ? 3 : 2;

    std::optional<AnnotationSerializer::PopupReferences> popupRefs;
    if (withPopup) popupRefs = AnnotationSerializer::PopupReferences{popup, annotation};
    AnnotationSerializer::Output output =
        AnnotationSerializer::serialize(item, page, appearance, popupRefs, payload, expandNotes_);

    writeStream(appearance, output.appearance);
    writeValue(annotation, PDFValue::dict(std::move(output.annotation)));
    annots.push_back(PDFValue::ref(annotation));
    if (output.popup) {
        writeValue(popup, PDFValue::dict(std::move(*output.popup)));
        annots.push_back(PDFValue::ref(popup));
    }
    ++result_.annotationsWritten;
}

void UpdateBuilder::appendItem(const AnnotationItem& item, const PDFRef& page,
                               const RecognizedAnnotations& found, PDFArray& annots) {
    // Encoding is deterministic, so an unchanged item gives exactly the stored text.
    std::string payload = ItemCodec::encode(item);
    if (!reusable(item, payload, found)) {
        writeItem(item, page, payload, annots);
        return;
    }
    const ExistingAnnotation& existing = found.existing.at(item.id);
    annots.push_back(PDFValue::ref(existing.ref));
    if (item.isNote()) annots.push_back(PDFValue::ref(*existing.popup));
    ++result_.annotationsReused;
}

void UpdateBuilder::updatePage(int64_t index, const PDFRef& page, const std::vector<AnnotationItem>& items) {
    if (page.gen < 0 || page.gen > kMaxGeneration)
        throw IncrementalWriterError::unsupported("generation number " + std::to_string(page.gen));
    std::optional<PDFObject> object = reader_.object(page.num);
    const PDFValue* value = object ? object->value() : nullptr;
    const PDFDictionary* pageDict = value ? value->dictValue() : nullptr;
    if (!pageDict) throw IncrementalWriterError::badPage(index);

    PDFArray oldAnnots;
    if (const PDFValue* annots = pageDict->find("Annots")) {
        PDFValue resolved = reader_.resolve(*annots);
        if (const PDFArray* array = resolved.arrayValue()) oldAnnots = *array;
    }
    RecognizedAnnotations found = AnnotationRecognizer::scan(oldAnnots, reader_);
    PDFArray newAnnots = std::move(found.retained);
    for (const AnnotationItem& item : items) appendItem(item, page, found, newAnnots);
    if (newAnnots == oldAnnots) return;

    // The page gets a direct array; an indirect array object of the source
    // stays as it was, only no longer referenced.
    PDFDictionary updated = *pageDict;
    updated.set("Annots",
                newAnnots.empty() ? std::nullopt : std::optional(PDFValue::array(std::move(newAnnots))));
    writeValue(page, PDFValue::dict(std::move(updated)));
    ++result_.pagesUpdated;
}

// The source's objects as the reader found them, the newest definition of
// each number; numbers it does not define are free.
std::vector<XRefWriter::Entry> UpdateBuilder::everyObject() const {
    using Type = XRefWriter::Entry::Type;
    std::vector<XRefWriter::Entry> all;
    const XRefTable& table = reader_.entries();
    all.push_back({0, XRefTable::kMaxGeneration, 0, Type::free});
    for (int64_t num = 1; num < table.size(); ++num) {
        const XRefEntry entry = table.entry(num);
        if (entry.kind == XRefEntry::Kind::inFile && entry.location >= reader_.headerOffset())
            all.push_back({num, entry.index, entry.location, Type::inUse});
        else if (entry.kind == XRefEntry::Kind::inObjectStream)
            all.push_back({num, entry.index, entry.location, Type::compressed});
        else
            all.push_back({num, 0, 0, Type::free});
    }
    return all;
}

// Pages the file holds as direct dictionaries in a /Kids array (and
// direct nodes above them) become objects of their own under the numbers
// the page list gave them, and their parents name them by reference: an
// annotation's /P must name its page, and other readers find the page by
// the same number as this one does. All of them at once, whichever pages
// changed: the page list of this update then holds for its result.
void UpdateBuilder::writeDirectKids() {
    const std::vector<DirectKid>& kids = reader_.directKids();
    if (kids.empty()) return;
    // A table rebuilt after the walk may have found objects under the
    // numbers the walk gave out.
    if (reader_.size() > kids.front().ref.num)
        throw IncrementalWriterError::unsupported("a direct page-tree kid, with objects numbered from " +
                                                  std::to_string(kids.front().ref.num) +
                                                  " found after the page tree was read");
    std::map<int64_t, PDFRef> parents;
    for (const DirectKid& kid : kids) parents.emplace(kid.parent.num, kid.parent);
    for (const DirectKid& kid : kids)
        if (!written_.count(kid.ref.num) && !parents.count(kid.ref.num))
            writeValue(kid.ref, PDFValue::dict(kid.dict));
    for (const auto& [num, parent] : parents) {
        std::optional<PDFObject> object = reader_.object(num);
        const PDFDictionary* node = object ? object->dictionary() : nullptr;
        PDFValue kidsValue = node ? reader_.resolve(node->get("Kids").value_or(PDFValue())) : PDFValue();
        const PDFArray* kidsArray = kidsValue.arrayValue();
        if (!kidsArray || object->isStream() || written_.count(num) || parent.gen < 0 ||
            parent.gen > kMaxGeneration)
            throw IncrementalWriterError::unsupported("page-tree node " + std::to_string(num) +
                                                      " with a direct kid");
        PDFArray indirect = *kidsArray;
        for (const DirectKid& kid : kids)
            if (kid.parent.num == num && kid.index < indirect.size() && indirect[kid.index].dictValue())
                indirect[kid.index] = PDFValue::ref(kid.ref);
        PDFDictionary updated = *node;
        updated.set("Kids", PDFValue::array(std::move(indirect)));
        writeValue(parent, PDFValue::dict(std::move(updated)));
    }
}

bool UpdateBuilder::finish() {
    if (entries_.empty() && !writeRebuiltTable_) return false;
    writeDirectKids();
    // A file with more objects than readers take would be written and then
    // refused by every reader, this one included.
    if (nextFree_ >= XRefTable::kMaxObjects)
        throw IncrementalWriterError::unsupported("object number " + std::to_string(nextFree_ - 1) +
                                                  ": files may hold at most " +
                                                  std::to_string(XRefTable::kMaxObjects) + " objects");
    XRefWriter::Source source{&reader_.trailer(), reader_.startXref(), reader_.newestSectionIsStream()};
    // Bytes before the header: readers count offsets from the header. When
    // the source's own offsets count from the first byte anyway, they have
    // to rebuild its table; the update then lists every object instead. So
    // it does when the source's cross-reference data was unusable and the
    // reader rebuilt its table: the update's section is then the only one
    // other readers can trust, and it must not lead them into the old ones.
    source.origin = reader_.headerOffset();
    source.listsEverything = (source.origin > 0 && reader_.offsetOrigin() == 0) || reader_.wasRepaired();
    if (source.listsEverything) {
        std::vector<XRefWriter::Entry> all = everyObject();
        entries_.insert(entries_.begin(), all.begin(), all.end());
    }
    XRefWriter::append(std::move(entries_), source, nextFree_, baseOffset_, buffer_);
    return true;
}

std::vector<PDFRef> pageReferences(PDFFileReader& reader, int64_t expectedPageCount,
                                   const std::optional<std::vector<PDFRef>>& cachedPageRefs) {
    // A page list that names direct kids needs the walk that numbers them.
    const bool walk =
        !cachedPageRefs || std::any_of(cachedPageRefs->begin(), cachedPageRefs->end(),
                                       [&](const PDFRef& ref) { return ref.num >= reader.size(); });
    std::vector<PDFRef> refs = walk ? reader.pageRefs() : *cachedPageRefs;
    const auto found = static_cast<int64_t>(refs.size());
    if (found != expectedPageCount) throw IncrementalWriterError::pageCountMismatch(expectedPageCount, found);
    return refs;
}

// The clone replaces whatever is at the destination, so the two paths must
// not name one file: that would destroy the source before it was copied.
void refuseSameFile(const std::filesystem::path& source, const std::filesystem::path& destination) {
    std::error_code error;
    auto status = std::filesystem::symlink_status(destination, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_symlink(status)) return;
    if (std::filesystem::equivalent(source, destination, error) && !error)
        throw IncrementalWriterError::io("destination is the source file: " + destination.string());
}

}  // namespace

IncrementalWriteResult appendUpdate(PDFFileReader& reader, const std::filesystem::path& destination,
                                    const AppendOptions& options) {
    if (reader.isEncrypted() && !reader.security()) throw IncrementalWriterError::encrypted();

    std::vector<PDFRef> refs;
    if (!options.pages.empty())
        refs = pageReferences(reader, options.expectedPageCount, options.cachedPageRefs);
    // After the walk: the numbers it gave direct kids are taken.
    UpdateBuilder update(reader, options.expandNotes, options.writeRebuiltTable);
    if (!options.pages.empty()) {
        for (const auto& [index, items] : options.pages) {
            if (index < 0 || index >= static_cast<int64_t>(refs.size()))
                throw IncrementalWriterError::pageIndexOutOfRange(index);
            update.updatePage(index, refs[static_cast<size_t>(index)], items);
        }
        update.result().pageRefs = std::move(refs);
    }
    const bool appending = update.finish();

    // The update's offsets hold for the bytes that were read: the clone is
    // made from the same open file, and only while it still has them.
    const MappedFile& file = reader.file();
    const std::string sourceName = file.path().string();
    if (FileIdentity::ofDescriptor(file.descriptor()) != FileIdentity::ofStatus(file.status()))
        throw FileAccessError::changed(sourceName);
    FileCloner::clone(file.descriptor(), destination, CloneMethod::automatic, options.calls);
    if (FileIdentity::ofPath(destination.string()).value_or(FileIdentity{}).size != file.status().st_size)
        throw FileAccessError::changed(sourceName);
    if (!appending) return update.result();
    try {
        FileCloner::appendDurably(update.buffer(), destination, options.calls);
    } catch (const FileAccessError& error) {
        throw IncrementalWriterError::io(error.text());
    }
    update.result().bytesAppended = static_cast<int64_t>(update.buffer().size());
    return update.result();
}

IncrementalWriteResult appendUpdate(const std::filesystem::path& source,
                                    const std::filesystem::path& destination, const AppendOptions& options) {
    refuseSameFile(source, destination);
    PDFFileReader reader(source, options.password);
    return appendUpdate(reader, destination, options);
}

}  // namespace quillet::IncrementalWriter
