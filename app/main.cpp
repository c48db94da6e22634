// Process entry of the application. A placeholder until the application shell
// takes over: it only brings up the Qt application object and its event loop.
#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("verda-pdf"));
    QApplication::setApplicationDisplayName(QStringLiteral("Verda Edits PDF"));
    return 0;
}
