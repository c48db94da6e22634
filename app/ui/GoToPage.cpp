#include "app/ui/GoToPage.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ui/DialogTitle.h"
#include "app/ui/Strings.h"
#include "app/ui/WindowStrings.h"

namespace quillet::GoToPage {

std::optional<int> targetPage(const QString& text, int pageCount) {
    if (pageCount <= 0) {
        return std::nullopt;
    }
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    const QStringView digits =
        QStringView(trimmed).mid(trimmed.startsWith(QLatin1Char('+')) || negative ? 1 : 0);
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        })) {
        return std::nullopt;
    }
    // Too many digits for any integer type still means "past the end".
    bool fits = false;
    const qlonglong number = digits.toLongLong(&fits);
    if (negative) {
        return 0;
    }
    if (!fits) {
        return pageCount - 1;
    }
    return static_cast<int>(std::clamp<qlonglong>(number, 1, pageCount) - 1);
}

void ask(QWidget* window, int currentPage, int pageCount, std::function<void(int page)> go) {
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("QuilletGoToPage"));
    dialog->setWindowTitle(WindowStrings::goToPageMessage.text());
    DialogTitle::fit(*dialog);
    dialog->setWindowModality(Qt::WindowModal);

    auto* message = new QLabel(WindowStrings::goToPageMessage.text(), dialog);
    QFont bold = message->font();
    bold.setBold(true);
    message->setFont(bold);
    auto* informative = new QLabel(WindowStrings::goToPageRangePrefix.text() + QString::number(pageCount) +
                                       WindowStrings::goToPageRangeSuffix.text(),
                                   dialog);
    auto* field = new QLineEdit(QString::number(currentPage + 1), dialog);
    field->setFixedSize(120, 24);
    field->selectAll();

    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* goButton = buttons->addButton(WindowStrings::goButton.text(), QDialogButtonBox::AcceptRole);
    buttons->addButton(Strings::cancelButton.text(), QDialogButtonBox::RejectRole);
    goButton->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::accepted, dialog, [field, pageCount, go = std::move(go)] {
        if (const std::optional<int> page = targetPage(field->text(), pageCount)) {
            go(*page);
        }
    });

    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(message);
    layout->addWidget(informative);
    layout->addWidget(field);
    layout->addWidget(buttons);
    dialog->open();
    field->setFocus();
}

}  // namespace quillet::GoToPage
