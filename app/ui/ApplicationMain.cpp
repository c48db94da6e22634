#include "app/ui/ApplicationMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "app/platform/DefaultsStore.h"
#include "app/ui/ApplicationShell.h"
#include "app/ui/LanguageChoice.h"
#include "app/ui/SessionGuard.h"
#include "app/ui/Strings.h"
#include "app/ui/TerminationSignals.h"

namespace quillet {

namespace {

QStringList filesFromArguments(const QApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Strings::displayName.text());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("PDF files to open"),
                                 QStringLiteral("[FILE.pdf...]"));
    parser.process(app);
    return parser.positionalArguments();
}

}  // namespace

int runApplication(int argc, char** argv)
{
    // First of all, so that a crash anywhere later still counts as an unclean run.
    QSettings& store = DefaultsStore::shared();
    SessionGuard::recordLaunch(store);

    const Language language = LanguageChoice::languageAtLaunch(store, LanguageChoice::systemPreferredLanguages());
    InterfaceLanguage::fix(language);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("verda-pdf"));
    QApplication::setApplicationDisplayName(Strings::displayName.text());
    QApplication::setApplicationVersion(QString::fromLatin1(applicationVersion));
    QApplication::setDesktopFileName(QStringLiteral("verda-pdf"));
    // The shell decides when the run ends: the last document window closing
    // must not end it while the launch Open panel is up or a file is opening.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList files = filesFromArguments(app);
    ApplicationShell shell(ShellOptions::forApplication(store, language));
    TerminationSignals::install(&shell, [&shell] { shell.requestQuit(); });
    QTimer::singleShot(0, &shell, [&shell, files] { shell.didFinishLaunching(files); });
    const int status = QApplication::exec();
    shell.willTerminate();
    return status;
}

}  // namespace quillet
