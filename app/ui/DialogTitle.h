// A small dialog as wide as its title. Window managers cut a title longer
// than the title bar ("Перейти к стр…"), and a dialog sized to its content
// alone is often narrower than its title, above all in Russian.
#pragma once

#include <QString>

class QFontMetrics;
class QMessageBox;
class QWidget;

namespace quillet::DialogTitle {

// The title bar's room beyond the text: the window manager's buttons, icon
// and margins.
inline constexpr int titleBarExtra = 140;

// The narrowest width that shows `title` whole in a title bar whose font
// measures as `metrics`.
int widthFor(const QString& title, const QFontMetrics& metrics);

// Gives `dialog` that width at least, for its window title, measured in the
// bold font title bars use.
void fit(QWidget& dialog);
// The same for a message box, which sizes itself to its texts when shown
// (a minimum width set from outside is overridden then).
void fit(QMessageBox& box);

}  // namespace quillet::DialogTitle
