#include "app/ui/DroppedFiles.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "core/pdf/XRefSection.h"

namespace quillet::DroppedFiles {

bool startsLikePDF(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    return file.read(XRefSection::kHeaderSearchSpan).contains("%PDF-");
}

QStringList pdfPaths(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && startsLikePDF(url.toLocalFile())) {
            paths.append(url.toLocalFile());
        }
    }
    return paths;
}

}  // namespace quillet::DroppedFiles
