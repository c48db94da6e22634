// The fonts of markup text: the one family "Helvetica" as the system
// resolves it, plus the fonts that stand in for characters it lacks.
// Fonts are loaded once per process and live until it ends; every member
// here may be used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/markup/Path.h"

struct hb_font_t;

namespace quillet {

// One font file (or one face of a collection), measured in font units.
class Font {
  public:
    // Absent when the file cannot be read or holds no glyphs that the
    // shaper understands (e.g. a Type 1 file).
    static std::unique_ptr<Font> load(const std::string& file, int faceIndex, std::string family);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& family() const { return family_; }
    const std::string& file() const { return file_; }
    double unitsPerEm() const { return unitsPerEm_; }
    // Vertical metrics in font units, each ≥ 0 (descent measured downwards).
    double ascent() const { return ascent_; }
    double descent() const { return descent_; }
    double leading() const { return leading_; }

    bool hasCodePoint(char32_t cp) const;
    // Shaping handle, scaled to font units, with the shaper's own font
    // functions; immutable, so shaping may run on several threads.
    hb_font_t* shapingFont() const { return hbFont_; }
    // The glyph's outline in font units, y up; empty for a blank glyph.
    Path glyphOutline(uint32_t glyph) const;

  private:
    struct FreeTypeFace;
    Font() = default;

    std::string file_;
    std::string family_;
    double unitsPerEm_ = 1000;
    double ascent_ = 0;
    double descent_ = 0;
    double leading_ = 0;
    hb_font_t* hbFont_ = nullptr;
    std::unique_ptr<FreeTypeFace> ftFace_;
    mutable std::mutex outlineMutex_;  // FreeType faces are not thread-safe
    mutable std::unordered_map<uint32_t, Path> outlines_;
};

class FontResolver {
  public:
    // The resolver for TextLayout's family, built on first use.
    static const FontResolver& shared();

    explicit FontResolver(const std::string& family);
    ~FontResolver();
    FontResolver(const FontResolver&) = delete;
    FontResolver& operator=(const FontResolver&) = delete;

    // The matched font of the family; nullptr on a system without any
    // usable font (text then lays out with blank glyphs).
    const Font* primary() const { return primary_.get(); }
    // The font to draw cp with: the primary font when it has the character,
    // else the best-matching installed font that has it, else the primary.
    const Font* fontFor(char32_t cp) const;

  private:
    struct Candidate;

    std::unique_ptr<Font> primary_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Candidate>> candidates_;
    mutable std::unordered_map<char32_t, const Font*> fallbackMemo_;
};

}  // namespace quillet
