#include "app/ui/PasswordPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "app/ui/DialogTitle.h"
#include "app/ui/Strings.h"

namespace quillet {

void askForPasswordAsync(QWidget* window, const QString& informativeText, PasswordAnswer answer) {
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("QuilletPasswordPrompt"));
    dialog->setWindowTitle(Strings::displayName.text());
    DialogTitle::fit(*dialog);
    dialog->setWindowModality(Qt::WindowModal);

    auto* message = new QLabel(Strings::passwordMessage.text(), dialog);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto* informative = new QLabel(informativeText, dialog);
    informative->setWordWrap(true);
    auto* field = new QLineEdit(dialog);
    field->setEchoMode(QLineEdit::Password);
    field->setFixedSize(260, 24);

    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* open = buttons->addButton(Strings::openButton.text(), QDialogButtonBox::AcceptRole);
    buttons->addButton(Strings::cancelButton.text(), QDialogButtonBox::RejectRole);
    open->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(message);
    layout->addWidget(informative);
    layout->addWidget(field);
    layout->addWidget(buttons);

    // finished() comes once for accept, reject, Escape and closing the window.
    auto pending = std::make_shared<PasswordAnswer>(std::move(answer));
    QObject::connect(dialog, &QDialog::finished, dialog, [pending, field](int result) {
        PasswordAnswer reply = std::exchange(*pending, nullptr);
        if (reply) {
            reply(result == QDialog::Accepted ? std::optional<QString>(field->text()) : std::nullopt);
        }
    });
    dialog->open();
    field->setFocus();
}

}  // namespace quillet
