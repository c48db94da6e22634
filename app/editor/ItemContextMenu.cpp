#include "app/editor/ItemContextMenu.h"

#include <QPainter>

#include "app/editor/EditorStrings.h"
#include "app/editor/ToolSettings.h"
#include "app/platform/QtConversions.h"

namespace quillet {

namespace {

QIcon swatchIcon(const RGBA& color) {
    QPixmap image(12, 12);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(toQColor(color));
    painter.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    painter.end();
    return QIcon(image);
}

}  // namespace

QMenu* showItemContextMenu(QWidget* parent, const ItemMenuActions& actions, QPoint globalPos) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (actions.editText) {
        menu->addAction(EditorStrings::editTextItem.text(), menu, actions.editText);
        menu->addSeparator();
    }
    if (actions.changeKind) {
        for (TextMarkupKind kind : allTextMarkupKinds) {
            QAction* a = menu->addAction(EditorStrings::markText(kind).text(), menu,
                                         [change = actions.changeKind, kind] { change(kind); });
            a->setCheckable(true);
            a->setChecked(actions.currentKind == kind);
        }
        menu->addSeparator();
    }
    for (const ToolSettings::Swatch& swatch : ToolSettings::palette) {
        const RGBA color = swatch.color;
        menu->addAction(swatchIcon(color), swatch.name.text(), menu,
                        [recolor = actions.recolor, color] { recolor(color); });
    }
    menu->addSeparator();
    menu->addAction(EditorStrings::copyItem.text(), menu, actions.copy);
    if (actions.duplicate) {
        menu->addAction(EditorStrings::duplicateItem.text(), menu, actions.duplicate);
    }
    menu->addAction(EditorStrings::deleteItem.text(), menu, actions.remove);
    menu->popup(globalPos);
    return menu;
}

QMenu* showTextSelectionMenu(QWidget* parent, const std::function<void()>& copy,
                             const std::function<void(TextMarkupKind)>& mark, QPoint globalPos) {
    auto* menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(EditorStrings::copyItem.text(), menu, copy);
    menu->addSeparator();
    for (TextMarkupKind kind : allTextMarkupKinds) {
        menu->addAction(EditorStrings::markText(kind).text(), menu, [mark, kind] { mark(kind); });
    }
    menu->popup(globalPos);
    return menu;
}

}  // namespace quillet
