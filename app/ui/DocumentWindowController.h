// The window of one open document: a toolbar (thumbnails, zoom, search), the
// thumbnails sidebar and the page view side by side in a splitter, and a
// status line with the page position, the document's save status, a page
// field and the zoom. It runs the password prompt for a locked file (without
// blocking other windows), find, go to page, and remembers where each file
// was left. Its commands are QActions (WindowActions): the viewer's own are
// handled here, the rest are connected by the parts that own them. Closing
// the window closes the document.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>

#include "app/document/OpenedPDF.h"
#include "app/ui/PasswordPrompt.h"
#include "app/ui/StatusLine.h"
#include "app/ui/UnlockFlow.h"
#include "app/ui/ViewStateKeeper.h"
#include "app/ui/WindowActions.h"

class QLabel;
class QLineEdit;
class QSettings;
class QSplitter;
class QToolBar;

namespace quillet {

class FindController;
class PageView;
class ThumbnailView;

struct WindowSettings {
    // View states, the thumbnails switch and (outside self-test mode) the
    // window and sidebar geometry; none keeps nothing.
    QSettings* store = nullptr;
    // Self-test mode: no geometry is kept, and a locked document first tries
    // QUILLET_SELFTEST_PASSWORD.
    bool selfTest = false;
    // Seconds since 1970, for the view states' time.
    std::function<qint64()> clock;
};

class DocumentWindowController : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr QSize initialContentSize{1080, 820};
    static constexpr QSize minimumContentSize{520, 360};
    static constexpr int initialSidebarWidth = 170;
    static constexpr int minSidebarWidth = 120;
    static constexpr int maxSidebarWidth = 320;
    static constexpr char showThumbnailsKey[] = "QuilletShowThumbnails";
    static constexpr char windowGeometryKey[] = "QuilletDocumentWindow";
    static constexpr char sidebarStateKey[] = "QuilletSidebar";
    static constexpr const char* selfTestPasswordVariable = UnlockFlow::selfTestPasswordVariable;
    // A new window stands this far right of and below the previous one.
    static constexpr int cascadeStep = 28;

    // Starts the unlock step on the next turn of the event loop.
    explicit DocumentWindowController(OpenedPDF document, WindowSettings settings = {},
                                      QWidget* parent = nullptr);
    ~DocumentWindowController() override;

    const OpenedPDF& document() const { return document_; }
    QString filePath() const { return document_.path; }
    // Save As moved the document to `path`: the title, the file manager's
    // reveal and the view state follow (the old file's view state stays).
    void setFilePath(const QString& path);
    PageView* pageView() const { return pageView_; }
    ThumbnailView* thumbnails() const { return thumbnails_; }
    QSplitter* splitter() const { return splitter_; }
    QLineEdit* searchField() const { return searchField_; }
    QLineEdit* pageField() const { return pageField_; }
    QToolBar* toolbar() const { return toolbar_; }
    // The toolbar's tool buttons, in Tool order; checked and enabled like
    // actions().tools, which the Tools menu and the keys use.
    const std::array<QAction*, 9>& toolbarTools() const { return toolbarTools_; }
    // The style button's place in the toolbar: insert it before this action.
    QAction* toolbarStyleSlot() const { return styleSlot_; }
    FindController& finder() const { return *finder_; }
    const WindowActions& actions() const { return actions_; }

    // Before it is shown: moves this window a step right of and below
    // `previous`, back to the top left of the screen's free area when it
    // would leave it. Nothing where windows cannot place themselves (Wayland).
    void cascadeFrom(const QWidget& previous);
    static QPoint cascadedPosition(const QRect& previousFrame, const QSize& frameSize,
                                   const QRect& available);

    // A synchronous prompt (tests answer at once) or a non-blocking one.
    void setPasswordPrompt(PasswordPrompt prompt);
    void setAsyncPasswordPrompt(AsyncPasswordPrompt prompt) { unlock_->setPrompt(std::move(prompt)); }

    // What the document reports; the status line shows it after the page.
    void setDocumentStatus(const DocumentStatus& status);
    const DocumentStatus& documentStatus() const { return status_; }
    // "Page i of n · …"
    QString subtitle() const;
    QString zoomText() const;

    // The viewer's commands, also reached through actions().
    void toggleThumbnails();
    bool thumbnailsShown() const;
    void goToPageNumber();
    void performFind();
    void showShortcuts();

  signals:
    // Emitted once, when the window closes.
    void closed(DocumentWindowController* window);
    // PDF files dropped on the window.
    void openFilesRequested(const QStringList& paths);
    // The locked document was unlocked (and the pages laid out again).
    void unlocked();
    // Once, right after the page view first painted its current page's image.
    // Work that can wait (writing the session record) waits for it, so that a
    // launch shows the page first.
    void firstPageShown();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refreshCommentText();
    void startFirstRender();
    void buildToolbar();
    void buildStatusBar();
    void buildSidebar();
    void connectActions();
    void restoreWindowGeometry();
    void refreshSubtitle();
    void refreshActionStates();
    void runUnlock();
    void didUnlock();
    void showSidebar(int width);
    void pageFieldEntered();
    bool searchFieldKey(QKeyEvent* event);
    bool currentPageRendered() const;

    OpenedPDF document_;
    WindowSettings settings_;
    WindowActions actions_;
    PageView* pageView_;
    ThumbnailView* thumbnails_ = nullptr;
    QWidget* sidebar_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::array<QAction*, 9> toolbarTools_{};
    QAction* styleSlot_ = nullptr;
    QAction* commentsButton_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QLabel* subtitleLabel_ = nullptr;
    QLineEdit* pageField_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    FindController* finder_ = nullptr;
    UnlockFlow* unlock_ = nullptr;
    ViewStateKeeper* viewState_ = nullptr;
    DocumentStatus status_;
    int sidebarWidth_ = initialSidebarWidth;
    bool closedEmitted_ = false;
    bool firstPageShown_ = false;
};

}  // namespace quillet
