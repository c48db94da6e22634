#include "app/ui/DocumentWindowController.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/platform/FileManagerReveal.h"
#include "app/platform/NotificationCenter.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DroppedFiles.h"
#include "app/ui/FindController.h"
#include "app/ui/FindStatus.h"
#include "app/ui/GoToPage.h"
#include "app/ui/ShortcutHelp.h"
#include "app/ui/Strings.h"
#include "app/ui/ThumbnailView.h"
#include "app/ui/ToolIcons.h"
#include "app/ui/UnlockFlow.h"
#include "app/ui/ViewStateKeeper.h"
#include "app/ui/WindowFit.h"
#include "app/ui/WindowStrings.h"
#include "app/view/CommentDisplay.h"
#include "app/view/PageRenderer.h"
#include "app/view/PageView.h"

namespace quillet {

namespace {

// A toolbar symbol in the palette's text colour.
QIcon symbolIcon(const QString& symbol, const QPalette& palette) {
    return ToolIcons::symbolIcon(symbol, palette.color(QPalette::WindowText),
                                 palette.color(QPalette::Disabled, QPalette::WindowText));
}

}  // namespace

DocumentWindowController::DocumentWindowController(OpenedPDF document, WindowSettings settings,
                                                   QWidget* parent)
    : QMainWindow(parent),
      document_(std::move(document)),
      settings_(std::move(settings)),
      actions_(createWindowActions(*this)),
      pageView_(new PageView(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    // The placeholder lets the title mark unsaved markup (setWindowModified).
    setWindowTitle(document_.displayName() + QStringLiteral("[*]"));
    setWindowFilePath(document_.path);
    setMinimumSize(minimumContentSize);
    if (!settings_.clock) {
        settings_.clock = [] { return QDateTime::currentSecsSinceEpoch(); };
    }
    unlock_ = new UnlockFlow(
        document_, settings_.selfTest, [this] { didUnlock(); }, [this] { close(); }, this);
    unlock_->setPrompt([this](const QString& informative, PasswordAnswer answer) {
        askForPasswordAsync(this, informative, std::move(answer));
    });
    viewState_ = new ViewStateKeeper(*pageView_, settings_.store, settings_.clock, this);
    viewState_->setPath(document_.path);
    finder_ = new FindController(*pageView_, this);

    // The pages first: page 1 renders on its own thread while the rest of
    // the window is built.
    buildSidebar();
    restoreWindowGeometry();
    WindowFit::keepOnScreen(*this);
    startFirstRender();
    buildToolbar();
    buildStatusBar();
    connectActions();

    connect(pageView_, &PageView::currentPageChanged, this, &DocumentWindowController::refreshSubtitle);
    connect(pageView_, &PageView::scaleChanged, this, &DocumentWindowController::refreshSubtitle);
    connect(pageView_, &PageView::currentPageChanged, viewState_, &ViewStateKeeper::scheduleSave);
    connect(pageView_, &PageView::visibleAreaChanged, viewState_, &ViewStateKeeper::scheduleSave);
    connect(pageView_, &PageView::scaleChanged, viewState_, &ViewStateKeeper::scheduleSave);
    connect(finder_, &FindController::searchEnded, this, [](bool found) {
        if (!found) {
            QApplication::beep();
        }
    });

    finder_->setDocument(document_.pdf);
    refreshSubtitle();
    refreshActionStates();
    // After the caller has shown the window, so the prompt has a window to sit on.
    QTimer::singleShot(0, this, &DocumentWindowController::runUnlock);
}

DocumentWindowController::~DocumentWindowController() {
    // The editor goes before the page view it works on.
    for (QObject* child : children()) {
        if (auto* attachment = qobject_cast<DocumentAttachment*>(child)) {
            delete attachment;
        }
    }
}

void DocumentWindowController::buildSidebar() {
    sidebar_ = new QWidget(this);
    sidebar_->setObjectName(QStringLiteral("QuilletSidebarPanel"));
    auto* layout = new QVBoxLayout(sidebar_);
    layout->setContentsMargins(0, 0, 0, 0);
    thumbnails_ = new ThumbnailView(*pageView_, sidebar_);
    layout->addWidget(thumbnails_);
    sidebar_->setMinimumWidth(minSidebarWidth);
    sidebar_->setMaximumWidth(maxSidebarWidth);
    connect(thumbnails_, &ThumbnailView::pageClicked, pageView_, &PageView::goToPage);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("QuilletSplitter"));
    splitter_->setHandleWidth(1);
    splitter_->addWidget(sidebar_);
    splitter_->addWidget(pageView_);
    // Only the sidebar collapses; a resized window gives its width to the pages.
    splitter_->setCollapsible(0, true);
    splitter_->setCollapsible(1, false);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);

