// Vector page drawing on Poppler's painter backend. Where that backend falls
// short (it has no soft masks, for one), a page is checked before it is drawn:
// its vectors, drawn into an image, must match Poppler's own render of the
// page closely (RasterFidelity), or the page is refused and printed as a
// render.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include "app/platform/PDFDocument.h"
#include "app/platform/PopplerPages.h"

namespace Poppler {
class Document;
}  // namespace Poppler

namespace quillet {

class PopplerPagePainter final : public PDFPagePainter {
  public:
    // The resolution a page's vectors are compared with its render at.
    static constexpr double checkDPI = 150;

    // Null when the file does not open or stays locked with `password`.
    static std::unique_ptr<PopplerPagePainter> open(const QString& path,
                                                    const std::optional<QByteArray>& password);
    ~PopplerPagePainter() override;

    bool paintPage(QPainter& painter, int pageIndex, const HiddenAnnotations& hidden) override;

  private:
    explicit PopplerPagePainter(std::unique_ptr<Poppler::Document> document);

    std::unique_ptr<Poppler::Document> document_;
    HiddenFlags hiddenByUs_;
};

}  // namespace quillet
