// Whether comment notes show their text bubble or only their icon: one value
// for the whole process, kept under "QuilletShowComments" in the defaults
// store (absent means shown). Readable from any thread (page drawing may run
// off the main thread); a real change is written to the defaults store and
// announced once with "QuilletCommentsDisplayDidChange", upon which windows
// redraw the notes of their pages.
#pragma once

class QSettings;

namespace quillet::CommentDisplay {

inline constexpr char defaultsKey[] = "QuilletShowComments";

// Any thread. Read from the defaults store the first time it is asked on
// the main thread; shown until then.
bool showsCommentText();

// Main thread. Does nothing when the value is already `show`.
void setShowsCommentText(bool show);

// Tests: reads the value again from `settings` (the shared store when null).
void reloadForTesting(QSettings* settings = nullptr);

}  // namespace quillet::CommentDisplay
