// Where the application keeps its own files: "Quillet/" under the user's data
// folder ($XDG_DATA_HOME, normally ~/.local/share) for "Recovery/" and
// "signatures.json", and the temporary folder, in which a folder private to the
// user (PrivateFolder) holds working copies and export temporaries.
#pragma once

#include <QString>

namespace quillet::AppPaths {

inline constexpr char applicationDataFolderName[] = "Quillet";

// Absolute, without a trailing slash; not created here.
QString applicationDataFolder();
// `relative` inside the application-data folder, e.g. "Recovery" or "signatures.json".
QString applicationDataPath(const QString& relative);
QString temporaryFolder();

// Creates the folder and its parents; true when it exists afterwards.
bool ensureFolder(const QString& path);

}  // namespace quillet::AppPaths
