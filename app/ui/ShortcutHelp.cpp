#include "app/ui/ShortcutHelp.h"

#include <QMessageBox>
#include <QStringList>

#include "app/platform/InterfaceLanguage.h"
#include "app/ui/Strings.h"

namespace quillet::ShortcutHelp {

namespace {

constexpr LocalizedString lines[] = {
    {"V — select and move markup", "V — выбор и перемещение пометок"},
    {"P — pen", "P — перо"},
    {"H — highlighter; with text selected, highlight it",
     "H — маркер; если выделен текст — выделить его цветом"},
    {"T — text", "T — текст"},
    {"N — comment (a standard note in other apps)",
     "N — комментарий (в других программах — обычная заметка)"},
    {"A — arrow with a comment", "A — стрелка с комментарием"},
    {"S — signature", "S — подпись"},
    {"E — eraser", "E — ластик"},
    {"M — mark text as it is dragged over", "M — выделение текста протягиванием"},
    {"Ctrl+Shift+H, Ctrl+U — highlight, underline the selected text",
     "Ctrl+Shift+H, Ctrl+U — выделить цветом, подчеркнуть выделенный текст"},
    {"Ctrl+Shift+X, Ctrl+Shift+U — strike out, squiggle the selected text",
     "Ctrl+Shift+X, Ctrl+Shift+U — зачеркнуть, подчеркнуть волной выделенный текст"},
    {"Esc — deselect / finish typing", "Esc — снять выделение / закончить ввод"},
    {"Delete — delete the selected markup", "Delete — удалить выделенную пометку"},
    {"Arrow keys — nudge markup (Shift — by 10 pt)", "Стрелки — сдвинуть пометку (Shift — на 10 pt)"},
    {"Double-click text — edit it", "Двойной щелчок по тексту — изменить его"},
    {"Ctrl+Z / Ctrl+Shift+Z — undo / redo", "Ctrl+Z / Ctrl+Shift+Z — отменить / повторить"},
    {"Ctrl+C, Ctrl+V, Ctrl+D — copy, paste, duplicate markup",
     "Ctrl+C, Ctrl+V, Ctrl+D — скопировать, вставить, дублировать пометку"},
    {"Ctrl++ / Ctrl+− / Ctrl+0 — zoom", "Ctrl++ / Ctrl+− / Ctrl+0 — масштаб"},
    {"Ctrl+Alt+C — show or hide the text of all comments",
     "Ctrl+Alt+C — показать или скрыть текст всех комментариев"},
    {"Ctrl+Alt+S — page thumbnails", "Ctrl+Alt+S — миниатюры страниц"},
    {"Ctrl+F — find text", "Ctrl+F — поиск текста"},
    {"Home / End — first / last page", "Home / End — первая / последняя страница"},
    {"Space / Shift+Space — a screen down / up", "Пробел / Shift+Пробел — на экран вниз / вверх"},
    {"Ctrl+PgDown / Ctrl+PgUp — next / previous page",
     "Ctrl+PgDown / Ctrl+PgUp — следующая / предыдущая страница"},
    // Every other key the window answers, so that the list is the whole of them.
    {"Ctrl+X, Ctrl+A — cut markup, select all text",
     "Ctrl+X, Ctrl+A — вырезать пометку, выделить весь текст"},
    {"Ctrl+=, Ctrl+9 — zoom in, fit to width", "Ctrl+=, Ctrl+9 — крупнее, по ширине"},
    {"Ctrl+G / Ctrl+Shift+G — next / previous match",
     "Ctrl+G / Ctrl+Shift+G — следующее / предыдущее совпадение"},
    {"Ctrl+Alt+G — go to page", "Ctrl+Alt+G — перейти к странице"},
    {"Ctrl+O / Ctrl+S / Ctrl+Shift+S — open / save / save as",
     "Ctrl+O / Ctrl+S / Ctrl+Shift+S — открыть / сохранить / сохранить как"},
    {"Ctrl+Shift+E — export with flattened markup", "Ctrl+Shift+E — экспорт с впечатанными пометками"},
    {"Ctrl+P / Ctrl+Shift+P — print / page setup", "Ctrl+P / Ctrl+Shift+P — печать / параметры страницы"},
    {"F11 — full screen", "F11 — во весь экран"},
    {"Ctrl+W / Ctrl+M / Ctrl+Q — close / minimize the window / quit",
     "Ctrl+W / Ctrl+M / Ctrl+Q — закрыть / свернуть окно / выйти"},
    {"F1, Ctrl+? — this list", "F1, Ctrl+? — этот список"},
};

}  // namespace

QString text(Language language) {
    QStringList result;
    for (const LocalizedString& line : lines) {
        result.append(line.in(language));
    }
    return result.join(QLatin1Char('\n'));
}

void show(QWidget* window) {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("QuilletShortcuts"));
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(Strings::keyboardShortcutsItem.text());
    box->setText(Strings::keyboardShortcutsItem.text());
    box->setInformativeText(text());
    box->setStandardButtons(QMessageBox::Ok);
    box->open();
}

}  // namespace quillet::ShortcutHelp
