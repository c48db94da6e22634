// What runs around the documents: opening files into windows, the Open panel
// at launch, reopening the previous session, the language switch with its
// restart, and an orderly end — the process quits when its last window
// closes (or the launch Open panel is cancelled), once pending background
// work has finished. Everything that shows a dialog or leaves the process is
// a seam in ShellOptions, so tests run the shell headless.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <chrono>
#include <functional>

#include "app/document/DocumentController.h"
#include "app/document/OpenedPDF.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/ui/Relauncher.h"
#include "app/ui/SessionGuard.h"
#include "app/ui/SingleInstance.h"

class QWidget;

namespace quillet {

class DocumentLoaderError;
class DocumentWindowController;
class SelfTestStatus;
class SingleInstance;

// The project version CMake was given, as in "0.1.0".
const char* applicationVersion();

struct ShellOptions {
    QSettings* store = nullptr;        // the process's defaults store
    Language language = Language::en;  // this run's interface language
    bool selfTest = false;
    // A self-test run started as the continuation of the previous one (its
    // store kept): a launch without files restores the session as a normal
    // launch does, so a harness can check what the next start reopens.
    bool selfTestContinued = false;
    std::function<QStringList()> systemLanguages;
    // "Restart Now" (true) or "Later" (false).
    std::function<bool(QWidget* parent)> confirmRestart;
    // The Open panel; the chosen files, none when cancelled.
    std::function<QStringList(QWidget* parent)> chooseFiles;
    std::function<void(const QString& path, const DocumentLoaderError& error)> showOpenError;
    // The password prompt for a window's locked document; when empty, the
    // window's own non-blocking prompt.
    std::function<PasswordPrompt(QWidget* window)> passwordPrompt;
    std::function<void(QWidget* parent)> showAbout;
    Relauncher::Launch launch;
    QString program;  // what the relaunch starts
    // Leaves the application's event loop.
    std::function<void()> exitEventLoop;
    SessionGuard::Scheduler scheduler;
    // What each opened document gets (timers, save thread, journal); the
    // application's own when empty.
    std::function<InkDocument::Services()> documentServices;
    // Returns once this launch's crash-loop marks are on disk (their flush
    // may still run when the shell starts); nothing to wait for when empty.
    std::function<void()> awaitLaunchRecord;
    // How long the end waits for saves and journal writes still running.
    std::chrono::milliseconds backgroundWorkLimit{std::chrono::minutes(5)};

    // The real dialogs, QProcess, the main loop and the shared store.
    static ShellOptions forApplication(QSettings& store, Language language);
};

class ApplicationShell : public QObject {
    Q_OBJECT

  public:
    // How long the session record waits for a new window's first page at most.
    static constexpr std::chrono::milliseconds sessionRecordDelay{2000};

    explicit ApplicationShell(ShellOptions options, QObject* parent = nullptr);
    ~ApplicationShell() override;

    // After the event loop started: schedules the clean-launch reset, then
    // opens `files`, or the previous session's documents, or the Open panel.
    void didFinishLaunching(const QStringList& files);

    // Shows the file in a window (raising it when it is open already); an
    // unreadable file gets an error message. The window, or null.
    DocumentWindowController* openFile(const QString& path);
    // File ▸ Open…
    void openDocumentPanel(QWidget* parent);

    // Takes the files that later launches hand to `instance`; the instance
    // stops listening when the run ends, before any relaunch.
    void attach(SingleInstance* instance);
    // Files from another launch: opened, or with none, the front window is
    // raised (the Open panel when there is no window).
    void openHandedOverFiles(const QStringList& files);

    // The Language menu's action: "" (system default), "en" or "ru".
    void selectLanguage(const QString& code, QWidget* parent = nullptr);
    QString checkedLanguageCode() const;
    bool restartRequested() const { return restartRequested_; }
    QStringList restartList() const { return restartList_; }

    // Quit: closes every window (each document saves first; a failed save
    // asks "Close Anyway" or "Cancel", and "Cancel" calls the quit off), then
    // leaves the event loop.
    void requestQuit();
    // After the event loop has ended: waits for background work, marks the
    // session as ended cleanly, and performs a pending restart.
    void willTerminate();

    QList<DocumentWindowController*> windows() const;
    DocumentController& documents() { return documents_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void windowClosed(DocumentWindowController* window);
    void closeCancelled();
    // Open Recent: the controller's files, newest first, then "Clear Menu".
    void installRecentMenu(DocumentWindowController* window);
    void scheduleSessionRecord(DocumentWindowController* window);
    void recordSessionDocuments();
    void quitWhenNoWindows();
    QStringList openFilePaths() const;

    ShellOptions options_;
    DocumentController documents_;
    QPointer<SingleInstance> instance_;
    SelfTestStatus* selfTestStatus_ = nullptr;  // self-test mode only
    QList<QPointer<DocumentWindowController>> windows_;
    // Closed windows whose deletion waits for the event loop.
    QList<QPointer<DocumentWindowController>> closedWindows_;
    bool terminating_ = false;
    bool exitRequested_ = false;
    bool restartRequested_ = false;
    bool sessionRecordPending_ = false;
    QStringList restartList_;
};

}  // namespace quillet
