// Which of the files dropped on a window are PDFs: told by their first bytes,
// as the reader tells them, never by their names, so "scan.PDF.part" or a
// PDF saved without an extension opens and "notes.pdf" holding text does not.
#pragma once

#include <QStringList>

class QMimeData;

namespace quillet::DroppedFiles {

// The local files among `mime`'s URLs that hold "%PDF-" within the span the
// reader looks for it in, in their order.
QStringList pdfPaths(const QMimeData* mime);

// Whether the file at `path` begins like a PDF; false when it cannot be read.
bool startsLikePDF(const QString& path);

}  // namespace quillet::DroppedFiles
