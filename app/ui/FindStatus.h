// What find found, shown inside the search field at its trailing end (left of
// the clear button), where the reader's eyes are while typing: "3 of 60"
// while stepping through matches, "Not found" when the search ended empty.
#pragma once

#include <QLabel>

class QLineEdit;

namespace quillet {

class FindController;

class FindStatus : public QLabel {
    Q_OBJECT

  public:
    FindStatus(QLineEdit& field, FindController& finder);

    // "i of n" for the 0-based current index, "Not found", or nothing.
    static QString text(int currentIndex, int matchCount, bool foundNothing);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();
    void place();

    QLineEdit& field_;
    FindController& finder_;
};

}  // namespace quillet
