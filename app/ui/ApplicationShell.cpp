#include "app/ui/ApplicationShell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "app/document/DocumentLoaderError.h"
#include "app/document/InkDocument.h"
#include "app/platform/DefaultsStore.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/SerialQueue.h"
#include "app/ui/DialogTitle.h"
#include "app/ui/DocumentAttachment.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/LanguageChoice.h"
#include "app/ui/MainMenu.h"
#include "app/ui/SelfTestStatus.h"
#include "app/ui/Strings.h"
#include "app/ui/WindowDocumentBinding.h"
#include "app/ui/WindowProbe.h"
#include "app/view/PageRenderer.h"

namespace quillet {

const char* applicationVersion() {
    return QUILLET_VERSION;
}

namespace {

bool askToRestart(QWidget* parent) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Question);
    box.setText(Strings::restartMessage.text());
    box.setInformativeText(Strings::restartInformative.text());
    QPushButton* restart = box.addButton(Strings::restartNow.text(), QMessageBox::AcceptRole);
    box.addButton(Strings::restartLater.text(), QMessageBox::RejectRole);
    box.setDefaultButton(restart);
    box.exec();
    return box.clickedButton() == restart;
}

QStringList showOpenPanel(QWidget* parent) {
    // Starts in the folder of the window's document.
    QString folder;
    if (auto* window = qobject_cast<DocumentWindowController*>(parent)) {
        folder = QFileInfo(window->filePath()).absolutePath();
    }
    // Qt's own dialog: it speaks the interface language, a native one the system's.
    return QFileDialog::getOpenFileNames(parent, QString(), folder, Strings::openPanelFilter.text(), nullptr,
                                         QFileDialog::DontUseNativeDialog);
}

void showOpenErrorAlert(const QString& path, const DocumentLoaderError& error) {
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QFileInfo(path).fileName());
    box.setText(error.localizedText(InterfaceLanguage::current()));
    box.setInformativeText(error.localizedExplanation(InterfaceLanguage::current()));
    DialogTitle::fit(box);
    box.exec();
}

void showAboutBox(QWidget* parent) {
    // As QMessageBox::about() builds it, with room for the whole title.
    QMessageBox box(QMessageBox::NoIcon, MainMenu::aboutTitle(),
                    Strings::displayName.text() + QStringLiteral("\n") + Strings::versionPrefix.text() +
                        QString::fromLatin1(applicationVersion()),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("QuilletAbout"));
    box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    DialogTitle::fit(box);
    box.exec();
}

QString normalizedPath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

}  // namespace

ShellOptions ShellOptions::forApplication(QSettings& store, Language language) {
    ShellOptions options;
    options.store = &store;
    options.language = language;
    options.selfTest = qEnvironmentVariableIsSet("QUILLET_SELFTEST");
    options.selfTestContinued = qEnvironmentVariableIsSet(DefaultsStore::selfTestContinuedVariable);
    options.systemLanguages = &LanguageChoice::systemPreferredLanguages;
    options.confirmRestart = &askToRestart;
    options.chooseFiles = &showOpenPanel;
    options.showOpenError = &showOpenErrorAlert;
    // No passwordPrompt: each window asks with its own non-blocking prompt.
    options.showAbout = &showAboutBox;
    options.launch = Relauncher::detachedProcessLauncher();
    options.program = QCoreApplication::applicationFilePath();
    options.exitEventLoop = [] { QCoreApplication::exit(0); };
    options.scheduler = SessionGuard::mainThreadScheduler();
    return options;
}

