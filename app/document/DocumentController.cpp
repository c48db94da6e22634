#include "app/document/DocumentController.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace quillet {

namespace {

QString resolvedPath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

}  // namespace

DocumentController::DocumentController(QSettings& store, std::function<InkDocument::Services()> services,
                                       QObject* parent)
    : QObject(parent), store_(store), services_(std::move(services)) {}

DocumentController::~DocumentController() = default;

InkDocument* DocumentController::open(const QString& path) {
    if (InkDocument* open = documentFor(path)) {
        return open;
    }
    InkDocument::Services services = services_();
    // Save As never writes over a file another window has open.
    QPointer<DocumentController> self(this);
    services.isOpenElsewhere = [self](const QString& target) {
        return self && self->documentFor(target) != nullptr;
    };
    std::unique_ptr<InkDocument> document = InkDocument::open(path, std::move(services));
    InkDocument* opened = document.get();
    connect(opened, &InkDocument::filePathChanged, this, &DocumentController::noteRecent);
    documents_.push_back(std::move(document));
    noteRecent(opened->filePath());
    emit documentOpened(opened);
    return opened;
}

InkDocument* DocumentController::documentFor(const QString& path) const {
    const QString resolved = resolvedPath(path);
    for (const auto& document : documents_) {
        if (document->filePath() == resolved) {
            return document.get();
        }
    }
    return nullptr;
}

std::vector<InkDocument*> DocumentController::documents() const {
    std::vector<InkDocument*> result;
    for (const auto& document : documents_) {
        result.push_back(document.get());
    }
    return result;
}

QString DocumentController::openPanelFolder(const InkDocument* current) const {
    if (current != nullptr) {
        return QFileInfo(current->filePath()).absolutePath();
    }
    const QStringList recent = recentFiles();
    if (!recent.isEmpty()) {
        return QFileInfo(recent.first()).absolutePath();
    }
    return QDir::homePath();
}

QStringList DocumentController::recentFiles() const {
    QStringList existing;
    for (const QString& path : store_.value(recentFilesKey).toStringList()) {
        if (QFileInfo(path).isFile()) {
            existing.append(path);
        }
    }
    return existing;
}

void DocumentController::clearRecentFiles() {
    store_.remove(recentFilesKey);
    store_.sync();
    emit recentFilesChanged();
}

void DocumentController::noteRecent(const QString& path) {
    QStringList recent = store_.value(recentFilesKey).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > recentFilesLimit) {
        recent.removeLast();
    }
    // Written by QSettings itself on a later turn of the event loop (and at
    // the end of the run): not worth a flushed write inside every open.
    store_.setValue(recentFilesKey, recent);
    emit recentFilesChanged();
}

void DocumentController::close(InkDocument* document) {
    for (auto it = documents_.begin(); it != documents_.end(); ++it) {
        if (it->get() != document) {
            continue;
        }
        std::unique_ptr<InkDocument> closing = std::move(*it);
        documents_.erase(it);
        closing->close();
        emit documentClosed(closing.get());
        // Still on the stack of whoever called: deleted from the event loop.
        closing.release()->deleteLater();
        return;
    }
}

void DocumentController::prepareToQuit(std::function<void(InkDocument* failed, const QString& reason)> done) {
    prepareNext(0, std::move(done));
}

void DocumentController::prepareNext(size_t index, std::function<void(InkDocument*, const QString&)> done) {
    if (index >= documents_.size()) {
        done(nullptr, QString());
        return;
    }
    QPointer<InkDocument> document(documents_[index].get());
    QPointer<DocumentController> self(this);
    document->prepareToClose([self, document, index, done](bool mayClose, const QString& failure) {
        if (!self) {
            return;
        }
        if (!mayClose && document) {
            done(document, failure);
            return;
        }
        self->prepareNext(index + 1, done);
    });
}

}  // namespace quillet
