// How a save the user (or closing) asked for ended, for the window to act
// on: written, or why not, with the text to show.
#pragma once

#include <QString>
#include <utility>

namespace quillet {

struct SaveResult {
    enum class Status {
        saved,
        // Another program's version of the file was taken instead (reloaded,
        // or the edits added onto it): nothing of the request is left to do.
        tookOtherVersion,
        failed,         // the write failed; autosave tries again
        readOnly,       // the file cannot be saved in place
        openElsewhere,  // Save As onto a file that another window has open
        fileChanged,    // another program replaced the file and nobody could be asked
        closed,         // the document was closed first
    };

    Status status = Status::saved;
    QString message;  // for the user; empty when ok()

    static SaveResult done(Status status = Status::saved) { return {status, {}}; }
    static SaveResult failure(Status status, QString message) { return {status, std::move(message)}; }

    bool ok() const { return status == Status::saved || status == Status::tookOtherVersion; }
    bool operator==(const SaveResult&) const = default;
};

}  // namespace quillet