ApplicationShell::ApplicationShell(ShellOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      documents_(
          *options_.store, options_.documentServices ? options_.documentServices : [] {
              return InkDocument::Services::forApplication();
          }) {
    if (options_.selfTest) {
        selfTestStatus_ = SelfTestStatus::createIfRequested(this);
    }
    options_.store->installEventFilter(this);
}

bool ApplicationShell::eventFilter(QObject* watched, QEvent* event) {
    // QSettings writes its changes on a turn of the event loop after them
    // (the recent files of an open): while a new window's first page is on
    // its way, that write waits and goes with the session record's.
    if (watched == options_.store && event->type() == QEvent::UpdateRequest && sessionRecordPending_) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

ApplicationShell::~ApplicationShell() {
    // Windows still open (a test's, or after an aborted run) go with the
    // shell, and so do closed ones the event loop has not deleted yet: their
    // editors hold on the documents, which go with the shell next.
    terminating_ = true;
    for (const QPointer<DocumentWindowController>& window : windows_ + closedWindows_) {
        delete window.data();
    }
}

void ApplicationShell::didFinishLaunching(const QStringList& files) {
    SessionGuard::scheduleCleanLaunchReset(*options_.store, options_.scheduler);
    for (const QString& path : files) {
        openFile(path);
    }
    if (!files.isEmpty()) {
        quitWhenNoWindows();
        return;
    }
    if (options_.selfTest && !options_.selfTestContinued) {
        return;  // the self-test drives the run; no Open panel, no restored session
    }
    if (!SessionGuard::ignoresPreviousState(*options_.store)) {
        // A document that crashes the application is reopened only once the
        // launch's marks can count that crash.
        if (options_.awaitLaunchRecord) {
            options_.awaitLaunchRecord();
        }
        for (const QString& path : SessionGuard::sessionDocuments(*options_.store)) {
            if (QFileInfo::exists(path)) {
                openFile(path);
            }
        }
    }
    if (windows_.isEmpty()) {
        for (const QString& path : options_.chooseFiles(nullptr)) {
            openFile(path);
        }
    }
    quitWhenNoWindows();
}

DocumentWindowController* ApplicationShell::openFile(const QString& path) {
    const QString resolved = normalizedPath(path);
    for (const QPointer<DocumentWindowController>& window : windows_) {
        if (window && normalizedPath(window->filePath()) == resolved) {
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    InkDocument* document = nullptr;
    try {
        document = documents_.open(resolved);
    } catch (const DocumentLoaderError& error) {
        options_.showOpenError(path, error);
        return nullptr;
    }
    auto* window =
        new DocumentWindowController(OpenedPDF{document->filePath(), document->pdf(), document->password()},
                                     WindowSettings{options_.store, options_.selfTest, {}});
    // The menus first: the attachment hooks its refresh of the Edit items to
    // the menu that shows them.
    MainMenu::install(*window, MenuActions{
                                   [this, window] { openDocumentPanel(window); },
                                   [this] { requestQuit(); },
                                   [this, window] { options_.showAbout(window); },
                                   [this, window](const QString& code) { selectLanguage(code, window); },
                                   [this] { return checkedLanguageCode(); },
                                   [this] {
                                       const QList<DocumentWindowController*> open = windows();
                                       return QList<QWidget*>(open.begin(), open.end());
                                   },
                               });
    new DocumentAttachment(*window, *document);
    installRecentMenu(window);
    auto* binding = new WindowDocumentBinding(*window, *document);
    connect(binding, &WindowDocumentBinding::closeCancelled, this, &ApplicationShell::closeCancelled);
    // The document goes with its window (its close flow has run by then),
    // after the editor the window holds on the document's store.
    connect(window, &QObject::destroyed, this, [this, closing = QPointer<InkDocument>(document)] {
        if (closing) {
            documents_.close(closing);
        }
    });
    if (options_.passwordPrompt) {
        window->setPasswordPrompt(options_.passwordPrompt(window));
    }
    if (options_.selfTest) {
        WindowProbe::attachIfRequested(*window);
    }
    if (selfTestStatus_) {
        selfTestStatus_->watch(window, document);
    }
    connect(window, &DocumentWindowController::closed, this, &ApplicationShell::windowClosed);
    // After Save As the next session reopens the new file (the window has followed it by now).
    connect(document, &InkDocument::filePathChanged, this, [this] {
        if (!terminating_) {
            recordSessionDocuments();
        }
    });
    connect(window, &DocumentWindowController::openFilesRequested, this, [this](const QStringList& paths) {
        for (const QString& dropped : paths) {
            openFile(dropped);
        }
    });
    for (auto previous = windows_.crbegin(); previous != windows_.crend(); ++previous) {
        if (*previous && (*previous)->isVisible()) {
            window->cascadeFrom(**previous);
            break;
        }
    }
    windows_.append(window);
    window->show();
    scheduleSessionRecord(window);
    return window;
}

void ApplicationShell::openDocumentPanel(QWidget* parent) {
    for (const QString& path : options_.chooseFiles(parent)) {
        openFile(path);
    }
}

void ApplicationShell::attach(SingleInstance* instance) {
    instance_ = instance;
    if (instance != nullptr) {
        connect(instance, &SingleInstance::filesReceived, this, &ApplicationShell::openHandedOverFiles);
    }
}

void ApplicationShell::openHandedOverFiles(const QStringList& files) {
    if (terminating_) {
        return;
    }
    if (files.isEmpty()) {
        const QList<DocumentWindowController*> open = windows();
        if (open.isEmpty()) {
            openDocumentPanel(nullptr);
        } else {
            open.last()->raise();
            open.last()->activateWindow();
        }
        return;
    }
    for (const QString& path : files) {
        openFile(path);
    }
}

void ApplicationShell::selectLanguage(const QString& code, QWidget* parent) {
    const LanguageChoice::Selection selection =
        LanguageChoice::select(*options_.store, code, options_.systemLanguages(), options_.language);
    if (!selection.needsRestart || !options_.confirmRestart(parent)) {
        return;
    }
    restartList_ = openFilePaths();
    restartRequested_ = true;
    requestQuit();
}

QString ApplicationShell::checkedLanguageCode() const {
    return LanguageChoice::checkedCode(*options_.store);
}

void ApplicationShell::requestQuit() {
    terminating_ = true;
    const QList<QPointer<DocumentWindowController>> open = windows_;
    for (const QPointer<DocumentWindowController>& window : open) {
        // A window whose document still saves closes when the save is done.
        if (window) {
            window->close();
        }
        if (!terminating_) {
            return;  // cancelled on the way
        }
    }
    quitWhenNoWindows();
}

void ApplicationShell::installRecentMenu(DocumentWindowController* window) {
    QMenu* menu = window->actions().openRecent;
    QAction* clear = window->actions().clearRecent;
    if (menu == nullptr || clear == nullptr) {
        return;
    }
    auto fill = [this, menu, clear] {
        for (QAction* action : menu->actions()) {
            if (action->property("recentFile").isValid()) {
                menu->removeAction(action);
                action->deleteLater();
            }
        }
        QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();  // the separator
        const QStringList recent = documents_.recentFiles();
        for (const QString& path : recent) {
            auto* action = new QAction(QFileInfo(path).fileName(), menu);
            action->setProperty("recentFile", path);
            action->setToolTip(path);
            connect(action, &QAction::triggered, this, [this, path] { openFile(path); });
            menu->insertAction(first, action);
        }
        clear->setEnabled(!recent.isEmpty());
    };
    connect(menu, &QMenu::aboutToShow, this, fill);
    connect(clear, &QAction::triggered, this, [this] { documents_.clearRecentFiles(); });
    fill();
}

void ApplicationShell::closeCancelled() {
    if (exitRequested_) {
        return;
    }
    // A window stays open: the quit, and any restart with it, is off.
    terminating_ = false;
    restartRequested_ = false;
    restartList_.clear();
}

void ApplicationShell::willTerminate() {
    // From here on a new launch becomes the instance itself, the relaunch too.
    if (instance_) {
        instance_->close();
    }
    if (!SerialQueue::waitForAllQueues(options_.backgroundWorkLimit)) {
        logLine("background work still running at exit");
    }
    PageRenderer::finishRetiredWorkers();
    SessionGuard::recordCleanTermination(*options_.store);
    if (restartRequested_) {
        restartRequested_ = false;
        if (options_.selfTest) {
            qputenv(DefaultsStore::selfTestContinuedVariable, "1");
        }
        if (!Relauncher::relaunch(options_.launch, options_.program, restartList_)) {
            logLine("relaunch not acknowledged");
        }
    }
}

QList<DocumentWindowController*> ApplicationShell::windows() const {
    QList<DocumentWindowController*> result;
    for (const QPointer<DocumentWindowController>& window : windows_) {
        if (window) {
            result.append(window);
        }
    }
    return result;
}

void ApplicationShell::windowClosed(DocumentWindowController* window) {
    windows_.removeIf(
        [window](const QPointer<DocumentWindowController>& w) { return w.isNull() || w == window; });
    closedWindows_.removeIf([](const QPointer<DocumentWindowController>& w) { return w.isNull(); });
    closedWindows_.append(window);
    // At the end of the run the session keeps its documents for the next launch.
    if (!terminating_) {
        recordSessionDocuments();
    }
    quitWhenNoWindows();
}

void ApplicationShell::scheduleSessionRecord(DocumentWindowController* window) {
    // A flushed settings write costs a launch several milliseconds (more on a
    // busy disk): it waits until the page is on screen, or a while when the
    // page does not render.
    sessionRecordPending_ = true;
    auto record = [this] {
        if (sessionRecordPending_ && !terminating_) {
            recordSessionDocuments();
        }
    };
    connect(window, &DocumentWindowController::firstPageShown, this, record);
    QTimer::singleShot(sessionRecordDelay, this, record);
}

void ApplicationShell::recordSessionDocuments() {
    sessionRecordPending_ = false;
    SessionGuard::setSessionDocuments(*options_.store, openFilePaths());
}

void ApplicationShell::quitWhenNoWindows() {
    if (!windows().isEmpty() || exitRequested_) {
        return;
    }
    exitRequested_ = true;
    terminating_ = true;
    options_.exitEventLoop();
}

QStringList ApplicationShell::openFilePaths() const {
    QStringList paths;
    for (DocumentWindowController* window : windows()) {
        paths.append(window->filePath());
    }
    return paths;
}

}  // namespace quillet
