#include "app/ui/SignaturePadDialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/platform/InterfaceLanguage.h"
#include "app/ui/SignatureLibrary.h"
#include "app/ui/SignaturePadView.h"

namespace quillet {

namespace {
constexpr LocalizedString kTitle{"New Signature", "Новая подпись"};
constexpr LocalizedString kClear{"Clear", "Очистить"};
constexpr LocalizedString kCancel{"Cancel", "Отменить"};
constexpr LocalizedString kSave{"Save", "Сохранить"};
}  // namespace

SignaturePadDialog::SignaturePadDialog(SignatureLibrary& library, QWidget* window)
    : QDialog(window),
      library_(library),
      pad_(new SignaturePadView(this)),
      save_(new QPushButton(kSave.text(), this)) {
    setWindowTitle(kTitle.text());
    setWindowModality(Qt::WindowModal);
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(12);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->addWidget(pad_);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* clear = new QPushButton(kClear.text(), this);
    auto* cancel = new QPushButton(kCancel.text(), this);
    clear->setAutoDefault(false);
    cancel->setAutoDefault(false);
    save_->setDefault(true);
    row->addWidget(clear);
    row->addStretch();
    row->addWidget(cancel);
    row->addWidget(save_);
    stack->addLayout(row);
    resize(560, 280);

    connect(clear, &QPushButton::clicked, this, &SignaturePadDialog::clearPad);
    connect(cancel, &QPushButton::clicked, this, &SignaturePadDialog::cancel);
    connect(save_, &QPushButton::clicked, this, &SignaturePadDialog::save);
    pad_->onChange = [this] { save_->setEnabled(!pad_->strokes().empty()); };
    save_->setEnabled(false);
}

void SignaturePadDialog::present(Completion completion) {
    if (presented_) finish(std::nullopt);
    completion_ = std::move(completion);
    presented_ = true;
    pad_->clear();
    open();
    pad_->setFocus();
}

void SignaturePadDialog::clearPad() {
    pad_->clear();
}

void SignaturePadDialog::cancel() {
    finish(std::nullopt);
}

void SignaturePadDialog::save() {
    if (!presented_) return;
    std::optional<SavedSignature> made = SavedSignature::make(pad_->strokes());
    if (made) library_.add(*made);
    finish(std::move(made));
}

void SignaturePadDialog::finish(std::optional<SavedSignature> result) {
    if (!presented_) return;
    presented_ = false;
    Completion completion = std::move(completion_);
    completion_ = nullptr;
    QDialog::done(result ? QDialog::Accepted : QDialog::Rejected);
    if (completion) completion(std::move(result));
}

}  // namespace quillet
