#include "app/ui/MainMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenuBar>

#include "app/ui/DocumentWindowController.h"
#include "app/ui/Strings.h"
#include "app/ui/WindowListMenu.h"

namespace quillet::MainMenu {

namespace {

constexpr char languageMenuName[] = "QuilletLanguageMenu";

void addLanguageItems(QMenu& menu, const MenuActions& actions) {
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    const std::pair<const LocalizedString*, const char*> items[] = {
        {&Strings::systemDefaultItem, ""},
        {&Strings::englishItem, "en"},
        {&Strings::russianItem, "ru"},
    };
    for (const auto& [title, code] : items) {
        QAction* action = menu.addAction(title->text());
        action->setCheckable(true);
        action->setData(QString::fromLatin1(code));
        group->addAction(action);
        QObject::connect(
            action, &QAction::triggered, &menu,
            [select = actions.selectLanguage, code = QString::fromLatin1(code)] { select(code); });
    }
    // Another window may have changed the choice since this menu was built.
    QObject::connect(&menu, &QMenu::aboutToShow, &menu,
                     [&menu, checked = actions.checkedLanguage] { refreshLanguageChecks(menu, checked()); });
    refreshLanguageChecks(menu, actions.checkedLanguage());
}

void addFileMenu(QMenuBar& bar, const WindowActions& a) {
    QMenu* menu = bar.addMenu(Strings::fileMenu.text());
    menu->addAction(a.open);
    menu->addMenu(a.openRecent);
    menu->addSeparator();
    menu->addAction(a.close);
    menu->addAction(a.save);
    menu->addAction(a.saveAs);
    menu->addAction(a.revertToSaved);
    menu->addAction(a.revertToOpened);
    menu->addSeparator();
    menu->addAction(a.exportFlattened);
    menu->addAction(a.showInFileManager);
    menu->addSeparator();
    menu->addAction(a.pageSetup);
    menu->addAction(a.print);
    menu->addSeparator();
    menu->addAction(a.quit);
}

void addEditMenu(QMenuBar& bar, const WindowActions& a) {
    QMenu* menu = bar.addMenu(Strings::editMenu.text());
    menu->addAction(a.undo);
    menu->addAction(a.redo);
    menu->addSeparator();
    for (QAction* action : {a.cut, a.copy, a.paste, a.duplicateMarkup, a.deleteMarkup, a.selectAll}) {
        menu->addAction(action);
    }
    menu->addSeparator();
    menu->addAction(a.find);
    menu->addAction(a.findNext);
    menu->addAction(a.findPrevious);
}

void addViewMenu(QMenuBar& bar, const WindowActions& a) {
    QMenu* menu = bar.addMenu(Strings::viewMenu.text());
    menu->addAction(a.thumbnails);
    menu->addAction(a.commentText);
    menu->addSeparator();
    for (QAction* action : {a.zoomIn, a.zoomOut, a.actualSize, a.fitWidth}) {
        menu->addAction(action);
    }
    menu->addSeparator();
    menu->addAction(a.goToPage);
    menu->addAction(a.nextPage);
    menu->addAction(a.previousPage);
    menu->addSeparator();
    menu->addAction(a.fullScreen);
    menu->addSeparator();
    menu->addMenu(a.language);
}

void addToolsMenu(QMenuBar& bar, const WindowActions& a) {
    QMenu* menu = bar.addMenu(Strings::toolsMenu.text());
    for (QAction* tool : a.tools) {
        menu->addAction(tool);
    }
    menu->addSeparator();
    menu->addAction(a.newSignature);
    menu->addSeparator();
    for (QAction* mark : a.markText) {
        menu->addAction(mark);
    }
}

void addWindowAndHelpMenus(DocumentWindowController& owner, const WindowActions& a,
                           const MenuActions& actions) {
    QMenuBar& bar = *owner.menuBar();
    QMenu* window = bar.addMenu(Strings::windowMenu.text());
    window->addAction(a.minimize);
    window->addAction(a.zoomWindow);
    window->addSeparator();
    window->addAction(a.bringAllToFront);
    WindowListMenu::install(*window, owner, actions.openWindows);
    QMenu* help = bar.addMenu(Strings::helpMenu.text());
    help->addAction(a.shortcuts);
    help->addSeparator();
    help->addAction(a.about);
}

void connectShellActions(DocumentWindowController& window, const MenuActions& actions) {
    const WindowActions& a = window.actions();
    const std::pair<QAction*, std::function<void()>> handled[] = {
        {a.open, actions.open}, {a.quit, actions.quit}, {a.about, actions.about}};
    for (const auto& [action, handler] : handled) {
        if (handler) {
            action->setEnabled(true);
            QObject::connect(action, &QAction::triggered, &window, [handler] { handler(); });
        }
    }
    a.language->setObjectName(QString::fromLatin1(languageMenuName));
    if (actions.selectLanguage && actions.checkedLanguage) {
        addLanguageItems(*a.language, actions);
    }
}

}  // namespace

void install(DocumentWindowController& window, const MenuActions& actions) {
    connectShellActions(window, actions);
    QMenuBar* bar = window.menuBar();
    const WindowActions& a = window.actions();
    addFileMenu(*bar, a);
    addEditMenu(*bar, a);
    addViewMenu(*bar, a);
    addToolsMenu(*bar, a);
    addWindowAndHelpMenus(window, a, actions);
}

QMenu* languageMenu(QMenuBar* menuBar) {
    return menuBar->findChild<QMenu*>(QString::fromLatin1(languageMenuName));
}

void refreshLanguageChecks(QMenu& menu, const QString& checkedCode) {
    for (QAction* action : menu.actions()) {
        if (action->isCheckable()) {
            action->setChecked(action->data().toString() == checkedCode);
        }
    }
}

QString aboutTitle(Language language) {
    return Strings::aboutPrefix.in(language) + Strings::displayName.in(language) +
           Strings::namedItemSuffix.in(language);
}

QString quitTitle(Language language) {
    return Strings::quitPrefix.in(language) + Strings::displayName.in(language) +
           Strings::namedItemSuffix.in(language);
}

}  // namespace quillet::MainMenu
