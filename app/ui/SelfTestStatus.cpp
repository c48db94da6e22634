#include "app/ui/SelfTestStatus.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QSaveFile>

#include "app/document/InkDocument.h"
#include "app/platform/DefaultsStore.h"
#include "app/ui/DocumentWindowController.h"
#include "app/ui/FindController.h"
#include "app/view/PageRenderer.h"
#include "app/view/PageView.h"

namespace quillet {

namespace {
// The page position and the window title change without a signal we see;
// a short poll catches them.
constexpr int pollMilliseconds = 100;

// The widget with the keyboard, named by its first class of our own (the page
// view rather than its viewport), without the namespace.
QString focusName() {
    for (const QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        const QString name = QString::fromLatin1(widget->metaObject()->className());
        if (name.startsWith(QLatin1String("quillet::"))) {
            return name.mid(int(sizeof("quillet::")) - 1);
        }
    }
    return QApplication::focusWidget()
               ? QString::fromLatin1(QApplication::focusWidget()->metaObject()->className())
               : QString();
}

// The widget with the keyboard itself ("focusclass QLineEdit": the search
// field, a dialog's button) and where it is on the screen, for a harness that
// draws in it (the signature pad): "focusrect <x> <y> <width> <height>".
QString focusPlace() {
    const QWidget* widget = QApplication::focusWidget();
    if (widget == nullptr) {
        return QString();
    }
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return QStringLiteral("focusclass ") + QString::fromLatin1(widget->metaObject()->className()) +
           QStringLiteral("\nfocusrect %1 %2 %3 %4\n")
               .arg(origin.x())
               .arg(origin.y())
               .arg(widget->width())
               .arg(widget->height());
}

QString oneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// The menu bar's titles, so that a harness sees which language the menus
// speak, then where to click each of them (the centre, in screen coordinates).
QString menuLines(DocumentWindowController& window) {
    QMenuBar* bar = window.menuBar();
    QStringList titles;
    QString places;
    for (QAction* menu : bar->actions()) {
        const QString title = menu->text().remove(QLatin1Char('&'));
        titles.append(title);
        const QPoint centre = bar->mapToGlobal(bar->actionGeometry(menu).center());
        places += QStringLiteral("menu %1 %2 %3\n").arg(title).arg(centre.x()).arg(centre.y());
    }
    return QStringLiteral("menus ") + titles.join(QLatin1Char('|')) + QLatin1Char('\n') + places;
}
// The search: whether it still runs, how many matches it found, and the page
// (1-based) of the current one, 0 when there is none.
QString findLine(const FindController& finder) {
    const int current = finder.currentIndex();
    const bool valid = current >= 0 && current < int(finder.matches().size());
    return QStringLiteral("find searching %1 matches %2 page %3\n")
        .arg(finder.isSearching() ? 1 : 0)
        .arg(finder.matches().size())
        .arg(valid ? finder.matches()[size_t(current)].pageIndex + 1 : 0);
}
// The current page (1-based) once its picture is rendered for the screen, 0
// before.
int paintedPage(DocumentWindowController& window) {
    PageView* view = window.pageView();
    if (view == nullptr || view->pageCount() == 0 || view->renderer() == nullptr) {
        return 0;
    }
    const double pixelScale = view->scale() * view->viewport()->devicePixelRatioF();
    return view->renderer()->cachedImage(view->currentPage(), pixelScale).isNull() ? 0
                                                                                   : view->currentPage() + 1;
}
}  // namespace

SelfTestStatus* SelfTestStatus::createIfRequested(QObject* parent) {
    if (!qEnvironmentVariableIsSet(DefaultsStore::selfTestVariable) ||
        !qEnvironmentVariableIsSet(fileVariable)) {
        return nullptr;
    }
    return new SelfTestStatus(qEnvironmentVariable(fileVariable), parent);
}

SelfTestStatus::SelfTestStatus(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {
    connect(&poll_, &QTimer::timeout, this, &SelfTestStatus::write);
    poll_.start(pollMilliseconds);
    write();
}

void SelfTestStatus::watch(DocumentWindowController* window, InkDocument* document) {
    watched_.push_back({window, document, document && document->isSaving(), 0});
    if (document) {
        connect(document, &InkDocument::statusChanged, this,
                [this, document] { documentStatusChanged(document); });
    }
    write();
}

void SelfTestStatus::documentStatusChanged(InkDocument* document) {
    for (Watched& entry : watched_) {
        if (entry.document != document) {
            continue;
        }
        const bool saving = document->isSaving();
        if (entry.wasSaving && !saving && !document->lastSaveError()) {
            ++entry.saves;
        }
        entry.wasSaving = saving;
    }
    write();
}

QString SelfTestStatus::text() const {
    QString text = QStringLiteral("pid %1\nfocus ").arg(QCoreApplication::applicationPid()) + focusName() +
                   QLatin1Char('\n') + focusPlace() + QLatin1Char('\n');
    for (const Watched& entry : watched_) {
        if (!entry.window) {
            continue;
        }
        text += QStringLiteral("window ") + oneLine(entry.window->windowTitle()) + QLatin1Char('\n');
        text += QStringLiteral("file ") + entry.window->filePath() + QLatin1Char('\n');
        text += QStringLiteral("status ") + oneLine(entry.window->subtitle()) + QLatin1Char('\n');
        text += menuLines(*entry.window);
        text += findLine(entry.window->finder());
        text += QStringLiteral("painted %1\n").arg(paintedPage(*entry.window));
        const InkDocument* document = entry.document.data();
        text += QStringLiteral("saving %1\n").arg(document && document->isSaving() ? 1 : 0);
        text += QStringLiteral("unsaved %1\n").arg(document && document->isEdited() ? 1 : 0);
        text += QStringLiteral("saves %1\n").arg(entry.saves);
        text += QStringLiteral("error ") +
                oneLine(document ? document->lastSaveError().value_or(QString()) : QString()) +
                QLatin1Char('\n');
        text += QLatin1Char('\n');
    }
    return text;
}

void SelfTestStatus::write() {
    const QString now = text();
    if (now == written_ && QFile::exists(path_)) {
        return;
    }
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly) && file.write(now.toUtf8()) >= 0 && file.commit()) {
        written_ = now;
    }
}

}  // namespace quillet
