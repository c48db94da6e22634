#include "support/RenderedPage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "support/PdfFixtures.h"
#include "support/TempDir.h"

namespace quillet::testing {

namespace {

// Larger rasters than this are not a page at test resolution.
constexpr int kMaxRasterSide = 20'000;

int channel(double component) {
    return static_cast<int>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
}

}  // namespace

bool Pixel::near(const RGBA& color, int tolerance) const {
    return std::abs(r - channel(color.r)) <= tolerance && std::abs(g - channel(color.g)) <= tolerance &&
           std::abs(b - channel(color.b)) <= tolerance;
}

int Pixel::difference(const Pixel& other) const {
    return std::max({std::abs(r - other.r), std::abs(g - other.g), std::abs(b - other.b)});
}

std::optional<Raster> Raster::parsePPM(std::string_view bytes) {
    // pdftoppm's header: "P6", width, height and 255, each after one blank, no comments.
    const std::string header(bytes.substr(0, 64));
    int width = 0, height = 0, maxValue = 0, end = 0;
    if (std::sscanf(header.c_str(), "P6 %d %d %d%n", &width, &height, &maxValue, &end) != 3 ||
        maxValue != 255 || width <= 0 || height <= 0 || width > kMaxRasterSide || height > kMaxRasterSide)
        return std::nullopt;
    const size_t pos = static_cast<size_t>(end) + 1;  // the one blank after the maximum value
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (bytes.size() < pos || bytes.size() - pos < count * 3) return std::nullopt;
    Raster raster{width, height, {}};
    raster.pixels.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = pos + i * 3;
        raster.pixels.push_back({static_cast<uint8_t>(bytes[at]), static_cast<uint8_t>(bytes[at + 1]),
                                 static_cast<uint8_t>(bytes[at + 2])});
    }
    return raster;
}

std::optional<RenderedPage> RenderedPage::render(const std::filesystem::path& pdf, int pageIndex,
                                                 PageFrame frame, RenderOptions options, std::string* error) {
    TempDir dir;
    const std::string page = std::to_string(pageIndex + 1);
    std::vector<std::string> argv{"pdftoppm", "-r",         std::to_string(options.dpi), "-f", page, "-l",
                                  page,       "-singlefile"};
    if (options.hideAnnotations) argv.push_back("-hide-annotations");
    if (options.password) argv.insert(argv.end(), {"-upw", *options.password});
    argv.push_back(pdf.string());
    argv.push_back(dir.file("page").string());
    const CommandResult result = runCommand(argv);
    if (result.status != 0) {
        if (error) *error = "pdftoppm failed (" + std::to_string(result.status) + "): " + result.err;
        return std::nullopt;
    }
    auto raster = Raster::parsePPM(readFile(dir.file("page.ppm")));
    if (!raster) {
        if (error) *error = "pdftoppm wrote no readable PPM";
        return std::nullopt;
    }
    return RenderedPage(std::move(*raster), frame, options.dpi);
}

RenderedPage::RenderedPage(Raster raster, PageFrame frame, double dpi)
    : raster_(std::move(raster)), frame_(frame), scale_(dpi / 72) {}

Point RenderedPage::devicePoint(Point page) const {
    const Rect& box = frame_.mediaBox;
    const double u = page.x - box.minX(), v = page.y - box.minY();
    const double w = box.width, h = box.height;
    Point d;
    switch (((frame_.rotate % 360) + 360) % 360) {
        case 90:
            d = {v, u};
            break;
        case 180:
            d = {w - u, v};
            break;
        case 270:
            d = {h - v, w - u};
            break;
        default:
            d = {u, h - v};
            break;
    }
    return d * scale_;
}

Pixel RenderedPage::at(Point page) const {
    const Point d = devicePoint(page);
    const int x = std::clamp(static_cast<int>(std::floor(d.x)), 0, raster_.width - 1);
    const int y = std::clamp(static_cast<int>(std::floor(d.y)), 0, raster_.height - 1);
    return raster_.at(x, y);
}

RenderedPage::PixelBox RenderedPage::pixelBox(const Rect& page) const {
    const Point a = devicePoint({page.minX(), page.minY()});
    const Point b = devicePoint({page.maxX(), page.maxY()});
    PixelBox box{
        static_cast<int>(std::floor(std::min(a.x, b.x))), static_cast<int>(std::floor(std::min(a.y, b.y))),
        static_cast<int>(std::ceil(std::max(a.x, b.x))), static_cast<int>(std::ceil(std::max(a.y, b.y)))};
    box.left = std::clamp(box.left, 0, raster_.width);
    box.right = std::clamp(box.right, 0, raster_.width);
    box.top = std::clamp(box.top, 0, raster_.height);
    box.bottom = std::clamp(box.bottom, 0, raster_.height);
    return box;
}

int RenderedPage::countNear(const Rect& page, const RGBA& color, int tolerance) const {
    const PixelBox box = pixelBox(page);
    int count = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (raster_.at(x, y).near(color, tolerance)) ++count;
    return count;
}

std::optional<std::vector<std::pair<int, int>>> differingPixels(const Raster& a, const Raster& b,
                                                                int tolerance) {
    if (a.width != b.width || a.height != b.height) return std::nullopt;
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.at(x, y).difference(b.at(x, y)) > tolerance) out.emplace_back(x, y);
    return out;
}

}  // namespace quillet::testing
