#include "app/ui/DialogTitle.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>

namespace quillet::DialogTitle {

int widthFor(const QString& title, const QFontMetrics& metrics) {
    return metrics.horizontalAdvance(title) + titleBarExtra;
}

void fit(QWidget& dialog) {
    QFont bold = dialog.font();
    bold.setBold(true);
    dialog.setMinimumWidth(
        std::max(dialog.minimumWidth(), widthFor(dialog.windowTitle(), QFontMetrics(bold))));
}

void fit(QMessageBox& box) {
    QFont bold = box.font();
    bold.setBold(true);
    // Its own sizing takes the layout's width: a strut across the bottom row widens it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(widthFor(box.windowTitle(), QFontMetrics(bold)), 0, QSizePolicy::Fixed,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

}  // namespace quillet::DialogTitle
