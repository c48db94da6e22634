// The writing half of a document's saves: each write runs on the document's
// save thread and its completion comes back on the main thread. It keeps
// what the writes share with the main thread: the working copy, the pristine
// copy a full rewrite leaves as the source of the next saves, and the page
// references of the last incremental save, which spare the next one a read.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/document/SaveJob.h"
#include "app/document/SaveOutcome.h"
#include "app/document/WorkingCopy.h"
#include "core/save/FileIdentity.h"

namespace quillet {

class SaveWriter {
  public:
    using Work = std::function<void()>;
    // Writes the job over `target`, which must still be `expected` when it
    // is replaced (absent: a new file). Throws SaveEngineError. Any thread.
    using WriteFile = std::function<SaveOutcome(const SaveJob& job, const QString& target,
                                                const std::optional<FileIdentity>& expected)>;

    struct Result {
        std::optional<QString> error;  // for the user; absent: written
        std::optional<SaveOutcome> outcome;
        PageItems saved;         // the job's pages
        int64_t generation = 0;  // the job's store generation
    };

    SaveWriter(std::function<void(Work)> runWrite, std::function<void(Work)> toMainThread,
               WriteFile writeFile, WorkingCopies::Places places);

    // The file the document now reads (opened, unlocked, reloaded): the next
    // saves start from it; a copy left by an earlier rewrite is removed.
    void setWorkingCopy(const QString& path);
    // Where `job` reads the document from, with what the last save learnt of it.
    void setSource(SaveJob& job) const;
    // Writes on the save thread; `done` runs on the main thread.
    void write(SaveJob job, const QString& target, const std::optional<FileIdentity>& expected,
               std::function<void(Result)> done);
    // Closing: removes the copy a rewrite left, unless it is `workingCopy`.
    void removeRewriteSource(const QString& workingCopy);

  private:
    struct Source {
        QString path;
        bool owned = false;
    };
    struct State {
        std::mutex lock;
        QString workingCopy;
        std::optional<Source> rewriteSource;
        std::optional<std::vector<PDFRef>> pageRefCache;
    };
    // On the save thread: the write and what it leaves for the next ones.
    static Result run(State& state, SaveJob job, const QString& target,
                      const std::optional<FileIdentity>& expected, const WriteFile& writeFile,
                      const WorkingCopies::Places& places);

    std::function<void(Work)> runWrite_;
    std::function<void(Work)> toMainThread_;
    WriteFile writeFile_;
    WorkingCopies::Places places_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quillet
