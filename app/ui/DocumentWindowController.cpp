#include "app/ui/DocumentWindowController.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "app/ui/PageView.h"
#include "app/ui/PasswordPrompt.h"
#include "app/ui/Strings.h"

namespace quillet {

DocumentWindowController::DocumentWindowController(OpenedPDF document, QWidget* parent)
    : QMainWindow(parent), document_(std::move(document)), pageView_(new PageView(this)),
      subtitleLabel_(new QLabel(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(document_.displayName());
    setWindowFilePath(document_.path);
    setCentralWidget(pageView_);
    statusBar()->addWidget(subtitleLabel_);
    resize(initialContentSize);
    setMinimumSize(minimumContentSize);

    passwordPrompt_ = [this](const QString& informative) { return askForPassword(this, informative); };
    connect(pageView_, &PageView::currentPageChanged, this, &DocumentWindowController::refreshSubtitle);
    pageView_->setDocument(document_.pdf);
    refreshSubtitle();
    // After the caller has shown the window, so the prompt has a window to sit on.
    QTimer::singleShot(0, this, &DocumentWindowController::runUnlock);
}

DocumentWindowController::~DocumentWindowController() = default;

QString DocumentWindowController::subtitle() const
{
    const int count = pageView_->pageCount();
    if (count == 0) {
        return {};
    }
    return Strings::pagePrefix.text() + QString::number(pageView_->currentPage() + 1) + Strings::pageOf.text() +
           QString::number(count);
}

void DocumentWindowController::refreshSubtitle()
{
    subtitleLabel_->setText(subtitle());
}

void DocumentWindowController::runUnlock()
{
    if (closedEmitted_) {
        return;
    }
    switch (unlockDocument(document_, passwordPrompt_)) {
    case UnlockOutcome::notLocked:
        return;
    case UnlockOutcome::unlocked:
        pageView_->reloadDocument();
        refreshSubtitle();
        return;
    case UnlockOutcome::cancelled:
        close();
        return;
    }
}

void DocumentWindowController::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && !closedEmitted_) {
        closedEmitted_ = true;
        emit closed(this);
    }
}

}  // namespace quillet
