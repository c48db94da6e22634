// A page of a PDF file rendered by an independent renderer (poppler's
// pdftoppm), read back as pixels, and addressed in page space so that tests
// can ask "what colour is the page at this point" directly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/markup/RGBA.h"
#include "core/pdf/Geometry.h"

namespace quillet::testing {

struct Pixel {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    bool operator==(const Pixel&) const = default;
    // Each channel within `tolerance` (0...255) of the colour's components.
    bool near(const RGBA& color, int tolerance = 24) const;
    bool isWhite(int tolerance = 8) const { return near(RGBA::white(), tolerance); }
    // The largest channel difference to another pixel.
    int difference(const Pixel& other) const;
};

// An 8-bit RGB raster, rows from the top.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;

    // Binary PPM ("P6", maximum value 255); absent for anything else.
    static std::optional<Raster> parsePPM(std::string_view bytes);
    Pixel at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Where a page lies: its media box and its /Rotate (0, 90, 180, 270).
struct PageFrame {
    Rect mediaBox{0, 0, 612, 792};
    int64_t rotate = 0;
};

struct RenderOptions {
    double dpi = 72;
    bool hideAnnotations = false;
    // Opens an encrypted file.
    std::optional<std::string> password{};
};

class RenderedPage {
  public:
    // Renders page `pageIndex` (0-based) of the file; absent when pdftoppm
    // is missing or fails, with its error text in *error when given.
    static std::optional<RenderedPage> render(const std::filesystem::path& pdf, int pageIndex,
                                              PageFrame frame, RenderOptions options = {},
                                              std::string* error = nullptr);
    RenderedPage(Raster raster, PageFrame frame, double dpi);

    const Raster& raster() const { return raster_; }
    // The pixel under a point in page space (as the page is shown, rotated).
    Pixel at(Point page) const;
    // The pixel rectangle (left, top, right, bottom, exclusive) covering a
    // page-space rectangle, clipped to the raster.
    struct PixelBox {
        int left = 0, top = 0, right = 0, bottom = 0;
        bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
        PixelBox grown(int by) const { return {left - by, top - by, right + by, bottom + by}; }
    };
    PixelBox pixelBox(const Rect& page) const;
    // How many pixels inside a page-space rectangle are near a colour.
    int countNear(const Rect& page, const RGBA& color, int tolerance = 24) const;

    // Device coordinates (pixels, y down) of a page-space point.
    Point devicePoint(Point page) const;

  private:
    Raster raster_;
    PageFrame frame_;
    double scale_;
};

// Pixels where two renderings of one page differ by more than `tolerance`
// in any channel, as (x, y) pairs. Absent when their sizes differ.
std::optional<std::vector<std::pair<int, int>>> differingPixels(const Raster& a, const Raster& b,
                                                                int tolerance = 0);

}  // namespace quillet::testing
