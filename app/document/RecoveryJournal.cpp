#include "app/document/RecoveryJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <utility>

#include "app/document/DocumentKey.h"
#include "app/platform/AppPaths.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/SerialQueue.h"
#include "core/markup/Base64.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/JournalSeal.h"

namespace quillet {
namespace {

// The written time counts from 2001-01-01 00:00 UTC.
constexpr double kReferenceDateOffset = 978307200;

std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::string journalFile(const QString& folder, const QString& documentPath) {
    return nativePath(folder) + "/" + DocumentKey::of(nativePath(documentPath)) + ".json";
}

std::string setAsideFile(const QString& folder, const QString& documentPath) {
    return nativePath(folder) + "/" + DocumentKey::of(nativePath(documentPath)) + ".set-aside.json";
}

class WriteError : public std::runtime_error {
  public:
    WriteError(const std::string& what, int error) : std::runtime_error(what + ": " + std::strerror(error)) {}
};

void writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw WriteError("cannot write the journal", errno);
        done += static_cast<size_t>(n);
    }
}

// A temporary file beside the target, 0600 from the moment it exists, made
// durable, renamed over the target, and the folder made durable too.
void writeDurably(const std::string& folder, const std::string& target, const std::string& data) {
    static std::atomic<int> counter{0};
    std::string temporary = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) throw WriteError("cannot create " + temporary, errno);
    try {
        if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) throw WriteError("cannot restrict " + temporary, errno);
        writeAll(fd, data);
        if (::fsync(fd) != 0) throw WriteError("cannot sync " + temporary, errno);
        if (::close(fd) != 0) {
            fd = -1;
            throw WriteError("cannot close " + temporary, errno);
        }
        fd = -1;
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            throw WriteError("cannot replace " + target, errno);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// What a sealed payload is bound to: its place in the record, so that no
// payload can be moved to another page or position unnoticed.
std::string payloadContext(const std::string& page, size_t index) {
    return "page " + page + " item " + std::to_string(index);
}

// What the sealed page list is bound to.
constexpr std::string_view kPageListContext = "page list";

// The Base64 of `plain` sealed; throws when it cannot be.
std::string sealedText(const JournalSeal& seal, std::string_view plain, std::string_view context) {
    std::optional<Bytes> sealed = seal.seal(plain, context);
    if (!sealed) throw std::runtime_error("an item is too large to seal");
    return Base64::encode(*sealed);
}

// Each page of a record and how many payloads it holds, in key order. Sealed
// with the record, it keeps a page or payload from being dropped, or an
// emptied page added, unnoticed: those have no payload of their own to fail.
template <typename Json>
std::string pageList(const Json& pages) {
    std::map<std::string, std::string> counts;
    for (const auto& [key, payloads] : pages.items()) {
        counts[key] = payloads.is_array() ? std::to_string(payloads.size()) : "-";
    }
    std::string list;
    for (const auto& [key, count] : counts) list += key + ":" + count + ";";
    return list;
}

// The page list as written: item payloads, sealed when `seal` is given.
nlohmann::ordered_json writtenPages(const RecoveryJournal::Pages& pages,
                                    const std::optional<JournalSeal>& seal) {
    nlohmann::ordered_json pageObject = nlohmann::ordered_json::object();
    for (const auto& [index, items] : pages) {
        const std::string page = std::to_string(index);
        nlohmann::ordered_json payloads = nlohmann::ordered_json::array();
        for (const AnnotationItem& item : items) {
            std::string payload = ItemCodec::encode(item);
            if (seal) payload = sealedText(*seal, payload, payloadContext(page, payloads.size()));
            payloads.push_back(std::move(payload));
        }
        pageObject[page] = std::move(payloads);
    }
    return pageObject;
}

