#include "app/ui/DocumentPrompts.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/platform/InterfaceLanguage.h"

namespace quillet::DocumentPrompts {

namespace {

constexpr LocalizedString closeFailedPrefix{"“", "Не удалось сохранить «"};
constexpr LocalizedString closeFailedSuffix{"” could not be saved", "»"};
constexpr LocalizedString closeFailedInformative{
    "Your markup is kept in the recovery journal and comes back when you open the file again.",
    "Пометки сохранены в журнале восстановления и вернутся при следующем открытии файла."};
constexpr LocalizedString closeAnyway{"Close Anyway", "Всё равно закрыть"};
constexpr LocalizedString cancel{"Cancel", "Отменить"};
constexpr LocalizedString replacedPrefix{"“", "Файл «"};
constexpr LocalizedString replacedSuffix{"” was changed by another program", "» изменён другой программой"};
constexpr LocalizedString replacedInformative{
    "Keep your edits by saving over the other version, or reload the file from disk (your unsaved markup "
    "stays in the recovery journal and is offered back when you next open the file).",
    "Сохраните свои правки поверх другой версии или откройте файл с диска заново (несохранённые пометки "
    "останутся в журнале восстановления, и их предложат вернуть при следующем открытии файла)."};
constexpr LocalizedString keepEdits{"Keep My Edits", "Оставить мои правки"};
constexpr LocalizedString reload{"Reload from Disk", "Открыть с диска"};
constexpr LocalizedString setAsidePrefix{"Unsaved markup was set aside when “", "Несохранённые пометки были отложены, когда файл «"};
constexpr LocalizedString setAsideSuffix{"” was reloaded from disk", "» был заново открыт с диска"};
constexpr LocalizedString setAsideInformative{
    "Add it to this version of the file? Its items go back to their pages; nothing of this version is removed.",
    "Добавить их в эту версию файла? Пометки вернутся на свои страницы; ничего из этой версии не удаляется."};
constexpr LocalizedString addToVersion{"Add to This Version", "Добавить в эту версию"};
constexpr LocalizedString discard{"Discard", "Удалить"};
constexpr LocalizedString notNow{"Not Now", "Не сейчас"};

// A sheet on `window` with two buttons; `first` answers true.
void ask(QWidget* window, const QString& text, const QString& informative, const QString& first,
         const QString& second, std::function<void(bool)> answer)
{
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setText(text);
    box->setInformativeText(informative);
    QPushButton* yes = box->addButton(first, QMessageBox::AcceptRole);
    QPushButton* no = box->addButton(second, QMessageBox::RejectRole);
    box->setDefaultButton(no);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, yes, answer = std::move(answer)](int) { answer(box->clickedButton() == yes); });
    box->open();
}

}  // namespace

void askCloseAnyway(QWidget* window, const QString& documentName, const QString& reason,
                    std::function<void(bool closeAnyway)> answer)
{
    ask(window, closeFailedPrefix.text() + documentName + closeFailedSuffix.text(),
        reason + QStringLiteral("\n\n") + closeFailedInformative.text(), closeAnyway.text(), cancel.text(),
        std::move(answer));
}

void askAboutReplacedFile(QWidget* window, const QString& documentName, std::function<void(bool keepEdits)> answer)
{
    ask(window, replacedPrefix.text() + documentName + replacedSuffix.text(), replacedInformative.text(),
        keepEdits.text(), reload.text(), std::move(answer));
}

void askRestoreSetAside(QWidget* window, const QString& documentName, std::function<void(bool restore)> answer)
{
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Question);
    box->setText(setAsidePrefix.text() + documentName + setAsideSuffix.text());
    box->setInformativeText(setAsideInformative.text());
    QPushButton* add = box->addButton(addToVersion.text(), QMessageBox::AcceptRole);
    QPushButton* drop = box->addButton(discard.text(), QMessageBox::DestructiveRole);
    box->addButton(notNow.text(), QMessageBox::RejectRole);
    box->setDefaultButton(add);
    box->setWindowModality(Qt::WindowModal);
    // Escape and closing mean "Not Now": the markup stays aside, asked again next time.
    QObject::connect(box, &QMessageBox::finished, box, [box, add, drop, answer = std::move(answer)](int) {
        if (box->clickedButton() == add || box->clickedButton() == drop) {
            answer(box->clickedButton() == add);
        }
    });
    box->open();
}

}  // namespace quillet::DocumentPrompts
