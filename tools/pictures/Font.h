// Anti-aliased text for the data generator, drawn with FreeType into coverage
// masks. Sizes and positions are in view units; glyphs are scaled per axis so
// that they look right once the picture is stretched over the window.
#pragma once

#include <string>

#include "pictures/Canvas.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace makedata {

class Font {
public:
    explicit Font(const std::string& path);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool ok() const { return face != nullptr; }

    // Advance width of the text in view units; tracking is extra space after each glyph.
    float measure(const Canvas& canvas, const std::string& utf8, float size, float tracking = 0) const;
    // Draws with the baseline's left end at (x, baseline).
    void draw(Mask& mask, const Canvas& canvas, const std::string& utf8, float x, float baseline, float size,
              float tracking = 0) const;
    void drawCentred(Mask& mask, const Canvas& canvas, const std::string& utf8, float centreX, float baseline,
                     float size, float tracking = 0) const;

private:
    void setSize(const Canvas& canvas, float size) const;
    float kerning(unsigned previous, unsigned index) const;

    FT_LibraryRec_* library = nullptr;
    FT_FaceRec_* face = nullptr;
};

} // namespace makedata
