// The editor's texts: the names of its undo steps and its context menu, in
// English and Russian.
#pragma once

#include "app/platform/InterfaceLanguage.h"
#include "core/markup/TextMarkupKind.h"

namespace quillet::EditorStrings {

// Undo steps
inline constexpr LocalizedString drawing{"Drawing", "Рисование"};
inline constexpr LocalizedString highlight{"Highlight", "Маркер"};
inline constexpr LocalizedString text{"Text", "Текст"};
inline constexpr LocalizedString comment{"Comment", "Комментарий"};
inline constexpr LocalizedString arrow{"Arrow", "Стрелка"};
inline constexpr LocalizedString signature{"Signature", "Подпись"};
inline constexpr LocalizedString erase{"Erase", "Стирание"};
inline constexpr LocalizedString remove{"Delete", "Удаление"};
inline constexpr LocalizedString move{"Move", "Перемещение"};
inline constexpr LocalizedString resize{"Resize", "Изменение размера"};
inline constexpr LocalizedString styleChange{"Style Change", "Изменение стиля"};
inline constexpr LocalizedString paste{"Paste", "Вставка"};
inline constexpr LocalizedString textEdit{"Text Edit", "Изменение текста"};
inline constexpr LocalizedString duplicate{"Duplicate Markup", "Дублировать пометку"};
inline constexpr LocalizedString highlightText{"Highlight Text", "Выделение текста"};
inline constexpr LocalizedString underline{"Underline", "Подчёркивание"};
inline constexpr LocalizedString strikeOut{"Strike Out", "Зачёркивание"};
inline constexpr LocalizedString squiggly{"Squiggly", "Волнистое подчёркивание"};
inline constexpr LocalizedString changeKind{"Change Markup", "Изменение пометки"};

// The undo step that marks selected text with a kind of markup.
constexpr const LocalizedString& markText(TextMarkupKind kind) {
    switch (kind) {
        case TextMarkupKind::highlight:
            return highlightText;
        case TextMarkupKind::underline:
            return underline;
        case TextMarkupKind::strikeOut:
            return strikeOut;
        case TextMarkupKind::squiggly:
            return squiggly;
    }
    return highlightText;
}

// The context menu of an item
inline constexpr LocalizedString editTextItem{"Edit Text", "Редактировать текст"};
inline constexpr LocalizedString copyItem{"Copy", "Скопировать"};
inline constexpr LocalizedString duplicateItem{"Duplicate Markup", "Дублировать пометку"};
inline constexpr LocalizedString deleteItem{"Delete", "Удалить"};

}  // namespace quillet::EditorStrings
