#include "app/document/SaveWriter.h"

#include <QFileInfo>
#include <new>

#include "app/document/SaveEngineError.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/platform/PlatformLog.h"

namespace quillet {

SaveWriter::SaveWriter(std::function<void(Work)> runWrite, std::function<void(Work)> toMainThread,
                       WriteFile writeFile, WorkingCopies::Places places)
    : runWrite_(std::move(runWrite)),
      toMainThread_(std::move(toMainThread)),
      writeFile_(std::move(writeFile)),
      places_(std::move(places)) {}

void SaveWriter::setWorkingCopy(const QString& path) {
    std::optional<Source> previous;
    {
        std::lock_guard lock(state_->lock);
        previous = std::exchange(state_->rewriteSource, std::nullopt);
        state_->pageRefCache.reset();
        state_->workingCopy = path;
    }
    if (previous && previous->owned && previous->path != path) {
        WorkingCopies::remove(previous->path, places_);
    }
}

void SaveWriter::setSource(SaveJob& job) const {
    std::lock_guard lock(state_->lock);
    job.source = (state_->rewriteSource ? state_->rewriteSource->path : state_->workingCopy).toStdString();
    job.cachedPageRefs = state_->pageRefCache;
}

void SaveWriter::removeRewriteSource(const QString& workingCopy) {
    std::optional<Source> source;
    {
        std::lock_guard lock(state_->lock);
        source = state_->rewriteSource;
    }
    if (source && source->owned && source->path != workingCopy) {
        WorkingCopies::remove(source->path, places_);
    }
}

void SaveWriter::write(SaveJob job, const QString& target, const std::optional<FileIdentity>& expected,
                       std::function<void(Result)> done) {
    runWrite_([state = state_, job = std::move(job), target, expected, done = std::move(done),
               writeFile = writeFile_, places = places_, toMainThread = toMainThread_]() mutable {
        Result result = run(*state, std::move(job), target, expected, writeFile, places);
        // The old version's space is given back here, on the save thread,
        // after the user has been told the save is done.
        std::shared_ptr<const HeldFile> replacedVersion;
        if (result.outcome) {
            replacedVersion = std::exchange(result.outcome->replacedVersion, nullptr);
        }
        toMainThread(
            [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); });
        replacedVersion.reset();
    });
}

SaveWriter::Result SaveWriter::run(State& state, SaveJob job, const QString& target,
                                   const std::optional<FileIdentity>& expected, const WriteFile& writeFile,
                                   const WorkingCopies::Places& places) {
    Result result;
    result.generation = job.generation;
    try {
        SaveOutcome outcome = writeFile(job, target, expected);
        // A rewritten file is the pristine source of the next saves.
        std::optional<Source> newSource;
        if (outcome.method == SaveOutcome::Method::rewrite) {
            const WorkingCopy copy = WorkingCopies::make(target, WorkingCopies::sizeLimit, places);
            if (copy.owned) {
                newSource = Source{copy.path, true};
            }
        }
        std::optional<Source> replaced;
        QString workingCopy;
        {
            std::lock_guard lock(state.lock);
            workingCopy = state.workingCopy;
            if (newSource) {
                replaced = std::exchange(state.rewriteSource, newSource);
                state.pageRefCache.reset();
            } else if (outcome.method == SaveOutcome::Method::incremental && outcome.pageRefs &&
                       !outcome.pageRefs->empty()) {
                const QString next = state.rewriteSource ? state.rewriteSource->path : state.workingCopy;
                if (next.toStdString() == job.source) {
                    state.pageRefCache = outcome.pageRefs;
                }
            }
        }
        if (replaced && replaced->owned && replaced->path != workingCopy) {
            WorkingCopies::remove(replaced->path, places);
        }
        if (outcome.method == SaveOutcome::Method::rewrite) {
            logLine("saved " + QFileInfo(target).fileName().toStdString() + " with a full rewrite");
        }
        result.outcome = std::move(outcome);
    } catch (const SaveEngineError& failure) {
        logLine("save failed: " + failure.text());
        result.error = failure.userText(InterfaceLanguage::current());
    } catch (const std::bad_alloc&) {
        throw;  // not a failure of this work to report and go on from
    } catch (const std::exception& failure) {
        logLine(std::string("save failed: ") + failure.what());
        result.error = SaveEngineError::writeFailed(failure.what()).userText(InterfaceLanguage::current());
    }
    result.saved = std::move(job.pages);
    return result;
}

}  // namespace quillet
