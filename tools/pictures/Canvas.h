// Drawing surface of the data generator: an RGBA float image whose texels are
// addressed through "view" coordinates, the size the picture has on screen.
// The demo stretches every picture over the window, so a 1024x512 texture is
// shown at 800x600; drawing in view coordinates keeps circles round and text
// upright after that stretch.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace makedata {

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

Color rgb(int hex, float alpha = 1.0f);
Color mix(const Color& p, const Color& q, float t);
Color scaled(const Color& c, float k); // colour times k, alpha kept

// Colour at a point in view coordinates.
using Paint = std::function<Color(float x, float y)>;
// Signed distance in view units: negative inside the shape.
using Sdf = std::function<float(float x, float y)>;

// Coverage per texel, 0..1.
class Mask {
public:
    Mask(int texW, int texH);
    int width() const { return w; }
    int height() const { return h; }
    float& at(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
    float at(int x, int y) const { return v[static_cast<size_t>(y) * w + x]; }
    // Separable box blur run three times (close to a Gaussian); radii in texels.
    void blur(int rx, int ry);
    void scale(float k);
    void unite(const Mask& other);    // max of both
    void subtract(const Mask& other); // this * (1 - other)
    void shift(int dx, int dy);       // moves the contents, filling with 0

private:
    int w, h;
    std::vector<float> v;
};

class Canvas {
public:
    Canvas(int texW, int texH, float viewW, float viewH);

    int width() const { return w; }
    int height() const { return h; }
    float viewWidth() const { return vw; }
    float viewHeight() const { return vh; }
    float texelsPerViewX() const { return w / vw; }
    float texelsPerViewY() const { return h / vh; }
    float viewX(int i) const { return (static_cast<float>(i) + 0.5f) * vw / w; }
    float viewY(int j) const { return (static_cast<float>(j) + 0.5f) * vh / h; }

    Mask newMask() const { return Mask(w, h); }
    // Anti-aliased coverage of a signed-distance shape.
    Mask shape(const Sdf& sdf) const;
    // The same for a shape known to lie inside the view box (x0, y0)-(x1, y1):
    // only that box is evaluated, which keeps many small shapes cheap.
    Mask shape(const Sdf& sdf, float x0, float y0, float x1, float y1) const;
    // Blur radius in view units, converted per axis.
    void blurView(Mask& m, float radius) const;

    void fill(const Paint& paint);
    void fill(const Mask& mask, const Paint& paint, float opacity = 1.0f);
    void fill(const Mask& mask, const Color& colour, float opacity = 1.0f);
    // Multiplies the colour (not alpha) by f(x, y).
    void modulate(const std::function<float(float x, float y)>& f);
    // Calls f for every texel with its view coordinates.
    void apply(const std::function<void(Color& c, float x, float y)>& f);

    Color& at(int i, int j) { return px[static_cast<size_t>(j) * w + i]; }
    const Color& at(int i, int j) const { return px[static_cast<size_t>(j) * w + i]; }

    // 8-bit rows, top row first; RGB or RGBA.
    std::vector<unsigned char> toBytes(bool withAlpha) const;

private:
    int w, h;
    float vw, vh;
    std::vector<Color> px;
};

// Signed-distance primitives, all in view coordinates.
namespace sdf {
float box(float x, float y, float cx, float cy, float hw, float hh, float radius = 0);
float circle(float x, float y, float cx, float cy, float r);
float segment(float x, float y, float ax, float ay, float bx, float by, float halfWidth);
// Simple polygon, points as x0,y0,x1,y1,...; either winding.
float polygon(float x, float y, const std::vector<float>& pts);
} // namespace sdf

// Paints.
Paint solid(const Color& c);
// Gradient along the line (x0,y0)->(x1,y1) through stops (position 0..1, colour).
Paint linear(float x0, float y0, float x1, float y1, std::vector<std::pair<float, Color>> stops);
Paint radial(float cx, float cy, float r, std::vector<std::pair<float, Color>> stops);

} // namespace makedata
