// The window of one open document: the page view with its pages, a status
// line with the page position, and the password prompt for a locked file,
// which runs once the window is set up. Closing the window closes the
// document.
#pragma once

#include <QMainWindow>

#include "app/document/OpenedPDF.h"

class QLabel;

namespace quillet {

class PageView;

class DocumentWindowController : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize initialContentSize{1080, 820};
    static constexpr QSize minimumContentSize{520, 360};

    // Starts the unlock step on the next turn of the event loop.
    explicit DocumentWindowController(OpenedPDF document, QWidget* parent = nullptr);
    ~DocumentWindowController() override;

    const OpenedPDF& document() const { return document_; }
    QString filePath() const { return document_.path; }
    PageView* pageView() const { return pageView_; }

    // Replaces the password dialog (tests answer it themselves).
    void setPasswordPrompt(PasswordPrompt prompt) { passwordPrompt_ = std::move(prompt); }

    // "Page i of n" while the document has pages, else empty.
    QString subtitle() const;

signals:
    // Emitted once, when the window closes.
    void closed(DocumentWindowController* window);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void runUnlock();
    void refreshSubtitle();

    OpenedPDF document_;
    PageView* pageView_;
    QLabel* subtitleLabel_;
    PasswordPrompt passwordPrompt_;
    bool closedEmitted_ = false;
};

}  // namespace quillet
