#include "app/ui/DialogTitle.h"

#include <algorithm>

#include <QFontMetrics>
#include <QWidget>

namespace quillet::DialogTitle {

int widthFor(const QString& title, const QFontMetrics& metrics)
{
    return metrics.horizontalAdvance(title) + titleBarExtra;
}

void fit(QWidget& dialog)
{
    QFont bold = dialog.font();
    bold.setBold(true);
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), widthFor(dialog.windowTitle(), QFontMetrics(bold))));
}

}  // namespace quillet::DialogTitle
