#include "core/markup/TextLayout.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "core/markup/FontResolver.h"
#include "core/markup/ShapedText.h"
#include "core/pdf/LruCache.h"

namespace quillet {

namespace {

// Longer texts are laid out up to this many bytes: no box on a page can show
// more, and the bound keeps every index inside the libraries' 32-bit range.
constexpr size_t kMaxLayoutTextBytes = 16 * 1024 * 1024;
// A box without a fixed width grows up to this many font sizes, and is never
// narrower than the minimum.
constexpr double kMaxWidthInFontSizes = 24;
constexpr double kMinWidthInFontSizes = 1.2;
// The frame is laid out 2 points taller than the text; the glyphs are moved
// down by the same amount so that the first line sits at the padding.
constexpr double kFrameExtension = 2;
// Rounding up must not turn 27.000000000004 into 28.
constexpr double kRoundingSlack = 1e-9;
constexpr char16_t kZeroWidthSpace = 0x200B;

double roundUp(double v) {
    return std::ceil(v - kRoundingSlack);
}

// Invalid UTF-8, including encoded surrogates, reads as U+FFFD.
std::u16string toUTF16(const std::string& text) {
    const auto length = static_cast<int32_t>(std::min(text.size(), kMaxLayoutTextBytes));
    std::u16string out(static_cast<size_t>(length), u'\0');  // UTF-16 never needs more units than UTF-8 bytes
    int32_t written = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), length, &written, text.data(), length, 0xFFFD, nullptr, &err);
    if (U_FAILURE(err) && err != U_STRING_NOT_TERMINATED_WARNING) return u"\uFFFD";
    out.resize(static_cast<size_t>(written));
    return out;
}

