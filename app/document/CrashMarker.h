// The mark a save leaves while the incremental writer runs: a file
// "Quillet/Recovery/<document key>.saving" holding the saving process's id.
// It outlives its save only when that process died in the writer or in
// the verification, and then makes the document's next save skip the
// incremental path. Its own input and output failures never fail a save.
#pragma once

#include <optional>
#include <string>

namespace quillet {

class CrashMarker {
  public:
    static constexpr char fileSuffix[] = ".saving";

    // The marker of the document at `documentPath`, in the application's
    // "Recovery" folder; absent when there is no application-data folder.
    explicit CrashMarker(const std::string& documentPath);
    // The same name inside `recoveryFolder`.
    CrashMarker(const std::string& documentPath, const std::string& recoveryFolder);

    const std::optional<std::string>& path() const { return path_; }

    // Creates the folder and writes this process's id; failures are ignored.
    void write() const;
    // Whether the marker was left by a process that no longer exists. A
    // missing or unreadable marker, one that is not a decimal 32-bit number,
    // this process's own id and a process that still runs are not stale.
    bool isStale() const;
    // Removes the file; failures are ignored.
    void remove() const;

  private:
    std::optional<std::string> path_;
};

// Whether `pid` names a process that no longer exists (the signal-0 probe
// fails with ESRCH). Any other answer, including one we may not signal,
// counts as alive.
bool processIsGone(long long pid);

}  // namespace quillet
