#include "app/ui/UnlockFlow.h"

#include <QPointer>
#include <QTimer>

namespace quillet {

UnlockFlow::UnlockFlow(OpenedPDF& document, bool selfTest, std::function<void()> unlocked,
                       std::function<void()> cancelled, QObject* parent)
    : QObject(parent),
      document_(document),
      selfTest_(selfTest),
      unlocked_(std::move(unlocked)),
      cancelled_(std::move(cancelled)) {}

void UnlockFlow::run() {
    if (running_ || !document_.pdf->isLocked()) {
        return;
    }
    if (selfTest_ && qEnvironmentVariableIsSet(selfTestPasswordVariable) &&
        tryPassword(document_, qEnvironmentVariable(selfTestPasswordVariable))) {
        finish();
        return;
    }
    ask(false);
}

void UnlockFlow::ask(bool afterWrongPassword) {
    running_ = true;
    prompt_(unlockPromptText(document_, afterWrongPassword),
            [self = QPointer<UnlockFlow>(this)](std::optional<QString> password) {
                if (!self) {
                    return;
                }
                if (!password) {
                    self->running_ = false;
                    self->cancelled_();
                } else if (tryPassword(self->document_, *password)) {
                    self->finish();
                } else {
                    // Asked again from the event loop, not from inside the answer.
                    QTimer::singleShot(0, self, [self] {
                        if (self) {
                            self->ask(true);
                        }
                    });
                }
            });
}

void UnlockFlow::finish() {
    running_ = false;
    unlocked_();
}

}  // namespace quillet
