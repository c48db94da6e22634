// The document window's own texts (status line, go to page, find, the
// shortcut help), in English and Russian.
#pragma once

#include "app/platform/InterfaceLanguage.h"

namespace quillet::WindowStrings {

// The status line: "Page 3 of 40 · Saving…" / "Стр. 3 из 40 · Сохранение…"
inline constexpr LocalizedString partSeparator{" · ", " · "};
inline constexpr LocalizedString saving{"Saving…", "Сохранение…"};
inline constexpr LocalizedString notSavedPrefix{"Not saved: ", "Не сохранено: "};
inline constexpr LocalizedString pageFieldTip{"Type a page number and press Return",
                                              "Введите номер страницы и нажмите Enter"};

// Go to page
inline constexpr LocalizedString goToPageMessage{"Go to Page", "Перейти к странице"};
inline constexpr LocalizedString goToPageRangePrefix{"Page number (1–", "Номер страницы (1–"};
inline constexpr LocalizedString goToPageRangeSuffix{")", ")"};
inline constexpr LocalizedString goButton{"Go", "Перейти"};

// Toolbar
inline constexpr LocalizedString thumbnailsLabel{"Thumbnails", "Миниатюры"};
inline constexpr LocalizedString toolsLabel{"Tools", "Инструменты"};
inline constexpr LocalizedString styleLabel{"Style", "Стиль"};
inline constexpr LocalizedString commentsLabel{"Comments", "Комментарии"};
inline constexpr LocalizedString zoomLabel{"Zoom", "Масштаб"};
inline constexpr LocalizedString searchLabel{"Search", "Поиск"};
// Inside the search field: "3 of 60" / "3 из 60", or nothing found.
inline constexpr LocalizedString matchOf{" of ", " из "};
inline constexpr LocalizedString notFound{"Not found", "Не найдено"};
inline constexpr LocalizedString hideCommentText{"Hide Comment Text", "Скрыть текст комментариев"};
inline constexpr LocalizedString showCommentText{"Show Comment Text", "Показать текст комментариев"};

}  // namespace quillet::WindowStrings
