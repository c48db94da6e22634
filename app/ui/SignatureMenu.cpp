#include "app/ui/SignatureMenu.h"

#include "app/platform/InterfaceLanguage.h"

namespace quillet {

namespace {
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
        const QIcon image(QPixmap::fromImage(SignatureLibrary::thumbnail(signature, ink, ratio)));
        const QString id = QString::fromStdString(signature.id.text());
        QAction* pick = menu.addAction(image, QString());
        pick->setData(id);
        pick->setCheckable(true);
        pick->setChecked(current == signature.id);
        QObject::connect(pick, &QAction::triggered, &menu, [actions, id = signature.id] {
            if (actions.pick) actions.pick(id);
        });
        QAction* remove = deleteMenu->addAction(image, QString());
        remove->setData(id);
        QObject::connect(remove, &QAction::triggered, &menu, [actions, id = signature.id] {
            if (actions.remove) actions.remove(id);
        });
    }
    if (deleteMenu) {
        menu.setStyleSheet(QStringLiteral("QMenu { icon-size: 120px; }"));
        deleteMenu->setStyleSheet(QStringLiteral("QMenu { icon-size: 120px; }"));
        menu.addSeparator();
        menu.addMenu(deleteMenu);
    }
    QAction* create = menu.addAction(kCreate.text());
    QObject::connect(create, &QAction::triggered, &menu, [actions] {
        if (actions.create) actions.create();
    });
}

std::optional<UUID> SignatureMenu::currentAfterRemoval(const SignatureLibrary& library,
                                                       const std::optional<UUID>& current, const UUID& removed) {
    if (current != removed) return current;
    if (library.signatures().empty()) return std::nullopt;
    return library.signatures().front().id;
}

}  // namespace quillet