bool endsWithLineBreak(const std::u16string& s) {
    if (s.empty()) return false;
    const char16_t c = s.back();
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// The text spec with everything the result does not depend on normalized away:
// the memo's key, and what the layout itself reads.
TextSpec normalized(const TextSpec& spec) {
    TextSpec n = spec;
    n.fontSize = TextLayout::effectiveFontSize(spec.fontSize);
    if (n.fixedWidth && !std::isfinite(*n.fixedWidth)) n.fixedWidth.reset();
    return n;
}

uint64_t bitsOf(double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

struct SpecHash {
    size_t operator()(const TextSpec& s) const noexcept {
        size_t h = std::hash<std::string>()(s.text);
        auto mix = [&h](uint64_t v) {
            h ^= std::hash<uint64_t>()(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        };
        mix(bitsOf(s.fontSize));
        mix(s.fixedWidth ? bitsOf(*s.fixedWidth + 0.0) : 1);  // +0.0 folds -0 into 0
        mix(s.boxed);
        return h;
    }
};

// Least recently used results, bounded; one lock around lookups and inserts,
// never around a layout.
class LayoutCache {
  public:
    std::optional<TextLayoutResult> find(const TextSpec& key) {
        std::lock_guard lock(mutex_);
        const TextLayoutResult* found = results_.find(key);
        return found ? std::optional<TextLayoutResult>(*found) : std::nullopt;
    }

    // Returns what the cache holds for key afterwards: when another thread
    // stored an equal result first, that one, so that callers share it.
    TextLayoutResult insert(const TextSpec& key, const TextLayoutResult& result) {
        std::lock_guard lock(mutex_);
        if (const TextLayoutResult* found = results_.find(key)) return *found;
        return results_.insert(key, result);
    }

    size_t size() {
        std::lock_guard lock(mutex_);
        return results_.size();
    }

  private:
    std::mutex mutex_;
    LruCache<TextSpec, TextLayoutResult, SpecHash> results_{TextLayout::cacheCapacity};
};

LayoutCache& cache() {
    static LayoutCache instance;
    return instance;
}

double layoutWidth(const TextSpec& spec, const ShapedText& shaped) {
    const double f = spec.fontSize;
    if (spec.fixedWidth) return std::max(*spec.fixedWidth, f * kMinWidthInFontSizes);
    const double natural = roundUp(shaped.naturalWidth()) + 1;
    return std::max(f * kMinWidthInFontSizes, std::min(natural, f * kMaxWidthInFontSizes));
}

}  // namespace

double TextLayout::effectiveFontSize(double fontSize) {
    if (std::isnan(fontSize)) return 12;
    return std::clamp(fontSize, minFontSize, maxFontSize);
}

double TextLayout::padding(double fontSize, bool boxed) {
    const double f = effectiveFontSize(fontSize);
    return boxed ? std::max(f * 0.4, 3.0) : std::max(f * 0.1, 1.0);
}

TextFontMetrics TextLayout::fontMetrics(double fontSize) {
    const double f = effectiveFontSize(fontSize);
    const Font* font = FontResolver::shared().primary();
    if (!font) return {0.77 * f, 0.23 * f, 0};
    const double scale = f / font->unitsPerEm();
    return {font->ascent() * scale, font->descent() * scale, font->leading() * scale};
}

std::string TextLayout::resolvedFamily() {
    const Font* font = FontResolver::shared().primary();
    return font ? font->family() : std::string();
}

namespace {

// A spec shaped and broken into lines, with each line's baseline in the
// (w, h + 2) frame, from the bottom.
struct Lines {
    TextSpec spec;
    double pad;
    std::unique_ptr<ShapedText> shaped;
    double width;
    double height;
    std::vector<TextLine> lines;
    std::vector<double> baselines;
};

Lines breakLines(const TextSpec& original) {
    Lines out{normalized(original), 0, nullptr, 0, 0, {}, {}};
    const double f = out.spec.fontSize;
    out.pad = TextLayout::padding(f, out.spec.boxed);

    std::u16string text = toUTF16(out.spec.text);
    if (text.empty() || endsWithLineBreak(text)) text.push_back(kZeroWidthSpace);
    out.shaped = std::make_unique<ShapedText>(std::move(text), f, FontResolver::shared());

    out.width = layoutWidth(out.spec, *out.shaped);
    out.lines = out.shaped->lines(out.width);
    double suggested = 0;
    for (const TextLine& line : out.lines) suggested += line.ascent + line.descent + line.leading;
    out.height = std::max(roundUp(suggested), roundUp(TextLayout::fontMetrics(f).lineHeight()));

    // Lines hang from the top of the (w, h + 2) frame, each a line lower.
    double baseline = out.height + kFrameExtension;
    const TextLine* previous = nullptr;
    for (const TextLine& line : out.lines) {
        baseline -= previous ? previous->descent + previous->leading + line.ascent : line.ascent;
        previous = &line;
        out.baselines.push_back(baseline);
    }
    return out;
}

}  // namespace

TextLayoutResult TextLayout::layoutUncached(const TextSpec& original) {
    const Lines laid = breakLines(original);
    const double pad = laid.pad;
    PathBuilder glyphs;
    for (size_t i = 0; i < laid.lines.size(); ++i) {
        const double baseline = laid.baselines[i];
        laid.shaped->forEachGlyph(laid.lines[i], [&](const Font& font, uint32_t glyph, Point at,
                                                     double scale) {
            const Path outline = font.glyphOutline(glyph);
            if (outline.isEmpty()) return;
            glyphs.addPath(outline, AffineTransform::scaling(scale, scale)
                                        .thenTranslate(pad + at.x, pad - kFrameExtension + baseline + at.y));
        });
    }
    return {{laid.width + 2 * pad, laid.height + 2 * pad}, glyphs.build(), pad};
}

std::vector<TextLayoutLine> TextLayout::lines(const TextSpec& spec) {
    const Lines laid = breakLines(spec);
    std::vector<TextLayoutLine> out;
    out.reserve(laid.lines.size());
    for (size_t i = 0; i < laid.lines.size(); ++i) {
        const TextLine& line = laid.lines[i];
        TextLayoutLine& o = out.emplace_back();
        o.start = line.start;
        o.end = line.end;
        o.baseline = laid.pad - kFrameExtension + laid.baselines[i];
        o.ascent = line.ascent;
        o.descent = line.descent;
        o.carets.reserve(static_cast<size_t>(line.end - line.start) + 1);
        for (int at = line.start; at <= line.end; ++at)
            o.carets.push_back(laid.pad + laid.shaped->advance(line.start, at));
    }
    return out;
}

TextLayoutResult TextLayout::layout(const TextSpec& spec) {
    const TextSpec key = normalized(spec);
    if (auto hit = cache().find(key)) return *hit;
    return cache().insert(key, layoutUncached(key));
}

size_t TextLayout::cachedEntryCount() {
    return cache().size();
}

}  // namespace quillet
