// The process entry of verda-pdf: the crash-loop bookkeeping before the
// application object exists, the defaults store and the interface language,
// then the shell and the event loop, and an orderly end.
#pragma once

namespace quillet {

int runApplication(int argc, char** argv);

}  // namespace quillet
