// FreeType text rendering into masks.
#include "pictures/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

namespace makedata {

namespace {

// Code points of a UTF-8 string; malformed bytes become '?'.
std::vector<char32_t> decodeUtf8(const std::string& s)
{
    std::vector<char32_t> out;
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xe0) == 0xc0) {
            cp = c & 0x1f;
            extra = 1;
        } else if ((c & 0xf0) == 0xe0) {
            cp = c & 0x0f;
            extra = 2;
        } else if ((c & 0xf8) == 0xf0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(U'?');
            ++i;
            continue;
        }
        if (i + static_cast<size_t>(extra) >= s.size()) {
            out.push_back(U'?');
            break;
        }
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3f);
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

} // namespace

Font::Font(const std::string& path)
{
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        std::cerr << "makedata: cannot start FreeType" << std::endl;
        return;
    }
    library = lib;
    FT_Face opened = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &opened) != 0) {
        std::cerr << "makedata: cannot open font " << path << std::endl;
        return;
    }
    face = opened;
}

Font::~Font()
{
    if (face != nullptr)
        FT_Done_Face(face);
    if (library != nullptr)
        FT_Done_FreeType(library);
}

void Font::setSize(const Canvas& canvas, float size) const
{
    const auto w = static_cast<FT_F26Dot6>(std::lround(size * canvas.texelsPerViewX() * 64.0f));
    const auto h = static_cast<FT_F26Dot6>(std::lround(size * canvas.texelsPerViewY() * 64.0f));
    FT_Set_Char_Size(face, w, h, 72, 72);
}

// The kerning between two glyphs in texels; 0 after no glyph or in a face without kerning.
float Font::kerning(unsigned previous, unsigned index) const
{
    if (previous == 0 || !FT_HAS_KERNING(face))
        return 0;
    FT_Vector k{};
    FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k);
    return static_cast<float>(k.x) / 64.0f;
}

float Font::measure(const Canvas& canvas, const std::string& utf8, float size, float tracking) const
{
    if (face == nullptr)
        return 0;
    setSize(canvas, size);
    FT_Set_Transform(face, nullptr, nullptr);
    float texels = 0;
    FT_UInt previous = 0;
    for (char32_t cp : decodeUtf8(utf8)) {
        const FT_UInt index = FT_Get_Char_Index(face, cp);
        texels += kerning(previous, index);
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING) == 0)
            texels += static_cast<float>(face->glyph->advance.x) / 64.0f;
        texels += tracking * canvas.texelsPerViewX();
        previous = index;
    }
    texels -= tracking * canvas.texelsPerViewX();
    return texels / canvas.texelsPerViewX();
}

void Font::draw(Mask& mask, const Canvas& canvas, const std::string& utf8, float x, float baseline, float size,
                float tracking) const
{
    if (face == nullptr)
        return;
    setSize(canvas, size);
    float penX = x * canvas.texelsPerViewX();
    const float penY = baseline * canvas.texelsPerViewY();
    FT_UInt previous = 0;
    for (char32_t cp : decodeUtf8(utf8)) {
        const FT_UInt index = FT_Get_Char_Index(face, cp);
        penX += kerning(previous, index);
        // The fractional part of the pen goes into the outline, so spacing is exact.
        const float whole = std::floor(penX);
        FT_Vector delta{static_cast<FT_Pos>(std::lround((penX - whole) * 64.0f)), 0};
        FT_Set_Transform(face, nullptr, &delta);
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) == 0) {
            const FT_GlyphSlot g = face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            const int left = static_cast<int>(whole) + g->bitmap_left;
            const int top = static_cast<int>(std::lround(penY)) - g->bitmap_top;
            for (unsigned row = 0; row < bm.rows; ++row) {
                const int y = top + static_cast<int>(row);
                if (y < 0 || y >= mask.height())
                    continue;
                for (unsigned col = 0; col < bm.width; ++col) {
                    const int px = left + static_cast<int>(col);
                    if (px < 0 || px >= mask.width())
                        continue;
                    const unsigned char level = bm.buffer[row * static_cast<unsigned>(bm.pitch) + col];
                    const float cov = static_cast<float>(level) / 255.0f;
                    mask.at(px, y) = std::max(mask.at(px, y), cov);
                }
            }
            penX += static_cast<float>(g->advance.x) / 64.0f;
        }
        penX += tracking * canvas.texelsPerViewX();
        previous = index;
    }
    FT_Set_Transform(face, nullptr, nullptr);
}

void Font::drawCentred(Mask& mask, const Canvas& canvas, const std::string& utf8, float centreX, float baseline,
                       float size, float tracking) const
{
    const float w = measure(canvas, utf8, size, tracking);
    draw(mask, canvas, utf8, centreX - w * 0.5f, baseline, size, tracking);
}

} // namespace makedata
