// "New Signature": the pad with Clear, Cancel (Escape) and Save (Return),
// shown window-modal without blocking. Save is enabled once a stroke is
// drawn; a signature that is only a tap is not kept. The completion gets the
// new signature (already added to the library) or nothing, exactly once per
// presentation.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "app/ui/SavedSignature.h"

class QPushButton;

namespace quillet {

class SignatureLibrary;
class SignaturePadView;

class SignaturePadDialog : public QDialog {
    Q_OBJECT

  public:
    using Completion = std::function<void(std::optional<SavedSignature>)>;

    SignaturePadDialog(SignatureLibrary& library, QWidget* window);

    // Empties the pad and opens the dialog on its window. A presentation
    // still open is cancelled first.
    void present(Completion completion);

    SignaturePadView* pad() const { return pad_; }
    QPushButton* saveButton() const { return save_; }

    void clearPad();
    void cancel();
    void save();
    // Escape and closing the window cancel.
    void reject() override { cancel(); }

  private:
    void finish(std::optional<SavedSignature> result);

    SignatureLibrary& library_;
    SignaturePadView* pad_;
    QPushButton* save_;
    Completion completion_;
    bool presented_ = false;
};

}  // namespace quillet
