#include "app/document/SaveEngine.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <new>
#include <set>

#include "app/document/CrashMarker.h"
#include "app/document/DocumentKey.h"
#include "app/platform/PDFEngineError.h"
#include "app/platform/PDFPassword.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/QpdfAnnotationEditor.h"
#include "app/platform/SelfTestHook.h"
#include "core/markup/AnnotationSerializer.h"
#include "core/markup/ItemCodec.h"
#include "core/pdf/FileAccessError.h"
#include "core/save/IncrementalWriter.h"
#include "core/save/PathLock.h"
#include "core/save/ReplacementFile.h"

namespace quillet {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<QByteArray> passwordsOf(const SaveJob& job) {
    return job.password ? passwordCandidates(QString::fromStdString(*job.password))
                        : std::vector<QByteArray>{};
}

// The writer goes through these calls; each wrapper marks a point of the
// clone or of the append for the self-test. Points inside loops are marked
// once per save.
FileClonerCalls withSelfTestPoints(const FileClonerCalls& base) {
    struct Progress {
        bool cloneClosed = false;
        bool cloneDataMarked = false;
        bool appendDataMarked = false;
    };
    auto progress = std::make_shared<Progress>();
    auto markCloneData = [progress] {
        if (!progress->cloneDataMarked) {
            progress->cloneDataMarked = true;
            SelfTestHook::reach("clone.data");
        }
    };
    FileClonerCalls calls = base;
    calls.reflink = [base, markCloneData](int destination, int source) {
        SelfTestHook::reach("clone.start");
        const int result = base.reflink(destination, source);
        if (result == 0) {
            markCloneData();
        }
        return result;
    };
    calls.copyRange = [base, markCloneData](int source, off_t* sourceOffset, int destination,
                                            off_t* destinationOffset, size_t size) {
        const ssize_t n = base.copyRange(source, sourceOffset, destination, destinationOffset, size);
        if (n > 0) {
            markCloneData();
        }
        return n;
    };
    calls.write = [base, progress, markCloneData](int fd, const void* data, size_t size) -> ssize_t {
        if (!progress->cloneClosed) {
            const ssize_t n = base.write(fd, data, size);
            if (n > 0) {
                markCloneData();
            }
            return n;
        }
        if (progress->appendDataMarked || size < 2) {
            return base.write(fd, data, size);
        }
        // Half of the update, then the point: a kill here tears the append.
        progress->appendDataMarked = true;
        const ssize_t n = base.write(fd, data, size / 2);
        SelfTestHook::reach("append.data");
        return n;
    };
    calls.fsync = [base](int fd) {
        SelfTestHook::reach("append.fsync");
        return base.fsync(fd);
    };
    calls.close = [base, progress](int fd) {
        SelfTestHook::reach(progress->cloneClosed ? "append.close" : "clone.closing");
        progress->cloneClosed = true;
        return base.close(fd);
    };
    return calls;
}

PageItemMap pageItemMap(const SaveJob& job) {
    PageItemMap map;
    for (const auto& [index, items] : job.pages) {
        map.emplace(index, items);
    }
    return map;
}

bool sourceIsSigned(const std::string& source) {
    try {
        return QpdfAnnotationEditor::open(QString::fromStdString(source)).hasSignatures();
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception&) {
        return false;
    }
}

// Everything the engine calls may throw the core's or qpdf's errors; the
// engine reports each in its own terms.
SaveEngineError::Detail detailOf(const std::exception& error) {
    if (const auto* own = dynamic_cast<const SaveEngineError*>(&error)) {
        return own->code() == SaveEngineError::Code::verificationFailed
                   ? own->detail()
                   : SaveEngineError::Detail::same(own->text());
    }
    return SaveEngineError::Detail::same(error.what());
}

std::set<std::string> itemIds(const std::vector<AnnotationItem>& items) {
    std::set<std::string> ids;
    for (const AnnotationItem& item : items) {
        ids.insert(item.id.text());
    }
    return ids;
}

// A reference qpdf's parser accepts; the editor replaces every entry that
// holds one (/AP, /Popup, /Parent) with the objects it makes.
constexpr PDFRef kPlaceholder{1, 0};

QpdfAnnotationEditor::NewAnnotation newAnnotation(const AnnotationItem& item, bool expandNotes) {
    std::optional<AnnotationSerializer::PopupReferences> popup;
    if (item.isNote() && !expandNotes) {
        popup = AnnotationSerializer::PopupReferences{kPlaceholder, kPlaceholder};
    }
    const std::string payload = ItemCodec::encode(item);
    AnnotationSerializer::Output out =
        AnnotationSerializer::serialize(item, std::nullopt, kPlaceholder, popup, payload, expandNotes);
    return {std::move(out.annotation), std::move(out.appearance), std::move(out.popup)};
}

// ".NAME.quillet-PID-..." beside NAME: the process id, when `entry` is one
// of the temporary files of a save of NAME (or qpdf's own beside one).
std::optional<long long> temporaryFileOwner(const std::string& entry, const std::string& name) {
    const std::string prefix = "." + name + ".quillet-";
    if (entry.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const size_t digits = entry.find_first_not_of("0123456789", prefix.size());
    if (digits == prefix.size() || digits == std::string::npos || entry[digits] != '-' ||
        digits - prefix.size() > 10) {
        return std::nullopt;
    }
    return std::stoll(entry.substr(prefix.size(), digits - prefix.size()));
}

}  // namespace

SaveEngine::SaveEngine() : SaveEngine(FileClonerCalls::system()) {}

SaveEngine::SaveEngine(FileClonerCalls calls, std::chrono::milliseconds lockWait)
    : calls_(std::move(calls)), lockWait_(lockWait) {}

SaveOutcome SaveEngine::run(const SaveJob& job, const std::string& destination) const {
    const Clock::time_point start = Clock::now();
    std::error_code ignored;
    const bool ownSource = std::filesystem::exists(job.source, ignored) || !job.fallbackSource;
    const std::string& source = ownSource ? job.source : *job.fallbackSource;
    const CrashMarker marker(job.documentPath);

    bool skipIncremental = false;
    if (!job.isEncrypted && marker.isStale()) {
        if (sourceIsSigned(source)) {
            // A rewrite would break the signatures; the incremental path may still work.
            logLine("last save of a signed file crashed, trying the incremental save again");
        } else {
            logLine("last save crashed, rewriting with qpdf");
            skipIncremental = true;
        }
    }

    std::optional<SaveEngineError::Detail> incrementalFailure;
    if (!skipIncremental) {
        try {
            SaveOutcome outcome = runIncremental(job, source, ownSource, destination, marker);
            outcome.duration = secondsSince(start);
            return outcome;
        } catch (const std::bad_alloc&) {
            throw;  // not a failure of this work to report and go on from
        } catch (const std::exception& error) {
            const SaveEngineError::Detail detail = detailOf(error);
            marker.remove();
            if (job.isEncrypted) {
                logLine("incremental save of an encrypted file failed: " + detail.en);
                throw SaveEngineError::encryptedUnsupported(detail);
            }
            logLine("incremental save failed, rewriting with qpdf: " + detail.en);
            incrementalFailure = detail;
        }
    }

    SelfTestHook::reach("rewrite.start");
    std::vector<std::string> warnings;
    try {
        warnings = rewriteWithFramework(job, source, destination);
    } catch (const SaveEngineError& error) {
        if (error.code() == SaveEngineError::Code::signedUnsupported && incrementalFailure) {
            throw SaveEngineError::signedUnsupported(*incrementalFailure);
        }
        throw;
    }
    SelfTestHook::reach("rewrite.written");
    verify(destination, job);
    SelfTestHook::reach("rewrite.verified");
    marker.remove();
    return SaveOutcome{SaveOutcome::Method::rewrite, std::nullopt, secondsSince(start), std::nullopt,
                       std::move(warnings),          nullptr};
}

SaveOutcome SaveEngine::runIncremental(const SaveJob& job, const std::string& source, bool ownSource,
                                       const std::string& destination, const CrashMarker& marker) const {
    SelfTestHook::reach("marker.before");
    marker.write();
    SelfTestHook::reach("marker.written");
    const IncrementalWriteResult result =
        IncrementalWriter::appendUpdate(source, destination,
                                        {.expectedPageCount = job.pageCount,
                                         .pages = pageItemMap(job),
                                         .cachedPageRefs = ownSource ? job.cachedPageRefs : std::nullopt,
                                         .password = job.password,
                                         .expandNotes = job.expandNotes,
                                         .calls = withSelfTestPoints(calls_)});
    SelfTestHook::reach("verify.start");
    verify(destination, job);
    SelfTestHook::reach("incremental.verified");
    marker.remove();
    SelfTestHook::reach("marker.removed");
    SaveOutcome outcome;
    if (ownSource && result.pageRefs && !result.pageRefs->empty()) {
        outcome.pageRefs = result.pageRefs;
    }
    return outcome;
}

void SaveEngine::verify(const std::string& destination, const SaveJob& job) {
    using Detail = SaveEngineError::Detail;
    std::optional<QpdfAnnotationEditor> pdf;
    try {
        pdf.emplace(QpdfAnnotationEditor::open(QString::fromStdString(destination), passwordsOf(job)));
    } catch (const PDFEngineError& error) {
        throw SaveEngineError::verificationFailed(
            error.code() == PDFEngineError::Code::locked ? Detail::cannotUnlock() : Detail::doesNotOpen());
    }
    SelfTestHook::reach("verify.opened");
    try {
        // Only what a viewer reads: the tree's counts and the touched pages.
        const int found = pdf->pageCount(QpdfAnnotationEditor::PageLookup::counts);
        if (found != job.pageCount) {
            throw SaveEngineError::verificationFailed(Detail::pageCount(found, job.pageCount));
        }
        size_t checked = 0;
        for (const auto& [index, items] : job.pages) {
            if (checked++ == verifiedPageLimit) {
                break;
            }
            if (checked == 1) {
                SelfTestHook::reach("verify.page");
            }
            if (index < 0 || index >= found) {
                throw SaveEngineError::verificationFailed(Detail::missingPage(index + 1LL));
            }
            std::multiset<std::string> decoded;
            for (const QpdfAnnotationEditor::Annotation& a :
                 pdf->annotations(index, QpdfAnnotationEditor::PageLookup::counts)) {
                if (a.quilletItem) {
                    if (std::optional<AnnotationItem> item = ItemCodec::decode(*a.quilletItem)) {
                        decoded.insert(item->id.text());
                    }
                }
            }
            const std::set<std::string> expected = itemIds(items);
            if (decoded.size() != items.size() ||
                !std::equal(decoded.begin(), decoded.end(), expected.begin(), expected.end())) {
                throw SaveEngineError::verificationFailed(
                    Detail::markupCount(index + 1LL, static_cast<long long>(decoded.size()),
                                        static_cast<long long>(items.size())));
            }
        }
    } catch (const SaveEngineError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& error) {
        // qpdf gave up on an object of the file while reading it back.
        logLine("verification could not read the saved file: " + std::string(error.what()));
        throw SaveEngineError::verificationFailed(Detail::doesNotOpen());
    }
}

std::vector<std::string> SaveEngine::rewriteWithFramework(const SaveJob& job, const std::string& source,
                                                          const std::string& destination) {
    std::optional<QpdfAnnotationEditor> pdf;
    try {
        pdf.emplace(QpdfAnnotationEditor::open(QString::fromStdString(source)));
    } catch (const PDFEngineError& error) {
        throw SaveEngineError::writeFailed(error.text());
    }
    if (pdf->isEncrypted()) {
        throw SaveEngineError::writeFailed("the source is encrypted");
    }
    if (pdf->hasSignatures()) {
        logLine("cannot save signatures: rewriting would invalidate them");
        throw SaveEngineError::signedUnsupported(
            {"the incremental update failed", "не удалось дописать изменения в конец файла"});
    }
    try {
        const int pageCount = pdf->pageCount();
        for (const auto& [index, items] : job.pages) {
            if (index < 0 || index >= pageCount) {
                continue;
            }
            std::vector<int> ours;
            for (const QpdfAnnotationEditor::Annotation& a : pdf->annotations(index)) {
                if (a.quilletItem && ItemCodec::decode(*a.quilletItem)) {
                    ours.push_back(a.position);
                }
            }
            pdf->removeAnnotations(index, ours);
            for (const AnnotationItem& item : items) {
                pdf->addAnnotation(index, newAnnotation(item, job.expandNotes));
            }
        }
        SelfTestHook::reach("rewrite.edited");
        return pdf->write(QString::fromStdString(destination));
    } catch (const PDFEngineError& error) {
        throw SaveEngineError::writeFailed(error.text());
    }
}

SaveOutcome SaveEngine::saveInPlace(const SaveJob& job, const std::string& target) const {
    const std::string resolved = DocumentKey::resolvedPath(target);
    SelfTestHook::reach("inplace.start");
    try {
        const PathLock lock = PathLock::acquire(resolved, lockWait_);
        SelfTestHook::reach("lock.acquired");
        const std::optional<FileIdentity> expected =
            job.targetIdentity ? job.targetIdentity : FileIdentity::ofPath(resolved);
        ReplacementFile replacement(resolved);
        SelfTestHook::reach("temporary.created");
        SaveOutcome outcome = run(job, replacement.path());
        SelfTestHook::reach("commit.start");
        replacement.commit(expected,
                           [](std::string_view step) { SelfTestHook::reach("commit." + std::string(step)); });
        SelfTestHook::reach("commit.done");
        outcome.targetIdentity = FileIdentity::ofPath(resolved);
        outcome.replacedVersion = replacement.replacedVersion();
        return outcome;
    } catch (const FileAccessError& error) {
        logLine("save in place failed: " + error.text());
        throw SaveEngineError::fromFileAccess(error);
    }
}

int SaveEngine::removeLeftovers(const std::string& documentPath) {
    const std::filesystem::path real(DocumentKey::resolvedPath(documentPath));
    const std::string name = real.filename().string();
    std::error_code error;
    std::vector<std::filesystem::path> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(real.parent_path(), error)) {
        const std::optional<long long> owner = temporaryFileOwner(entry.path().filename().string(), name);
        if (owner && processIsGone(*owner) && entry.is_regular_file(error)) {
            leftovers.push_back(entry.path());
        }
    }
    int removed = 0;
    for (const std::filesystem::path& path : leftovers) {
        if (std::filesystem::remove(path, error)) {
            logLine("removed the temporary file of an interrupted save: " + path.string());
            ++removed;
        }
    }
    return removed;
}

}  // namespace quillet
