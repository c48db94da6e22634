#include "app/ui/DocumentPrompts.h"

#include <QFileDialog>
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
constexpr LocalizedString saveAs{"Save As…", "Сохранить как…"};
constexpr LocalizedString cancel{"Cancel", "Отменить"};
constexpr LocalizedString replacedPrefix{"“", "Файл «"};
constexpr LocalizedString replacedSuffix{"” was changed by another program", "» изменён другой программой"};
constexpr LocalizedString replacedInformative{
    "Add your edits to the other version (its own changes stay), keep your edits by saving over the other "
    "version, or reload the file from disk (your unsaved markup stays in the recovery journal and is offered "
    "back when you next open the file).",
    "Добавьте свои правки в другую версию (её изменения останутся), сохраните свои правки поверх другой "
    "версии или откройте файл с диска заново (несохранённые пометки останутся в журнале восстановления, и их "
    "предложат вернуть при следующем открытии файла)."};
constexpr LocalizedString keepEdits{"Keep My Edits", "Оставить мои правки"};
constexpr LocalizedString addEdits{"Add My Edits to This Version", "Добавить мои правки в эту версию"};
constexpr LocalizedString reload{"Reload from Disk", "Открыть с диска"};
constexpr LocalizedString setAsidePrefix{"Markup of “", "Пометки файла «"};
constexpr LocalizedString setAsideSuffix{"” was set aside", "» были отложены"};
constexpr LocalizedString setAsideInformative{
    "Add it to this version of the file? Its items go back to their pages; nothing of this version is "
    "removed.",
    "Добавить их в эту версию файла? Пометки вернутся на свои страницы; ничего из этой версии не удаляется."};
constexpr LocalizedString addToVersion{"Add to This Version", "Добавить в эту версию"};
constexpr LocalizedString discard{"Discard", "Удалить"};
constexpr LocalizedString notNow{"Not Now", "Не сейчас"};
constexpr LocalizedString revertToSavedPrefix{"Revert “", "Вернуть сохранённую версию «"};
constexpr LocalizedString revertToOpenedPrefix{"Revert “", "Вернуть «"};
constexpr LocalizedString revertToSavedSuffix{"” to the saved version?", "»?"};
constexpr LocalizedString revertToOpenedSuffix{"” to the version as opened?", "» к версии при открытии?"};
constexpr LocalizedString revertDropsPrefix{"This drops ", "Будет отброшено изменений пометок: "};
constexpr LocalizedString revertDropsSuffix{
    " markup changes. They are set aside and offered back when you next open the file.",
    ". Они будут отложены, и их предложат вернуть при следующем открытии файла."};
constexpr LocalizedString revertDropsOne{
    "This drops 1 markup change. It is set aside and offered back when you next open the file.",
    "Будет отброшено изменений пометок: 1. Они будут отложены, и их предложат вернуть при следующем открытии "
    "файла."};
constexpr LocalizedString revert{"Revert", "Вернуть"};
constexpr LocalizedString pdfFilter{"PDF documents (*.pdf *.PDF)", "Документы PDF (*.pdf *.PDF)"};

// A sheet on `window` with two buttons; `first` answers true.
void ask(QWidget* window, const QString& text, const QString& informative, const QString& first,
         const QString& second, std::function<void(bool)> answer) {
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
                    std::function<void(CloseChoice)> answer) {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setText(closeFailedPrefix.text() + documentName + closeFailedSuffix.text());
    box->setInformativeText(reason + QStringLiteral("\n\n") + closeFailedInformative.text());
    QPushButton* copy = box->addButton(saveAs.text(), QMessageBox::AcceptRole);
    QPushButton* close = box->addButton(closeAnyway.text(), QMessageBox::DestructiveRole);
    QPushButton* no = box->addButton(cancel.text(), QMessageBox::RejectRole);
    box->setDefaultButton(no);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::finished, box, [box, copy, close, answer = std::move(answer)](int) {
        answer(box->clickedButton() == copy    ? CloseChoice::saveAs
               : box->clickedButton() == close ? CloseChoice::closeAnyway
                                               : CloseChoice::cancel);
    });
    box->open();
}

void askAboutReplacedFile(QWidget* window, const QString& documentName,
                          std::function<void(ReplacedFileChoice)> answer) {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setText(replacedPrefix.text() + documentName + replacedSuffix.text());
    box->setInformativeText(replacedInformative.text());
    QPushButton* add = box->addButton(addEdits.text(), QMessageBox::AcceptRole);
    QPushButton* keep = box->addButton(keepEdits.text(), QMessageBox::DestructiveRole);
    QPushButton* fromDisk = box->addButton(reload.text(), QMessageBox::RejectRole);
    box->setDefaultButton(add);
    box->setEscapeButton(fromDisk);
    box->setWindowModality(Qt::WindowModal);
    // Closing the question takes the other version; the edits are set aside, never lost.
    QObject::connect(box, &QMessageBox::finished, box, [box, add, keep, answer = std::move(answer)](int) {
        answer(box->clickedButton() == add    ? ReplacedFileChoice::addMine
               : box->clickedButton() == keep ? ReplacedFileChoice::keepMine
                                              : ReplacedFileChoice::reload);
    });
    box->open();
}

void askRevert(QWidget* window, const QString& documentName, RevertKind kind, int changes,
               std::function<void(bool revert)> answer) {
    const bool toSaved = kind == RevertKind::toSaved;
    const QString text = (toSaved ? revertToSavedPrefix : revertToOpenedPrefix).text() + documentName +
                         (toSaved ? revertToSavedSuffix : revertToOpenedSuffix).text();
    const QString informative =
        changes == 1 ? revertDropsOne.text()
                     : revertDropsPrefix.text() + QString::number(changes) + revertDropsSuffix.text();
    ask(window, text, informative, revert.text(), cancel.text(), std::move(answer));
}

QFileDialog* chooseSaveAsPath(QWidget* window, const QString& path,
                              std::function<void(const QString& chosen)> chosen) {
    // Window-modal and non-blocking, like every prompt of the window.
    auto* dialog = new QFileDialog(window, saveAs.text(), path, pdfFilter.text());
    // Qt's own dialog: it speaks the interface language, a native one the system's.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, std::move(chosen));
    dialog->open();
    return dialog;
}

void askRestoreSetAside(QWidget* window, const QString& documentName,
                        std::function<void(bool restore)> answer) {
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
