// The one user-defaults store of the process. Normally the user's own store;
// when QUILLET_SELFTEST is set (to any value, also empty) a separate store that
// is wiped when it is first opened in the run, so a self-test never sees or
// changes the user's settings. A process the application restarts itself in
// self-test mode gets QUILLET_SELFTEST_CONTINUED and keeps the store as the
// run left it. Every component reads and writes its keys
// ("QuilletToolStyles", "QuilletSessionRunning", ...) through shared().
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace quillet {

class DefaultsStore {
  public:
    enum class Kind { user, selfTest };

    // The stores' names; on Linux they are files under $XDG_CONFIG_HOME
    // ("verda.edits.pdf.conf", "verda.edits.pdf.selftest.conf").
    static constexpr char userStoreName[] = "verda.edits.pdf";
    static constexpr char selfTestStoreName[] = "verda.edits.pdf.selftest";
    static constexpr char selfTestVariable[] = "QUILLET_SELFTEST";
    static constexpr char selfTestContinuedVariable[] = "QUILLET_SELFTEST_CONTINUED";

    static Kind kindForEnvironment();

    // The store of this process: the kind is decided on the first call (which
    // may come before the application object exists) and kept for the run; the
    // self-test store is wiped at that moment. Main thread only, like QSettings.
    static QSettings& shared();
    static Kind sharedKind();

    // A fresh handle on a store, without wiping: for the chooser and for tests.
    static std::unique_ptr<QSettings> open(Kind kind);
};

}  // namespace quillet
