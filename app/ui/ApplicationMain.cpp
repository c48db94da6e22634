#include "app/ui/ApplicationMain.h"

#include <malloc.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QThreadPool>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <future>
#include <optional>
#include <string_view>

#include "app/document/WorkingCopy.h"
#include "app/platform/DefaultsStore.h"
#include "app/platform/PlatformLog.h"
#include "app/platform/SerialQueue.h"
#include "app/ui/ApplicationShell.h"
#include "app/ui/LanguageChoice.h"
#include "app/ui/SessionGuard.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/Strings.h"
#include "app/ui/TerminationSignals.h"

namespace quillet {

namespace {

// Allocations from this size on are mapped on their own (see
// keepLargeBlocksOutOfTheHeaps).
constexpr int largeBlockBytes = 1 << 20;

struct LaunchRequest {
    QStringList files;            // absolute, as the launch's working folder names them
    std::optional<int> exitCode;  // set when the options alone end the run
};

// --help, --version and mistakes are answered here, before anything about the
// run is recorded: none of them is a launch.
LaunchRequest readArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Strings::displayName.en));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("PDF files to open"),
                                 QStringLiteral("[FILE.pdf...]"));
    LaunchRequest request;
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "verda-pdf: %s\nTry 'verda-pdf --help' for more information.\n",
                     qPrintable(parser.errorText()));
        request.exitCode = 2;
        return request;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        request.exitCode = 0;
        return request;
    }
    if (parser.isSet(version)) {
        std::printf("verda-pdf %s\n", applicationVersion());
        request.exitCode = 0;
        return request;
    }
    for (const QString& file : parser.positionalArguments()) {
        request.files.append(QFileInfo(file).absoluteFilePath());
    }
    return request;
}

// A call with nothing but --help or --version is answered from a
// QCoreApplication: no display is needed for it (package checks, scripts on a
// server) and, as in readArguments, nothing about a run is recorded.
std::optional<int> answerWithoutDisplay(int argc, char** argv) {
    if (argc < 2) {
        return std::nullopt;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg != "--help" && arg != "-h" && arg != "--help-all" && arg != "--version" && arg != "-v") {
            return std::nullopt;
        }
    }
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("verda-pdf"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(applicationVersion()));
    return readArguments(QCoreApplication::arguments()).exitCode.value_or(0);
}

// Qt's own dialogs (file chooser, message boxes) speak the interface language.
void loadQtTranslations(Language language, QTranslator& translator) {
    if (language == Language::en) {
        return;
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator.load(QStringLiteral("qtbase_") + languageCode(language), folder)) {
        QCoreApplication::installTranslator(&translator);
    } else {
        logLine("no Qt translations in " + folder.toStdString());
    }
}

// Page images (megabytes each, made on the renderers' threads and dropped on
// the main thread) get mappings of their own and go back to the system when
// dropped. Left to malloc's moving threshold they soon land in the threads'
// heaps, which keep the freed space: with five long documents paged through,
// the peak grew by 60-150 MiB, differently each run.
void keepLargeBlocksOutOfTheHeaps() {
    mallopt(M_MMAP_THRESHOLD, largeBlockBytes);
}

}  // namespace

int runApplication(int argc, char** argv) {
    if (const std::optional<int> status = answerWithoutDisplay(argc, argv)) {
        return *status;
    }
    keepLargeBlocksOutOfTheHeaps();
    QApplication app(argc, argv);  // takes Qt's own options (-platform ...) out of the arguments
    QApplication::setApplicationName(QStringLiteral("verda-pdf"));
    QApplication::setApplicationVersion(QString::fromLatin1(applicationVersion()));
    const LaunchRequest request = readArguments(QApplication::arguments());
    if (request.exitCode) {
        return *request.exitCode;
    }

    // Decided before the defaults store is opened: a launch that hands its
    // files over leaves the running instance's session record alone.
    std::unique_ptr<SingleInstance> instance =
        SingleInstance::claim(DefaultsStore::kindForEnvironment(), request.files);
    if (!instance) {
        return 0;
    }

    // The font database is read while the launch record below is flushed to
    // disk: the window's toolbar and status line need it before the first
    // page can be shown, and reading it is milliseconds of its own.
    QThreadPool::globalInstance()->start([] { QFontDatabase::families(); });

    // Before anything else of the run, so that a crash later still counts as
    // unclean. The marks reach the disk on a thread of their own (a flush is
    // milliseconds of waiting for the disk) while a document given on the
    // command line opens; the shell waits for them before it reopens the
    // previous session's documents, which a crash loop would come back to.
    // Another QSettings on the same file shares this one's changes.
    QSettings& store = DefaultsStore::shared();
    std::shared_future<void> launchRecorded;
    SessionGuard::recordLaunch(store, [&launchRecorded] {
        launchRecorded = std::async(std::launch::async, [] {
                             DefaultsStore::open(DefaultsStore::sharedKind())->sync();
                         }).share();
    });

    const Language language =
        LanguageChoice::languageAtLaunch(store, LanguageChoice::systemPreferredLanguages());
    InterfaceLanguage::fix(language);
    QTranslator qtTranslator;
    loadQtTranslations(language, qtTranslator);

    QApplication::setApplicationDisplayName(Strings::displayName.text());
    // The application id: the name of the desktop entry, the AppStream
    // component and the icon (data/).
    QApplication::setDesktopFileName(QStringLiteral("app.quillet.VerdaPDF"));
    // The shell decides when the run ends: the last document window closing
    // must not end it while the launch Open panel is up or a file is opening.
    QApplication::setQuitOnLastWindowClosed(false);

    ShellOptions options = ShellOptions::forApplication(store, language);
    options.awaitLaunchRecord = [launchRecorded] { launchRecorded.wait(); };
    ApplicationShell shell(std::move(options));
    shell.attach(instance.get());
    TerminationSignals::install(&shell, [&shell] { shell.requestQuit(); });
    // Working copies of processes that died; low priority, nothing waits for it.
    SerialQueue sweep("app.quillet.sweep");
    sweep.async([] { WorkingCopies::sweepStale(); });
    QTimer::singleShot(0, &shell, [&shell, files = request.files] { shell.didFinishLaunching(files); });
    const int status = QApplication::exec();
    shell.willTerminate();
    return status;
}

}  // namespace quillet
