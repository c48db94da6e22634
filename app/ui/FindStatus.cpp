#include "app/ui/FindStatus.h"

#include <QEvent>
#include <QLineEdit>

#include "app/ui/FindController.h"
#include "app/ui/WindowStrings.h"

namespace quillet {

FindStatus::FindStatus(QLineEdit& field, FindController& finder)
    : QLabel(&field), field_(field), finder_(finder) {
    setObjectName(QStringLiteral("find-status"));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setForegroundRole(QPalette::PlaceholderText);
    // Clicks go to the field underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    field_.installEventFilter(this);
    connect(&finder_, &FindController::stateChanged, this, &FindStatus::refresh);
    // A changed query has not been searched yet: the old count would mislead.
    connect(&field_, &QLineEdit::textChanged, this, &FindStatus::refresh);
    refresh();
}

QString FindStatus::text(int currentIndex, int matchCount, bool foundNothing) {
    if (foundNothing) {
        return WindowStrings::notFound.text();
    }
    if (currentIndex < 0 || matchCount == 0) {
        return QString();
    }
    return QString::number(currentIndex + 1) + WindowStrings::matchOf.text() + QString::number(matchCount);
}

void FindStatus::refresh() {
    if (field_.text() != finder_.query()) {
        setText(QString());
    } else {
        setText(
            text(finder_.currentIndex(), static_cast<int>(finder_.matches().size()), finder_.foundNothing()));
    }
    place();
}

void FindStatus::place() {
    // The clear button takes about a square of the field's height, and its
    // margin.
    const int width = QLabel::text().isEmpty() ? 0 : sizeHint().width() + 4;
    const int clearButton = field_.height() + 6;
    setGeometry(field_.width() - clearButton - width, 0, width, field_.height());
    setVisible(width > 0);
    // Matches arrive by the thousand: the field is laid out again only when
    // the count needs more room.
    if (field_.textMargins().right() != width) {
        field_.setTextMargins(0, 0, width, 0);
    }
}

bool FindStatus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &field_ && event->type() == QEvent::Resize) {
        place();
    }
    return QLabel::eventFilter(watched, event);
}

}  // namespace quillet