// A sealed record that did not open goes beside the journal under a name of
// its own: kept for whoever looks into it, and out of the way of the next
// record and of deletions. Absent when it could not be moved.
std::optional<std::string> moveAside(const std::string& file) {
    const std::string stem = file + ".rejected-" + std::to_string(::time(nullptr));
    for (int n = 0; n < 100; ++n) {
        const std::string target = n == 0 ? stem : stem + "-" + std::to_string(n);
        if (::link(file.c_str(), target.c_str()) == 0) {
            ::unlink(file.c_str());
            return target;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int> pageIndex(const std::string& key) {
    std::string_view digits = key;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return negative ? -value : value;
}

// Whether the file at `documentPath` is one of the versions the entry was
// made on; absent when the file cannot be examined or the entry names none.
std::optional<bool> isCurrentVersion(const nlohmann::json& entry, const QString& documentPath) {
    std::optional<RecoveryJournal::Identity> current = RecoveryJournal::Identity::ofFile(documentPath);
    auto identities = entry.find("identities");
    if (!current || identities == entry.end() || !identities->is_array()) return std::nullopt;
    for (const nlohmann::json& identity : *identities) {
        if (!identity.is_object() || !identity.contains("size") || !identity.contains("modified")) continue;
        const nlohmann::json& size = identity["size"];
        const nlohmann::json& modified = identity["modified"];
        if (size.is_number_integer() && modified.is_number() &&
            RecoveryJournal::Identity{size.get<int64_t>(), modified.get<double>()} == *current) {
            return true;
        }
    }
    return false;
}

// The items of the entry's pages; `open(page, index, payload)` gives the
// item payload text of one written payload, absent when it has none.
template <typename Open>
std::optional<RecoveryJournal::Pages> decodePages(const nlohmann::json& pages, Open open) {
    RecoveryJournal::Pages result;
    for (const auto& [key, payloads] : pages.items()) {
        std::optional<int> index = pageIndex(key);
        if (!index || !payloads.is_array()) continue;
        std::vector<AnnotationItem> items;
        for (size_t n = 0; n < payloads.size(); ++n) {
            std::optional<std::string> text = open(key, n, payloads[n]);
            if (!text) continue;
            if (std::optional<AnnotationItem> item = ItemCodec::decode(*text))
                items.push_back(std::move(*item));
        }
        // A page whose every payload is damaged is not offered as emptied.
        if (items.empty() && !payloads.empty()) continue;
        result[*index] = std::move(items);
    }
    if (result.empty()) return std::nullopt;
    return result;
}

// The seal the entry was written with, when its salt is readable.
std::optional<JournalSeal> sealOf(const nlohmann::json& entry, const Bytes& fileKey) {
    auto seal = entry.find("seal");
    if (seal == entry.end() || !seal->is_object()) return std::nullopt;
    auto salt = seal->find("salt");
    if (salt == seal->end() || !salt->is_string()) return std::nullopt;
    std::optional<std::string> bytes = Base64::decode(salt->get<std::string>());
    return bytes ? JournalSeal::forRecord(fileKey, *bytes) : std::nullopt;
}

// Whether the entry has exactly the pages and payload counts sealed with it.
bool pageListIntact(const nlohmann::json& entry, const JournalSeal& seal) {
    const nlohmann::json& sealEntry = entry.at("seal");  // sealOf found it
    auto list = sealEntry.find("pages");
    if (list == sealEntry.end() || !list->is_string()) return false;
    std::optional<std::string> bytes = Base64::decode(list->get_ref<const std::string&>());
    std::optional<Bytes> opened = bytes ? seal.open(*bytes, kPageListContext) : std::nullopt;
    return opened && *opened == pageList(entry.at("pages"));
}

// The pages of a sealed entry, every payload opened under the file key, else
// absent. `currentVersion`: the entry was made on the file as it is, so a
// payload that does not open is damage or tampering, and the file is moved aside.
std::optional<RecoveryJournal::Pages> openSealed(const std::string& file, const nlohmann::json& entry,
                                                 const std::optional<Bytes>& fileKey, bool currentVersion) {
    if (!fileKey) {
        logLine("journal " + file + " is sealed and the document has no key for it: kept unopened");
        return std::nullopt;
    }
    const std::optional<JournalSeal> seal = sealOf(entry, *fileKey);
    // One payload that does not open and the whole record is not restored:
    // nothing of a record that was tampered with comes back.
    bool authentic = seal && pageListIntact(entry, *seal);
    std::optional<RecoveryJournal::Pages> result;
    if (authentic) {
        result = decodePages(
            entry.at("pages"), [&](const std::string& page, size_t index, const nlohmann::json& payload) {
                std::optional<std::string> bytes;
                if (payload.is_string() &&
                    payload.get_ref<const std::string&>().size() <= JournalSeal::maxSealedSize / 3 * 4 + 4) {
                    bytes = Base64::decode(payload.get_ref<const std::string&>());
                }
                std::optional<Bytes> opened =
                    bytes ? seal->open(*bytes, payloadContext(page, index)) : std::nullopt;
                if (!opened) authentic = false;
                return opened;
            });
    }
    if (authentic) return result;
    if (!currentVersion) {
        // Another version of the file may have another key: no sign of tampering.
        logLine("journal " + file + " does not open with this version's key: kept unopened");
        return std::nullopt;
    }
    const std::optional<std::string> kept = moveAside(file);
    logLine("journal " + file + " failed authentication and is not restored: kept " +
            (kept ? "as " + *kept : std::string("in place")));
    return std::nullopt;
}

}  // namespace

struct RecoveryJournal::Scheduled {
    QString folder;
    std::optional<QString> previousPath;
    QString path;
    Pages pages;
    std::vector<Identity> identities;
    std::shared_ptr<std::atomic<int>> writes;
    // Present: the document is encrypted and its payloads are sealed under it.
    std::optional<Bytes> fileKey;
    // Written as the set-aside markup; the journal file goes once it is on disk.
    bool setAside = false;
    // The set-aside markup the journal now holds goes once the journal is on disk.
    bool dropSetAside = false;

    void run() const;
};

void RecoveryJournal::Scheduled::run() const {
    if (previousPath && *previousPath != path) ::unlink(journalFile(folder, *previousPath).c_str());
    if (folder.isEmpty()) return;
    try {
        std::optional<JournalSeal> seal;
        if (fileKey) seal.emplace(*fileKey);  // a fresh salt for every record
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const Identity& identity : identities)
            list.push_back({{"size", identity.size}, {"modified", identity.modified}});
        double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        nlohmann::ordered_json entry = {{"version", seal ? sealedFormatVersion : formatVersion},
                                        {"path", path.toStdString()},
                                        {"identities", std::move(list)}};
        nlohmann::ordered_json written = writtenPages(pages, seal);
        if (seal) {
            entry["seal"] = {{"salt", Base64::encode(seal->salt())},
                             {"pages", sealedText(*seal, pageList(written), kPageListContext)}};
        }
        entry["pages"] = std::move(written);
        entry["written"] = now - kReferenceDateOffset;
        if (!AppPaths::ensureFolder(folder)) throw std::runtime_error("cannot create " + nativePath(folder));
        ::chmod(nativePath(folder).c_str(), S_IRWXU);  // the journals are the user's alone
        writeDurably(nativePath(folder), setAside ? setAsideFile(folder, path) : journalFile(folder, path),
                     entry.dump());
        writes->fetch_add(1);
        // Only now: until here the other file holds the markup.
        if (setAside) ::unlink(journalFile(folder, path).c_str());
        if (dropSetAside) ::unlink(setAsideFile(folder, path).c_str());
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& e) {
        logLine(std::string("journal write failed: ") + e.what());
    }
}

std::optional<RecoveryJournal::Identity> RecoveryJournal::Identity::ofFile(const QString& path) {
    struct stat info {};
    if (::stat(nativePath(path).c_str(), &info) != 0) return std::nullopt;
    return Identity{static_cast<int64_t>(info.st_size), static_cast<double>(info.st_mtim.tv_sec) +
                                                            static_cast<double>(info.st_mtim.tv_nsec) / 1e9};
}

RecoveryJournal::RecoveryJournal(QString folder) : folder_(std::move(folder)) {}

RecoveryJournal::~RecoveryJournal() {
    pendingWork_.cancel();
}

QString RecoveryJournal::defaultFolder() {
    return AppPaths::applicationDataPath(QStringLiteral("Recovery"));
}

SerialQueue& RecoveryJournal::queue() {
    static SerialQueue* shared = new SerialQueue(queueName);  // lives to the end of the process
    return *shared;
}

QString RecoveryJournal::journalPath(const QString& documentPath) const {
    return QFile::decodeName(QByteArray::fromStdString(journalFile(folder_, documentPath)));
}

QString RecoveryJournal::setAsidePath(const QString& documentPath) const {
    return QFile::decodeName(QByteArray::fromStdString(setAsideFile(folder_, documentPath)));
}

void RecoveryJournal::noteIdentity(const QString& documentPath) {
    std::optional<Identity> identity = Identity::ofFile(documentPath);
    if (!identity || std::find(identities_.begin(), identities_.end(), *identity) != identities_.end())
        return;
    identities_.push_back(*identity);
    if (identities_.size() > maxIdentities) identities_.erase(identities_.begin());
}

std::shared_ptr<RecoveryJournal::Scheduled> RecoveryJournal::replacePendingWrite(const QString& documentPath,
                                                                                 Pages pages) {
    std::optional<QString> previous = lastPath_;
    // A write that never ran still owes the deletion of its previous path's
    // journal (a document renamed twice within the delay).
    if (pendingWork_.cancel() && pendingWrite_ && pendingWrite_->previousPath)
        previous = pendingWrite_->previousPath;
    pendingWrite_.reset();
    lastPath_ = documentPath;
    return std::make_shared<Scheduled>(
        Scheduled{folder_, previous, documentPath, std::move(pages), identities_, writes_, fileKey_});
}

void RecoveryJournal::protect(bool encrypted, std::optional<Bytes> fileKey) {
    encrypted_ = encrypted;
    fileKey_ = encrypted ? std::move(fileKey) : std::nullopt;
    lockedWriteLogged_ = false;
}

bool RecoveryJournal::mayWrite(const QString& documentPath) {
    if (!locked()) return true;
    // Unsealed markup of an encrypted file never goes to disk.
    if (!std::exchange(lockedWriteLogged_, true)) {
        logLine("journal " + journalFile(folder_, documentPath) +
                " not written: the encrypted file's key is not known");
    }
    return false;
}

void RecoveryJournal::record(const QString& documentPath, Pages pages) {
    if (!mayWrite(documentPath)) return;
    std::shared_ptr<Scheduled> write = replacePendingWrite(documentPath, std::move(pages));
    write->dropSetAside = offeredSetAside_ == documentPath;
    schedule(std::move(write));
}

// Markup set aside earlier for the path (two reverts, a revert after a
// reload) stays in the new record; where both hold an item, the newer one.
void RecoveryJournal::keepEarlierSetAside(Scheduled& write) {
    const std::string file = setAsideFile(write.folder, write.path);
    const std::optional<Pages> earlier = readEntryUnder(file, write.path, false, write.fileKey);
    if (!earlier) {
        // One that does not open here (sealed under another key, or damaged)
        // is never written over.
        if (::access(file.c_str(), F_OK) == 0) {
            if (const std::optional<std::string> kept = moveAside(file))
                logLine("an earlier set-aside journal did not open and is kept as " + *kept);
        }
        return;
    }
    std::set<UUID> newer;
    for (const auto& [page, items] : write.pages)
        for (const AnnotationItem& item : items) newer.insert(item.id);
    for (const auto& [page, items] : *earlier)
        for (const AnnotationItem& item : items)
            if (!newer.contains(item.id)) write.pages[page].push_back(item);
}

void RecoveryJournal::setAside(const QString& documentPath, Pages pages) {
    if (!mayWrite(documentPath)) return;
    std::shared_ptr<Scheduled> write = replacePendingWrite(documentPath, std::move(pages));
    write->setAside = true;
    // No quiet delay: the markup is leaving the document now.
    queue().async([write] {
        keepEarlierSetAside(*write);
        write->run();
    });
    // The versions belong to the set-aside markup from now on; the reloaded
    // file notes its own.
    identities_.clear();
    offeredSetAside_.reset();
}

void RecoveryJournal::setAsideToAsk(const QString& documentPath, Pages pages) {
    if (!mayWrite(documentPath)) return;
    std::shared_ptr<Scheduled> write = replacePendingWrite(documentPath, std::move(pages));
    write->setAside = true;
    write->identities.clear();
    queue().async([write] {
        keepEarlierSetAside(*write);
        write->run();
    });
    offeredSetAside_.reset();
}

void RecoveryJournal::schedule(std::shared_ptr<Scheduled> write) {
    pendingWrite_ = write;
    pendingWork_ = DelayedWork::schedule(quietDelay, [write] { queue().async([write] { write->run(); }); });
}

void RecoveryJournal::flush() {
    if (pendingWork_.cancel() && pendingWrite_) {
        std::shared_ptr<Scheduled> write = pendingWrite_;
        queue().async([write] { write->run(); });
    }
    pendingWrite_.reset();
}

void RecoveryJournal::discard(const std::optional<QString>& documentPath) {
    pendingWork_.cancel();
    pendingWrite_.reset();
    if (locked()) return;
    std::set<std::string> files;
    if (documentPath) files.insert(journalFile(folder_, *documentPath));
    if (lastPath_) files.insert(journalFile(folder_, *lastPath_));
    // Offered back and now saved (or dropped on purpose) with the rest.
    if (offeredSetAside_) files.insert(setAsideFile(folder_, *std::exchange(offeredSetAside_, std::nullopt)));
    queue().async([files] {
        for (const std::string& file : files) ::unlink(file.c_str());
    });
}

std::optional<RecoveryJournal::Pages> RecoveryJournal::pendingRecovery(const QString& documentPath) {
    if (std::optional<Pages> pages = readEntry(journalFile(folder_, documentPath), documentPath, true))
        return pages;
    std::optional<Pages> setAside = readEntry(setAsideFile(folder_, documentPath), documentPath, true);
    if (setAside) offeredSetAside_ = documentPath;
    return setAside;
}

std::optional<RecoveryJournal::Pages> RecoveryJournal::setAsideMarkup(const QString& documentPath) const {
    return readEntry(setAsideFile(folder_, documentPath), documentPath, false);
}

void RecoveryJournal::takeSetAside(const QString& documentPath) {
    offeredSetAside_ = documentPath;
}

void RecoveryJournal::dropSetAside(const QString& documentPath) {
    if (locked()) return;
    if (offeredSetAside_ == documentPath) offeredSetAside_.reset();
    queue().async([file = setAsideFile(folder_, documentPath)] { ::unlink(file.c_str()); });
}

std::optional<RecoveryJournal::Pages> RecoveryJournal::readEntry(const std::string& file,
                                                                 const QString& documentPath,
                                                                 bool sameVersion) const {
    if (locked()) return std::nullopt;
    return readEntryUnder(file, documentPath, sameVersion, fileKey_);
}

std::optional<RecoveryJournal::Pages> RecoveryJournal::readEntryUnder(const std::string& file,
                                                                      const QString& documentPath,
                                                                      bool sameVersion,
                                                                      const std::optional<Bytes>& fileKey) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    nlohmann::json entry = nlohmann::json::parse(text.str(), nullptr, false);
    if (entry.is_discarded() || !entry.is_object()) return std::nullopt;

    auto version = entry.find("version");
    if (version == entry.end() || !version->is_number_integer()) return std::nullopt;
    const bool sealed = version->get<int64_t>() == sealedFormatVersion;
    if (!sealed && version->get<int64_t>() != formatVersion) return std::nullopt;
    auto path = entry.find("path");
    if (path == entry.end() || !path->is_string() ||
        DocumentKey::resolvedPath(
            QFile::encodeName(QString::fromStdString(path->get<std::string>())).toStdString()) !=
            DocumentKey::resolvedPath(nativePath(documentPath))) {
        return std::nullopt;
    }
    // A file another program changed since never receives the old markup.
    std::optional<bool> known = isCurrentVersion(entry, documentPath);
    if (!known || (!*known && sameVersion)) return std::nullopt;
    auto pages = entry.find("pages");
    if (pages == entry.end() || !pages->is_object()) return std::nullopt;
    if (sealed) return openSealed(file, entry, fileKey, *known);
    return decodePages(*pages, [](const std::string&, size_t, const nlohmann::json& payload) {
        return payload.is_string() ? std::optional<std::string>(payload.get<std::string>()) : std::nullopt;
    });
}

bool RecoveryJournal::waitForQueue(std::chrono::milliseconds timeout) const {
    return queue().waitUntilIdle(timeout);
}

}  // namespace quillet
