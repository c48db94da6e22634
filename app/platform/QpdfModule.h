// Loads the qpdf module (libverda-qpdf.so, see QpdfEngine.h) the first time it
// is needed. It is looked for in <folder of the running program>/../lib/verda-pdf:
// where the package installs it beside /usr/bin, and where the build puts it
// for every program and test it builds (build/lib/verda-pdf).
#pragma once

#include <string>

#include "app/platform/QpdfEngine.h"

namespace quillet::QpdfModule {

inline constexpr char fileName[] = "libverda-qpdf.so";
inline constexpr char folderBesideBinaries[] = "../lib/verda-pdf";

// Where the module is looked for.
std::string path();

// The module's engine; loaded once, from any thread. Throws PDFEngineError
// (writeFailed, naming the module and the loader's reason) when it cannot be
// loaded; a later call tries again.
QpdfEngine& engine();

}  // namespace quillet::QpdfModule
