// Replacing a document's file in place for the document: saves through the
// save engine's saveInPlace (hidden file beside it, under the file's path
// lock, renamed over it only while the file is still the version this
// document last read or wrote), and putting another file's bytes in its place
// under the same rules. Runs on the save thread.
#pragma once

#include <QString>
#include <chrono>
#include <optional>
#include <string>

#include "app/document/SaveJob.h"
#include "app/document/SaveOutcome.h"
#include "core/save/FileIdentity.h"

namespace quillet::InPlaceSave {

// How long a replacement waits for another program (the quillet tool) writing the file.
inline constexpr std::chrono::milliseconds lockWait{5000};

// Throws SaveEngineError (the engine's, fileBusy, fileChanged, hardLinked).
SaveOutcome write(const SaveJob& job, const QString& target, const std::optional<FileIdentity>& expected);

// Puts a copy of `from` in place of `target`, under the same rules.
void replaceWith(const QString& from, const QString& target, const std::optional<FileIdentity>& expected);

// Why a save cannot replace the file at `path` (its file system is
// read-only, it or its folder is not writable), for the log; absent when it can.
std::optional<QString> whyReadOnly(const QString& path);

}  // namespace quillet::InPlaceSave
