// The main menu of a document window, with Linux conventions: File, Edit,
// View (with Language ▸), Tools, Window and Help (Keyboard Shortcuts, About),
// Quit at the end of File. The items are the window's actions; the
// application-wide ones (Open…, Quit, About, the language) go to the shell
// through MenuActions. Before a menu opens, the window's state refreshes its
// items (check marks, titles, enabled).
#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "app/platform/InterfaceLanguage.h"

class QMainWindow;
class QMenu;
class QMenuBar;
class QWidget;

namespace quillet {

class DocumentWindowController;

struct MenuActions {
    std::function<void()> open;
    std::function<void()> quit;
    std::function<void()> about;
    std::function<void(const QString& code)> selectLanguage;
    // The code whose language item carries the check mark ("" for System Default).
    std::function<QString()> checkedLanguage;
    // The open document windows in the order they were opened, for the
    // Window menu's list; none lists this window alone.
    std::function<QList<QWidget*>()> openWindows;
};

namespace MainMenu {

// Builds the menu bar of `window`.
void install(DocumentWindowController& window, const MenuActions& actions);

// The language submenu; its items carry their code ("", "en", "ru") as data.
QMenu* languageMenu(QMenuBar* menuBar);
// Sets the check marks of the language items for `checkedCode`.
void refreshLanguageChecks(QMenu& menu, const QString& checkedCode);

// "About Verda Edits PDF" / "О программе «Верда правит PDF»", and Quit alike.
QString aboutTitle(Language language = InterfaceLanguage::current());
QString quitTitle(Language language = InterfaceLanguage::current());

}  // namespace MainMenu

}  // namespace quillet
