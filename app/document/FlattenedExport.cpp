#include "app/document/FlattenedExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#include "app/document/WorkingCopy.h"
#include "app/platform/PDFEngineError.h"
#include "app/platform/PDFPassword.h"
#include "app/platform/QpdfDocumentWriter.h"

namespace quillet::FlattenedExport {
namespace {

// Removes its file when the export leaves, however it leaves. The saved and
// flattened copies hold the whole document, so they go where working copies
// go: a folder only this user may enter.
struct TemporaryFile {
    QString path;
    explicit TemporaryFile(const QString& stem) {
        const QString folder = WorkingCopies::privateFolder();
        if (folder.isEmpty()) {
            throw SaveEngineError::writeFailed("export: no private temporary folder can be made");
        }
        path = QDir(folder).filePath(stem + QUuid::createUuid().toString(QUuid::WithoutBraces) +
                                     QStringLiteral(".pdf"));
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() { WorkingCopies::remove(path); }
};

void checkCancelled(const std::atomic<bool>* cancelled) {
    if (cancelled && cancelled->load()) {
        throw Cancelled{};
    }
}

void copyInto(const QString& source, const QString& destination, const std::atomic<bool>* cancelled) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        throw SaveEngineError::writeFailed("export: cannot read the flattened copy: " +
                                           in.errorString().toStdString());
    }
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) {
        throw SaveEngineError::writeFailed("export: cannot create " + destination.toStdString() + ": " +
                                           out.errorString().toStdString());
    }
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            throw SaveEngineError::writeFailed("export: write failed: " + out.errorString().toStdString());
        }
        checkCancelled(cancelled);  // an uncommitted QSaveFile leaves the destination alone
    }
    if (in.error() != QFileDevice::NoError || !out.commit()) {
        throw SaveEngineError::writeFailed("export: write failed: " + out.errorString().toStdString());
    }
}

}  // namespace

QString proposedName(const QString& displayName, Language language) {
    const QFileInfo info(displayName);
    const QString stem = info.suffix().isEmpty() ? displayName : info.completeBaseName();
    return stem + nameSuffix.in(language);
}

void run(const SaveJob& job, const QString& destination, const SaveEngine& engine,
         const std::atomic<bool>* cancelled) {
    checkCancelled(cancelled);
    const TemporaryFile saved(QStringLiteral("quillet-export-"));
    engine.run(job, saved.path.toStdString());
    checkCancelled(cancelled);

    const TemporaryFile flattened(QStringLiteral("quillet-export-flat-"));
    const std::vector<QByteArray> passwords =
        job.password ? passwordCandidates(QString::fromStdString(*job.password)) : std::vector<QByteArray>{};
    try {
        QpdfDocumentWriter::write(saved.path, passwords, flattened.path,
                                  PDFWriteOptions{.burnInAnnotations = true});
    } catch (const PDFEngineError& error) {
        throw SaveEngineError::writeFailed("export: " + error.text());
    }
    checkCancelled(cancelled);
    copyInto(flattened.path, destination, cancelled);
}

}  // namespace quillet::FlattenedExport
