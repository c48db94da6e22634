#include "app/ui/WindowListMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QPointer>

namespace quillet::WindowListMenu {

namespace {

// Marks the items this list owns, so a rebuild removes only them.
constexpr char listItemProperty[] = "quilletWindowListItem";

void bringToFront(QWidget* window) {
    if (window->isMinimized()) {
        window->showNormal();
    }
    window->raise();
    window->activateWindow();
}

void removeItems(QMenu& menu) {
    for (QAction* action : menu.actions()) {
        if (action->property(listItemProperty).toBool()) {
            menu.removeAction(action);
            delete action;
        }
    }
}

void addItems(QMenu& menu, QWidget& owner, const QList<QWidget*>& windows) {
    // The menu opens in the active window; another one may be active when
    // the menu is reached otherwise (its keys).
    QWidget* active = windows.contains(QApplication::activeWindow()) ? QApplication::activeWindow() : &owner;
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    QAction* separator = menu.addSeparator();
    separator->setProperty(listItemProperty, true);
    for (QWidget* window : windows) {
        // "&" in a file name is a character, not a mnemonic.
        QAction* item = menu.addAction(shownTitle(*window).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setProperty(listItemProperty, true);
        item->setCheckable(true);
        item->setChecked(window == active);
        group->addAction(item);
        QObject::connect(item, &QAction::triggered, &menu, [target = QPointer<QWidget>(window)] {
            if (target) {
                bringToFront(target);
            }
        });
    }
    // The group goes with the items of the next rebuild.
    QObject::connect(separator, &QObject::destroyed, group, &QObject::deleteLater);
}

}  // namespace

QString shownTitle(const QWidget& window) {
    QString title = window.windowTitle();
    title.replace(QStringLiteral("[*]"), window.isWindowModified() ? QStringLiteral("*") : QString());
    return title;
}

void install(QMenu& menu, QWidget& owner, OpenWindows windows) {
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu, &owner, windows = std::move(windows)] {
        removeItems(menu);
        QList<QWidget*> shown = windows ? windows() : QList<QWidget*>{&owner};
        shown.removeIf([](const QWidget* window) { return window == nullptr || window->isHidden(); });
        addItems(menu, owner, shown);
    });
}

}  // namespace quillet::WindowListMenu
