// The open documents at the end of the Window menu, as Linux applications
// with several windows list them: one item per window in the order they were
// opened, titled like the window, the active one checked; choosing one
// brings that window to the front. The items are rebuilt each time the menu
// opens, so they always name the windows open at that moment.
#pragma once

#include <QList>
#include <functional>

class QMenu;
class QWidget;

namespace quillet::WindowListMenu {

using OpenWindows = std::function<QList<QWidget*>()>;

// Fills the end of `menu` (the Window menu of `owner`) before each opening.
// Without `windows`, the list holds `owner` alone.
void install(QMenu& menu, QWidget& owner, OpenWindows windows);

// The window's title as the title bar shows it (the unsaved mark included).
QString shownTitle(const QWidget& window);

}  // namespace quillet::WindowListMenu