    if (settings_.store && !settings_.selfTest) {
        splitter_->restoreState(settings_.store->value(QString::fromLatin1(sidebarStateKey)).toByteArray());
    }
    const bool shown =
        settings_.store && settings_.store->value(QString::fromLatin1(showThumbnailsKey)).toBool();
    sidebar_->setVisible(shown);
    if (shown && sidebar_->width() == 0) {
        showSidebar(sidebarWidth_);
    }
}

void DocumentWindowController::startFirstRender() {
    // Laid out now, hidden, the page view has the width it will be shown at,
    // so the scale it asks for is the one of the first paint. A file left at
    // another page or zoom is put there first, or the render would be of a
    // page nobody sees.
    layout()->activate();
    splitter_->refresh();
    pageView_->viewport()->installEventFilter(this);
    pageView_->setDocument(document_.pdf);
    if (!document_.pdf->isLocked()) {
        viewState_->restore();
    }
    // A maximized or full-screen window gets its size from the window
    // manager once shown; asked for now, at the size it had before, the page
    // would hold up the render at the right scale.
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        pageView_->requestShownPages();
    }
}

void DocumentWindowController::buildToolbar() {
    toolbar_ = addToolBar(WindowStrings::toolsLabel.text());
    toolbar_->setObjectName(QStringLiteral("QuilletToolbar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const auto flexibleSpace = [this] {
        auto* spacer = new QWidget(toolbar_);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolbar_->addWidget(spacer);
    };
    QAction* sidebar = toolbar_->addAction(symbolIcon(QStringLiteral("sidebar.left"), palette()),
                                           WindowStrings::thumbnailsLabel.text());
    sidebar->setCheckable(true);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    connect(sidebar, &QAction::triggered, this, &DocumentWindowController::toggleThumbnails);
    connect(actions_.thumbnails, &QAction::toggled, sidebar, &QAction::setChecked);

    flexibleSpace();
    // The toolbar's tools are buttons of their own: the signature button may
    // open the signature menu, where the Tools menu item and the key just
    // choose the tool.
    auto* menuTools = new QActionGroup(this);
    auto* buttons = new QActionGroup(this);
    for (size_t i = 0; i < actions_.tools.size(); ++i) {
        QAction* tool = actions_.tools[i];
        menuTools->addAction(tool);
        QAction* button = buttons->addAction(tool->icon(), tool->text());
        button->setToolTip(tool->toolTip());
        button->setCheckable(true);
        button->setEnabled(false);
        button->setData(tool->data());
        toolbar_->addAction(button);
        toolbarTools_[i] = button;
    }
    // The style button goes before this separator.
    styleSlot_ = toolbar_->addSeparator();
    flexibleSpace();

    // An on/off button for the comment text; the View menu's item beside it
    // is titled by what it will do.
    commentsButton_ = toolbar_->addAction(WindowStrings::commentsLabel.text());
    commentsButton_->setObjectName(QStringLiteral("comments"));
    commentsButton_->setCheckable(true);
    connect(commentsButton_, &QAction::triggered, actions_.commentText, &QAction::trigger);
    QAction* zoomOut = toolbar_->addAction(symbolIcon(QStringLiteral("minus.magnifyingglass"), palette()),
                                           WindowStrings::zoomLabel.text());
    zoomOut->setObjectName(QStringLiteral("zoom-out"));
    zoomOut->setToolTip(Strings::zoomOutItem.text());
    connect(zoomOut, &QAction::triggered, pageView_, &PageView::zoomOut);
    QAction* zoomIn = toolbar_->addAction(symbolIcon(QStringLiteral("plus.magnifyingglass"), palette()),
                                          WindowStrings::zoomLabel.text());
    zoomIn->setObjectName(QStringLiteral("zoom-in"));
    zoomIn->setToolTip(Strings::zoomInItem.text());
    connect(zoomIn, &QAction::triggered, pageView_, &PageView::zoomIn);

    searchField_ = new QLineEdit(toolbar_);
    searchField_->setObjectName(QStringLiteral("search"));
    searchField_->setPlaceholderText(WindowStrings::searchLabel.text());
    searchField_->setClearButtonEnabled(true);
    searchField_->setFixedWidth(200);
    searchField_->installEventFilter(this);
    connect(searchField_, &QLineEdit::textChanged, this, &DocumentWindowController::refreshActionStates);
    new FindStatus(*searchField_, *finder_);
    toolbar_->addWidget(searchField_);
}

void DocumentWindowController::buildStatusBar() {
    subtitleLabel_ = new QLabel(this);
    subtitleLabel_->setObjectName(QStringLiteral("subtitle"));
    statusBar()->addWidget(subtitleLabel_, 1);
    pageField_ = new QLineEdit(this);
    pageField_->setObjectName(QStringLiteral("page-field"));
    pageField_->setFixedWidth(56);
    pageField_->setAlignment(Qt::AlignRight);
    pageField_->setToolTip(WindowStrings::pageFieldTip.text());
    connect(pageField_, &QLineEdit::returnPressed, this, &DocumentWindowController::pageFieldEntered);
    statusBar()->addPermanentWidget(pageField_);
    zoomLabel_ = new QLabel(this);
    zoomLabel_->setObjectName(QStringLiteral("zoom"));
    zoomLabel_->setMinimumWidth(48);
    zoomLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->addPermanentWidget(zoomLabel_);
}

void DocumentWindowController::connectActions() {
    const WindowActions& a = actions_;
    connect(a.close, &QAction::triggered, this, &QWidget::close);
    connect(a.showInFileManager, &QAction::triggered, this,
            [this] { FileManagerReveal::reveal(document_.path, this); });
    connect(a.find, &QAction::triggered, this, &DocumentWindowController::performFind);
    connect(a.findNext, &QAction::triggered, this, [this] { finder_->findNext(searchField_->text()); });
    connect(a.findPrevious, &QAction::triggered, this,
            [this] { finder_->findPrevious(searchField_->text()); });
    connect(a.thumbnails, &QAction::triggered, this, &DocumentWindowController::toggleThumbnails);
    connect(a.zoomIn, &QAction::triggered, pageView_, &PageView::zoomIn);
    connect(a.zoomOut, &QAction::triggered, pageView_, &PageView::zoomOut);
    connect(a.actualSize, &QAction::triggered, pageView_, &PageView::actualSize);
    connect(a.fitWidth, &QAction::triggered, pageView_, &PageView::fitWidth);
    connect(a.goToPage, &QAction::triggered, this, &DocumentWindowController::goToPageNumber);
    connect(a.nextPage, &QAction::triggered, pageView_, &PageView::goToNextPage);
    connect(a.previousPage, &QAction::triggered, pageView_, &PageView::goToPreviousPage);
    connect(a.fullScreen, &QAction::triggered, this,
            [this](bool on) { on ? showFullScreen() : showNormal(); });
    connect(a.minimize, &QAction::triggered, this, &QWidget::showMinimized);
    connect(a.zoomWindow, &QAction::triggered, this,
            [this] { isMaximized() ? showNormal() : showMaximized(); });
    connect(a.bringAllToFront, &QAction::triggered, this, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<DocumentWindowController*>(widget) && widget->isVisible()) {
                widget->raise();
            }
        }
    });
    connect(a.shortcuts, &QAction::triggered, this, &DocumentWindowController::showShortcuts);
    a.commentText->setEnabled(true);
    connect(a.commentText, &QAction::triggered, this,
            [] { CommentDisplay::setShowsCommentText(!CommentDisplay::showsCommentText()); });
    // Any window's toggle reaches every window (the page view redraws its
    // notes on the same announcement).
    NotificationCenter::shared().observe(QString::fromLatin1(NotificationName::commentsDisplayDidChange),
                                         this, [this](const QVariant&) { refreshCommentText(); });
    refreshCommentText();
}

