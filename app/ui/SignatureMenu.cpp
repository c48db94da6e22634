#include "app/ui/SignatureMenu.h"

#include <QToolButton>
#include <QWidgetAction>

#include "app/platform/InterfaceLanguage.h"

namespace quillet {

namespace {

// Menu items show icons at the small icon size; a thumbnail needs its own
// size, so each one is a flat button that triggers its action.
QAction* addThumbnail(QMenu& menu, const QImage& image, bool checked) {
    auto* action = new QWidgetAction(&menu);
    auto* button = new QToolButton;
    button->setAutoRaise(true);
    button->setCheckable(true);
    button->setChecked(checked);
    button->setIcon(QIcon(QPixmap::fromImage(image)));
    button->setIconSize(image.deviceIndependentSize().toSize());
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    action->setDefaultWidget(button);
    action->setCheckable(true);
    action->setChecked(checked);
    QObject::connect(button, &QToolButton::clicked, action, [action, &menu] {
        action->trigger();
        // The top menu closes, also when the button sits in a submenu.
        for (QWidget* w = &menu; w; w = w->parentWidget())
            if (auto* m = qobject_cast<QMenu*>(w)) m->close();
    });
    menu.addAction(action);
    return action;
}

constexpr LocalizedString kDelete{"Delete Signature", "Удалить подпись"};
constexpr LocalizedString kCreate{"Create New Signature…", "Создать новую подпись…"};
}  // namespace

void SignatureMenu::build(QMenu& menu, const SignatureLibrary& library, const std::optional<UUID>& current,
                          const SignatureMenuActions& actions) {
    menu.clear();
    const QColor ink = menu.palette().color(QPalette::Text);
    const qreal ratio = menu.devicePixelRatioF();
    QMenu* deleteMenu = library.signatures().empty() ? nullptr : new QMenu(kDelete.text(), &menu);
    for (const SavedSignature& signature : library.signatures()) {
        const QString id = QString::fromStdString(signature.id.text());
        const QImage image = SignatureLibrary::thumbnail(signature, ink, ratio);
        QAction* pick = addThumbnail(menu, image, current == signature.id);
        pick->setData(id);
        QObject::connect(pick, &QAction::triggered, &menu, [actions, id = signature.id] {
            if (actions.pick) actions.pick(id);
        });
        QAction* remove = addThumbnail(*deleteMenu, image, false);
        remove->setData(id);
        QObject::connect(remove, &QAction::triggered, &menu, [actions, id = signature.id] {
            if (actions.remove) actions.remove(id);
        });
    }
    if (deleteMenu) {
        menu.addSeparator();
        menu.addMenu(deleteMenu);
    }
    QAction* create = menu.addAction(kCreate.text());
    QObject::connect(create, &QAction::triggered, &menu, [actions] {
        if (actions.create) actions.create();
    });
}

std::optional<UUID> SignatureMenu::currentAfterRemoval(const SignatureLibrary& library,
                                                       const std::optional<UUID>& current,
                                                       const UUID& removed) {
    if (current != removed) return current;
    if (library.signatures().empty()) return std::nullopt;
    return library.signatures().front().id;
}

}  // namespace quillet
