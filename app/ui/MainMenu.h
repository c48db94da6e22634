// The main menu of a document window: File (Open…, Close, Language ▸, Quit),
// View (zoom and page steps) and Help (About). Application-wide commands go
// to the shell through MenuActions; view commands go to the window's page
// view.
#pragma once

#include <functional>

#include <QString>

class QMainWindow;
class QMenu;
class QMenuBar;

namespace quillet {

class DocumentWindowController;

struct MenuActions {
    std::function<void()> open;
    std::function<void()> quit;
    std::function<void()> about;
    std::function<void(const QString& code)> selectLanguage;
    // The code whose language item carries the check mark ("" for System Default).
    std::function<QString()> checkedLanguage;
};

namespace MainMenu {

// Builds the menu bar of `window`.
void install(DocumentWindowController& window, const MenuActions& actions);

// The language submenu; its items carry their code ("", "en", "ru") as data.
QMenu* languageMenu(QMenuBar* menuBar);
// Sets the check marks of the language items for `checkedCode`.
void refreshLanguageChecks(QMenu& menu, const QString& checkedCode);

// "About Verda Edits PDF" / "О программе «Верда правит PDF»", and Quit alike.
QString aboutTitle();
QString quitTitle();

}  // namespace MainMenu

}  // namespace quillet