void DocumentWindowController::refreshCommentText() {
    const bool shown = CommentDisplay::showsCommentText();
    actions_.commentText->setText(shown ? WindowStrings::hideCommentText.text()
                                        : WindowStrings::showCommentText.text());
    commentsButton_->setChecked(shown);
    // Filled while the bubbles are open, as the toggle's state reads at a glance.
    const QString symbol = shown ? QStringLiteral("text.bubble.fill") : QStringLiteral("text.bubble");
    commentsButton_->setIcon(symbolIcon(symbol, palette()));
    commentsButton_->setToolTip(actions_.commentText->text());
    thumbnails_->viewport()->update();
}

void DocumentWindowController::restoreWindowGeometry() {
    if (settings_.store && !settings_.selfTest &&
        restoreGeometry(settings_.store->value(QString::fromLatin1(windowGeometryKey)).toByteArray())) {
        return;
    }
    // The default size, within the screen's free area with a frame around it.
    QSize size = initialContentSize;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(WindowFit::contentRoom(screen->availableGeometry(), *this));
    }
    resize(size.expandedTo(minimumContentSize));
}

QPoint DocumentWindowController::cascadedPosition(const QRect& previousFrame, const QSize& frameSize,
                                                  const QRect& available) {
    const QPoint next = previousFrame.topLeft() + QPoint(cascadeStep, cascadeStep);
    if (!available.contains(QRect(next, frameSize))) {
        return available.topLeft();
    }
    return next;
}

