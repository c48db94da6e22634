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
