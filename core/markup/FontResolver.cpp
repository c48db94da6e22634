#include "core/markup/FontResolver.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ot.h>
#include <hb.h>
#include <syslog.h>

#include <cmath>
#include <cstdio>

namespace quillet {

namespace {

void logLine(const std::string& message) {
    const std::string line = "VerdaPDF: " + message;
    syslog(LOG_WARNING, "%s", line.c_str());
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::string patternString(FcPattern* p, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(p, object, 0, &value) != FcResultMatch || value == nullptr) return {};
    return reinterpret_cast<const char*>(value);
}

int patternInt(FcPattern* p, const char* object) {
    int value = 0;
    return FcPatternGetInteger(p, object, 0, &value) == FcResultMatch ? value : 0;
}

// FreeType reports outlines through callbacks; this collects them as a Path.
struct OutlineSink {
    PathBuilder builder;
    bool open = false;
};

Point toPoint(const FT_Vector* v) {
    return {static_cast<double>(v->x), static_cast<double>(v->y)};
}

int sinkMove(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    if (sink->open) sink->builder.close();
    sink->builder.moveTo(toPoint(to));
    sink->open = true;
    return 0;
}

int sinkLine(const FT_Vector* to, void* user) {
    static_cast<OutlineSink*>(user)->builder.lineTo(toPoint(to));
    return 0;
}

int sinkConic(const FT_Vector* control, const FT_Vector* to, void* user) {
    static_cast<OutlineSink*>(user)->builder.quadTo(toPoint(control), toPoint(to));
    return 0;
}

int sinkCubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    static_cast<OutlineSink*>(user)->builder.cubicTo(toPoint(c1), toPoint(c2), toPoint(to));
    return 0;
}

}  // namespace

struct Font::FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

std::unique_ptr<Font> Font::load(const std::string& file, int faceIndex, std::string family) {
    std::unique_ptr<Font> font(new Font());
    font->file_ = file;
    font->family_ = std::move(family);

    hb_blob_t* blob = hb_blob_create_from_file_or_fail(file.c_str());
    if (!blob) return nullptr;
    hb_face_t* face = hb_face_create(blob, static_cast<unsigned>(faceIndex));
    hb_blob_destroy(blob);
    const unsigned upem = hb_face_get_upem(face);
    if (hb_face_get_glyph_count(face) == 0 || upem == 0) {
        hb_face_destroy(face);
        return nullptr;
    }
    // Font units throughout: the shaper's own OpenType functions read the
    // advances from the font's tables, unrounded.
    font->hbFont_ = hb_font_create(face);
    hb_face_destroy(face);
    hb_ot_font_set_funcs(font->hbFont_);
    hb_font_set_scale(font->hbFont_, static_cast<int>(upem), static_cast<int>(upem));
    hb_font_make_immutable(font->hbFont_);
    font->unitsPerEm_ = upem;

    hb_font_extents_t extents{};
    hb_font_get_h_extents(font->hbFont_, &extents);
    font->ascent_ = std::max(0.0, static_cast<double>(extents.ascender));
    font->descent_ = std::max(0.0, -static_cast<double>(extents.descender));
    font->leading_ = std::max(0.0, static_cast<double>(extents.line_gap));

    auto ft = std::make_unique<FreeTypeFace>();
    if (FT_Init_FreeType(&ft->library) != 0 ||
        FT_New_Face(ft->library, file.c_str(), faceIndex, &ft->face) != 0)
        return nullptr;
    font->ftFace_ = std::move(ft);
    return font;
}

Font::~Font() {
    if (hbFont_) hb_font_destroy(hbFont_);
}

bool Font::hasCodePoint(char32_t cp) const {
    hb_codepoint_t glyph = 0;
    return hb_font_get_nominal_glyph(hbFont_, cp, &glyph) && glyph != 0;
}

Path Font::glyphOutline(uint32_t glyph) const {
    std::lock_guard lock(outlineMutex_);
    if (auto it = outlines_.find(glyph); it != outlines_.end()) return it->second;
    Path outline;
    FT_Face face = ftFace_->face;
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) == 0 &&
        face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        OutlineSink sink;
        FT_Outline_Funcs funcs{};
        funcs.move_to = sinkMove;
        funcs.line_to = sinkLine;
        funcs.conic_to = sinkConic;
        funcs.cubic_to = sinkCubic;
        if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink) == 0) {
            if (sink.open) sink.builder.close();
            outline = sink.builder.build();
        }
    }
    outlines_.emplace(glyph, outline);
    return outline;
}

struct FontResolver::Candidate {
    std::string file;
    int faceIndex = 0;
    std::string family;
    FcCharSet* charset = nullptr;  // owned reference
    std::unique_ptr<Font> font;
    bool tried = false;

    ~Candidate() {
        if (charset) FcCharSetDestroy(charset);
    }
    const Font* loaded() {
        if (!tried) {
            tried = true;
            font = Font::load(file, faceIndex, family);
        }
        return font.get();
    }
};

const FontResolver& FontResolver::shared() {
    static const FontResolver resolver("Helvetica");
    return resolver;
}

FontResolver::FontResolver(const std::string& family) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    // Sorted by how well each font matches the family: the first loadable
    // one is the primary font, the rest serve as fallbacks in that order.
    FcFontSet* sorted = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    if (sorted) {
        for (int i = 0; i < sorted->nfont; ++i) {
            FcPattern* p = sorted->fonts[i];
            auto candidate = std::make_unique<Candidate>();
            candidate->file = patternString(p, FC_FILE);
            candidate->faceIndex = patternInt(p, FC_INDEX);
            candidate->family = patternString(p, FC_FAMILY);
            FcCharSet* charset = nullptr;
            if (FcPatternGetCharSet(p, FC_CHARSET, 0, &charset) == FcResultMatch && charset)
                candidate->charset = FcCharSetCopy(charset);
            if (candidate->file.empty()) continue;
            if (!primary_) {
                primary_ = Font::load(candidate->file, candidate->faceIndex, candidate->family);
                if (primary_) continue;
            }
            candidates_.push_back(std::move(candidate));
        }
        FcFontSetDestroy(sorted);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    if (!primary_) logLine("no usable font for " + family + "; markup text will be blank");
}

FontResolver::~FontResolver() = default;

const Font* FontResolver::fontFor(char32_t cp) const {
    if (!primary_ || primary_->hasCodePoint(cp)) return primary_.get();
    std::lock_guard lock(mutex_);
    if (auto it = fallbackMemo_.find(cp); it != fallbackMemo_.end()) return it->second;
    const Font* chosen = primary_.get();
    for (const auto& candidate : candidates_) {
        if (!candidate->charset || !FcCharSetHasChar(candidate->charset, cp)) continue;
        const Font* font = candidate->loaded();
        if (font && font->hasCodePoint(cp)) {
            chosen = font;
            break;
        }
    }
    fallbackMemo_.emplace(cp, chosen);
    return chosen;
}

}  // namespace quillet
