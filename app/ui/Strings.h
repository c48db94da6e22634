// The string table of the shell and the document window: every text the user
// sees, in English and Russian. Texts are picked with .text() in the interface
// language of the run.
#pragma once

#include "app/platform/InterfaceLanguage.h"

namespace quillet::Strings {

inline constexpr LocalizedString displayName{"Verda Edits PDF", "Верда правит PDF"};
inline constexpr LocalizedString versionPrefix{"Version ", "Версия "};

// Changing the language
inline constexpr LocalizedString restartMessage{"Restart to change the language?",
                                                "Перезапустить, чтобы сменить язык?"};
inline constexpr LocalizedString restartInformative{"Open documents will be reopened.",
                                                    "Открытые документы откроются снова."};
inline constexpr LocalizedString restartNow{"Restart Now", "Перезапустить"};
inline constexpr LocalizedString restartLater{"Later", "Позже"};

// Unlocking a password-protected document
inline constexpr LocalizedString passwordMessage{"This document is password protected",
                                                 "Документ защищён паролем"};
inline constexpr LocalizedString openButton{"Open", "Открыть"};
inline constexpr LocalizedString cancelButton{"Cancel", "Отменить"};

// The Open panel
inline constexpr LocalizedString openPanelFilter{"PDF documents (*.pdf *.PDF)",
                                                 "Документы PDF (*.pdf *.PDF)"};

// Menus
inline constexpr LocalizedString fileMenu{"File", "Файл"};
inline constexpr LocalizedString openItem{"Open…", "Открыть…"};
inline constexpr LocalizedString closeItem{"Close", "Закрыть"};
inline constexpr LocalizedString openRecentMenu{"Open Recent", "Открыть недавние"};
inline constexpr LocalizedString clearMenuItem{"Clear Menu", "Очистить меню"};
inline constexpr LocalizedString saveItem{"Save", "Сохранить"};
inline constexpr LocalizedString saveAsItem{"Save As…", "Сохранить как…"};
inline constexpr LocalizedString revertToSavedItem{"Revert to Saved", "Вернуть сохранённую версию"};
inline constexpr LocalizedString revertToOpenedItem{"Revert to Version as Opened",
                                                    "Вернуть версию при открытии"};
// The export's file dialog.
inline constexpr LocalizedString exportTitle{"Export", "Экспорт"};
inline constexpr LocalizedString exportFlattenedItem{"Export with Flattened Markup…",
                                                     "Экспорт с впечатанными пометками…"};
inline constexpr LocalizedString showInFileManagerItem{"Show in File Manager",
                                                       "Показать в файловом менеджере"};
inline constexpr LocalizedString pageSetupItem{"Page Setup…", "Параметры страницы…"};
inline constexpr LocalizedString printItem{"Print…", "Напечатать…"};
inline constexpr LocalizedString editMenu{"Edit", "Правка"};
inline constexpr LocalizedString undoItem{"Undo", "Отменить"};
inline constexpr LocalizedString redoItem{"Redo", "Повторить"};
// Followed by the step's name: "Undo Move" / "Отменить: Перемещение".
inline constexpr LocalizedString undoStepPrefix{"Undo ", "Отменить: "};
inline constexpr LocalizedString redoStepPrefix{"Redo ", "Повторить: "};
inline constexpr LocalizedString cutItem{"Cut", "Вырезать"};
inline constexpr LocalizedString copyItem{"Copy", "Скопировать"};
inline constexpr LocalizedString pasteItem{"Paste", "Вставить"};
inline constexpr LocalizedString duplicateMarkupItem{"Duplicate Markup", "Дублировать пометку"};
inline constexpr LocalizedString deleteItem{"Delete", "Удалить"};
inline constexpr LocalizedString selectAllItem{"Select All", "Выбрать все"};
inline constexpr LocalizedString findItem{"Find…", "Найти…"};
inline constexpr LocalizedString findNextItem{"Find Next", "Найти далее"};
inline constexpr LocalizedString findPreviousItem{"Find Previous", "Найти ранее"};
inline constexpr LocalizedString pageThumbnailsItem{"Page Thumbnails", "Миниатюры страниц"};
inline constexpr LocalizedString goToPageItem{"Go to Page…", "Перейти к странице…"};
inline constexpr LocalizedString fullScreenItem{"Enter Full Screen", "Во весь экран"};
inline constexpr LocalizedString toolsMenu{"Tools", "Инструменты"};
inline constexpr LocalizedString newSignatureItem{"New Signature…", "Новая подпись…"};
// The Tools menu's marks for the selected text.
inline constexpr LocalizedString highlightSelectionItem{"Highlight", "Выделить"};
inline constexpr LocalizedString underlineSelectionItem{"Underline", "Подчеркнуть"};
inline constexpr LocalizedString strikeOutSelectionItem{"Strike Out", "Зачеркнуть"};
inline constexpr LocalizedString squigglySelectionItem{"Squiggly", "Подчеркнуть волнистой линией"};
inline constexpr LocalizedString windowMenu{"Window", "Окно"};
inline constexpr LocalizedString minimizeItem{"Minimize", "Свернуть"};
inline constexpr LocalizedString maximizeItem{"Maximize", "Развернуть"};
inline constexpr LocalizedString bringAllToFrontItem{"Bring All to Front", "Все окна — на передний план"};
inline constexpr LocalizedString keyboardShortcutsItem{"Keyboard Shortcuts", "Сочетания клавиш"};
inline constexpr LocalizedString viewMenu{"View", "Вид"};
inline constexpr LocalizedString zoomInItem{"Zoom In", "Увеличить"};
inline constexpr LocalizedString zoomOutItem{"Zoom Out", "Уменьшить"};
inline constexpr LocalizedString actualSizeItem{"Actual Size", "Реальный размер"};
inline constexpr LocalizedString fitWidthItem{"Fit to Width", "По ширине"};
inline constexpr LocalizedString nextPageItem{"Next Page", "Следующая страница"};
inline constexpr LocalizedString previousPageItem{"Previous Page", "Предыдущая страница"};
inline constexpr LocalizedString languageMenu{"Language", "Язык"};
inline constexpr LocalizedString systemDefaultItem{"System Default", "Как в системе"};
inline constexpr LocalizedString englishItem{"English", "English"};
inline constexpr LocalizedString russianItem{"Русский", "Русский"};
inline constexpr LocalizedString helpMenu{"Help", "Справка"};
// "About Verda Edits PDF" / "О программе «Верда правит PDF»"; the same frame
// for Quit.
inline constexpr LocalizedString aboutPrefix{"About ", "О программе «"};
inline constexpr LocalizedString quitPrefix{"Quit ", "Завершить «"};
inline constexpr LocalizedString namedItemSuffix{"", "»"};

// The window's status line: "Page 2 of 10" / "Стр. 2 из 10"
inline constexpr LocalizedString pagePrefix{"Page ", "Стр. "};
inline constexpr LocalizedString pageOf{" of ", " из "};

}  // namespace quillet::Strings
