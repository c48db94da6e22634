#include "app/editor/Tool.h"

namespace quillet {

LocalizedString toolDisplayName(Tool tool) {
    switch (tool) {
        case Tool::select:
            return {"Select", "Выбор"};
        case Tool::pen:
            return {"Pen", "Перо"};
        case Tool::highlighter:
            return {"Highlighter", "Маркер"};
        case Tool::text:
            return {"Text", "Текст"};
        case Tool::note:
            return {"Comment", "Комментарий"};
        case Tool::arrow:
            return {"Arrow", "Стрелка"};
        case Tool::signature:
            return {"Signature", "Подпись"};
        case Tool::eraser:
            return {"Eraser", "Ластик"};
        case Tool::textHighlight:
            return {"Highlight Text", "Выделение текста"};
        case Tool::underline:
            return {"Underline", "Подчёркивание"};
        case Tool::strikeOut:
            return {"Strike Out", "Зачёркивание"};
        case Tool::squiggly:
            return {"Squiggly", "Волнистое подчёркивание"};
    }
    return {"Select", "Выбор"};
}

QString toolSymbolName(Tool tool) {
    switch (tool) {
        case Tool::select:
            return QStringLiteral("cursorarrow");
        case Tool::pen:
            return QStringLiteral("pencil.tip");
        case Tool::highlighter:
            return QStringLiteral("highlighter");
        case Tool::text:
            return QStringLiteral("character.textbox");
        case Tool::note:
            return QStringLiteral("text.bubble");
        case Tool::arrow:
            return QStringLiteral("arrow.up.right");
        case Tool::signature:
            return QStringLiteral("signature");
        case Tool::eraser:
            return QStringLiteral("eraser");
        case Tool::textHighlight:
            return QStringLiteral("highlighter.text");
        case Tool::underline:
            return QStringLiteral("underline");
        case Tool::strikeOut:
            return QStringLiteral("strikethrough");
        case Tool::squiggly:
            return QStringLiteral("squiggly");
    }
    return {};
}

}  // namespace quillet
