// Header-only (needs Qt): pages rasterised by pdftoppm, an independent
// renderer, and how closely two rasters agree.
#pragma once

#include <QImage>
#include <filesystem>
#include <string>

#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

// Page `page` (1-based) of `pdf` at `dpi`, as pdftoppm draws it; a null image
// when it fails. `password` opens an encrypted file.
inline QImage rasterisePage(const std::filesystem::path& pdf, int page, int dpi,
                            const std::string& password = {}) {
    const std::filesystem::path stem = pdf.string() + ".raster-" + std::to_string(page);
    std::vector<std::string> argv = {
        "pdftoppm",           "-png",       "-r", std::to_string(dpi), "-f", std::to_string(page), "-l",
        std::to_string(page), "-singlefile"};
    if (!password.empty()) {
        argv.insert(argv.end(), {"-upw", password});
    }
    argv.insert(argv.end(), {pdf.string(), stem.string()});
    if (runCommand(argv).status != 0) {
        return {};
    }
    QImage image(QString::fromStdString(stem.string() + ".png"));
    std::filesystem::remove(stem.string() + ".png");
    return image.convertToFormat(QImage::Format_RGB32);
}

// The share of pixels whose channels all differ by at most `tolerance`
// (0 when the sizes differ).
inline double matchingShare(const QImage& a, const QImage& b, int tolerance = 24) {
    if (a.isNull() || a.size() != b.size()) {
        return 0;
    }
    long long matching = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            matching += std::abs(qRed(p) - qRed(q)) <= tolerance &&
                        std::abs(qGreen(p) - qGreen(q)) <= tolerance &&
                        std::abs(qBlue(p) - qBlue(q)) <= tolerance;
        }
    }
    return double(matching) / (double(a.width()) * a.height());
}

}  // namespace quillet::testing