void DocumentWindowController::cascadeFrom(const QWidget& previous) {
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
        return;
    }
    const QScreen* screen = previous.screen();
    if (screen == nullptr) {
        return;
    }
    // The frame's size is known once the window manager has framed the
    // window; until then the previous window's frame margins stand in.
    const QSize margins = previous.frameGeometry().size() - previous.size();
    move(cascadedPosition(previous.frameGeometry(), size() + margins, screen->availableGeometry()));
}

void DocumentWindowController::setPasswordPrompt(PasswordPrompt prompt) {
    unlock_->setPrompt([prompt = std::move(prompt)](const QString& informative, PasswordAnswer answer) {
        answer(prompt(informative));
    });
}

void DocumentWindowController::setDocumentStatus(const DocumentStatus& status) {
    status_ = status;
    refreshSubtitle();
}

QString DocumentWindowController::subtitle() const {
    return statusLineText(pageView_->currentPage(), pageView_->pageCount(), status_);
}

QString DocumentWindowController::zoomText() const {
    return QString::number(qRound(pageView_->zoom() * 100)) + QLatin1Char('%');
}

void DocumentWindowController::refreshSubtitle() {
    subtitleLabel_->setText(subtitle());
    zoomLabel_->setText(pageView_->pageCount() > 0 ? zoomText() : QString());
    pageField_->setEnabled(pageView_->pageCount() > 0);
    if (!pageField_->hasFocus()) {
        pageField_->setText(pageView_->pageCount() > 0 ? QString::number(pageView_->currentPage() + 1)
                                                       : QString());
    }
}

void DocumentWindowController::refreshActionStates() {
    const bool hasQuery = !searchField_->text().isEmpty();
    actions_.findNext->setEnabled(hasQuery);
    actions_.findPrevious->setEnabled(hasQuery);
    actions_.thumbnails->setChecked(thumbnailsShown());
    actions_.goToPage->setEnabled(pageView_->pageCount() > 0);
    actions_.showInFileManager->setEnabled(!document_.path.isEmpty());
    actions_.fullScreen->setChecked(isFullScreen());
}

void DocumentWindowController::pageFieldEntered() {
    if (const std::optional<int> page = GoToPage::targetPage(pageField_->text(), pageView_->pageCount())) {
        pageView_->goToPage(*page);
    }
    pageField_->clearFocus();
    pageView_->setFocus();
    refreshSubtitle();
}

// Thumbnails

