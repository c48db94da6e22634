// The unlock step of a locked document's window: asks for the password
// without blocking other windows, asks again after a wrong one, and closes
// the window when the user cancels. In self-test mode a password from the
// environment is tried first.
#pragma once

#include <QObject>
#include <functional>

#include "app/document/OpenedPDF.h"
#include "app/ui/PasswordPrompt.h"

namespace quillet {

class UnlockFlow : public QObject {
  public:
    static constexpr char selfTestPasswordVariable[] = "QUILLET_SELFTEST_PASSWORD";

    // `unlocked` runs once the document opens, `cancelled` when the user
    // gives up.
    UnlockFlow(OpenedPDF& document, bool selfTest, std::function<void()> unlocked,
               std::function<void()> cancelled, QObject* parent);

    void setPrompt(AsyncPasswordPrompt prompt) { prompt_ = std::move(prompt); }
    bool isRunning() const { return running_; }
    // Starts the step for a locked document.
    void run();

  private:
    void ask(bool afterWrongPassword);
    void finish();

    OpenedPDF& document_;
    bool selfTest_;
    std::function<void()> unlocked_;
    std::function<void()> cancelled_;
    AsyncPasswordPrompt prompt_;
    bool running_ = false;
};

}  // namespace quillet
