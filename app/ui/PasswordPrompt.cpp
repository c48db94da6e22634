#include "app/ui/PasswordPrompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/Strings.h"

namespace quillet {

std::optional<QString> askForPassword(QWidget* parent, const QString& informativeText)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(Strings::displayName.text());
    dialog.setWindowModality(Qt::WindowModal);

    auto* message = new QLabel(Strings::passwordMessage.text(), &dialog);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto* informative = new QLabel(informativeText, &dialog);
    informative->setWordWrap(true);
    auto* field = new QLineEdit(&dialog);
    field->setEchoMode(QLineEdit::Password);
    field->setFixedSize(260, 24);

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* open = buttons->addButton(Strings::openButton.text(), QDialogButtonBox::AcceptRole);
    buttons->addButton(Strings::cancelButton.text(), QDialogButtonBox::RejectRole);
    open->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(message);
    layout->addWidget(informative);
    layout->addWidget(field);
    layout->addWidget(buttons);
    field->setFocus();

    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return field->text();
}

}  // namespace quillet