bool DocumentWindowController::thumbnailsShown() const {
    // Collapsed to nothing by dragging counts as hidden.
    return !sidebar_->isHidden() && splitter_->sizes().value(0) > 0;
}

void DocumentWindowController::showSidebar(int width) {
    sidebar_->show();
    const int total = std::max(splitter_->width() - splitter_->handleWidth(), width + 1);
    splitter_->setSizes({width, total - width});
}

void DocumentWindowController::toggleThumbnails() {
    if (thumbnailsShown()) {
        sidebarWidth_ = std::max(sidebar_->width(), static_cast<int>(minSidebarWidth));
        sidebar_->hide();
    } else {
        if (!sidebar_->isHidden()) {
            sidebarWidth_ = minSidebarWidth;  // collapsed by dragging: back at the narrowest
        }
        showSidebar(sidebarWidth_);
    }
    if (settings_.store) {
        settings_.store->setValue(QString::fromLatin1(showThumbnailsKey), thumbnailsShown());
    }
    refreshActionStates();
}

// Go to page, find, help

void DocumentWindowController::goToPageNumber() {
    if (pageView_->pageCount() == 0) {
        return;
    }
    GoToPage::ask(this, pageView_->currentPage(), pageView_->pageCount(),
                  [view = QPointer<PageView>(pageView_)](int page) {
                      if (view) {
                          view->goToPage(page);
                      }
                  });
}

void DocumentWindowController::performFind() {
    searchField_->setFocus(Qt::ShortcutFocusReason);
    searchField_->selectAll();
}

bool DocumentWindowController::searchFieldKey(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            finder_->submit(searchField_->text(), event->modifiers() & Qt::ShiftModifier);
            return true;
        case Qt::Key_Escape:
            searchField_->clear();
            finder_->clear();
            pageView_->setFocus();
            return true;
        default:
            return false;
    }
}

bool DocumentWindowController::currentPageRendered() const {
    const PageRenderer* renderer = pageView_->renderer();
    if (renderer == nullptr || pageView_->pageCount() == 0) {
        return false;
    }
    const double pixelScale = pageView_->scale() * pageView_->viewport()->devicePixelRatioF();
    return renderer->hasImage(pageView_->currentPage(), pixelScale);
}

bool DocumentWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (!firstPageShown_ && watched == pageView_->viewport() && event->type() == QEvent::Paint &&
        currentPageRendered()) {
        // The paint about to run draws the page; the signal follows it.
        firstPageShown_ = true;
        QMetaObject::invokeMethod(this, &DocumentWindowController::firstPageShown, Qt::QueuedConnection);
    }
    if (watched == searchField_ && event->type() == QEvent::KeyPress &&
        searchFieldKey(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void DocumentWindowController::showShortcuts() {
    ShortcutHelp::show(this);
}

// Unlock

void DocumentWindowController::runUnlock() {
    if (closedEmitted_) {
        return;
    }
    if (!document_.pdf->isLocked()) {
        viewState_->restore();
        return;
    }
    unlock_->run();
}

void DocumentWindowController::didUnlock() {
    pageView_->reloadDocument();
    finder_->setDocument(document_.pdf);
    refreshSubtitle();
    refreshActionStates();
    viewState_->restore();
    emit unlocked();
}

void DocumentWindowController::setFilePath(const QString& path) {
    if (path == document_.path) {
        return;
    }
    document_.path = path;
    viewState_->setPath(path);
    setWindowTitle(document_.displayName() + QStringLiteral("[*]"));
    setWindowFilePath(document_.path);
    viewState_->save();
}

// Closing, drag and drop

void DocumentWindowController::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted() || closedEmitted_) {
        return;
    }
    viewState_->save();
    if (settings_.store && !settings_.selfTest) {
        settings_.store->setValue(QString::fromLatin1(windowGeometryKey), saveGeometry());
        settings_.store->setValue(QString::fromLatin1(sidebarStateKey), splitter_->saveState());
    }
    finder_->clear();
    closedEmitted_ = true;
    emit closed(this);
}

void DocumentWindowController::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles::pdfPaths(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void DocumentWindowController::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedFiles::pdfPaths(event->mimeData());
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit openFilesRequested(paths);
    }
}

}  // namespace quillet
