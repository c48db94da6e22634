// The recovery journal as one document uses it: the document tells it what
// is unsaved, asks it what an earlier session left, and hands it markup to
// keep aside. Each call does nothing by default (a document without a
// journal); RecoveryJournal keeps it all on disk, and tests keep it in memory.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "app/document/SaveJob.h"

namespace quillet {

class DocumentJournal {
  public:
    virtual ~DocumentJournal() = default;

    // Remembers the version of a file this application wrote or read.
    virtual void noteIdentity(const QString&) {}
    // Writes the pages shortly after (a burst of records writes once).
    virtual void record(const QString&, PageItems) {}
    // Writes a scheduled record now (an edited document that closes).
    virtual void flush() {}
    // Drops pending writes and deletes the journal (of `path` and of the last recorded path).
    virtual void discard(const std::optional<QString>&) {}
    // The pages saved for exactly this version of the file.
    virtual std::optional<PageItems> pendingRecovery(const QString&) { return std::nullopt; }
    // The document reloads its file, which another program replaced, and
    // drops these unsaved pages: they are kept for the version they were
    // made on, apart from what the reloaded file records.
    virtual void setAside(const QString&, PageItems) {}
    // The user dropped these pages on purpose (a revert): they are kept, but
    // only ever offered back with a question, whatever version the file is.
    virtual void setAsideToAsk(const QString&, PageItems) {}
    // Markup set aside for the path, whatever version the file is now; the
    // document took it (it goes once recorded); the user declined it.
    virtual std::optional<PageItems> setAsideMarkup(const QString&) const { return std::nullopt; }
    virtual void takeSetAside(const QString&) {}
    virtual void dropSetAside(const QString&) {}
    // The file is encrypted: its markup is kept sealed under the file key
    // (absent while the file is locked: kept nowhere, and nothing opened).
    virtual void protect(bool, std::optional<std::string>) {}
};

}  // namespace quillet
