// Canvas, masks, signed-distance shapes and paints of the data generator.
#include "pictures/Canvas.h"

#include <algorithm>
#include <cmath>

namespace makedata {

Color rgb(int hex, float alpha)
{
    return Color{static_cast<float>((hex >> 16) & 0xff) / 255.0f, static_cast<float>((hex >> 8) & 0xff) / 255.0f,
                 static_cast<float>(hex & 0xff) / 255.0f, alpha};
}

Color mix(const Color& p, const Color& q, float t)
{
    return Color{p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t, p.a + (q.a - p.a) * t};
}

Color scaled(const Color& c, float k)
{
    return Color{c.r * k, c.g * k, c.b * k, c.a};
}

Mask::Mask(int texW, int texH) : w(texW), h(texH), v(static_cast<size_t>(texW) * texH, 0.0f) {}

namespace {

// One box-blur pass over n values spaced by stride; running sum, edges clamped.
void boxPass(float* data, int n, int stride, int r, std::vector<float>& tmp)
{
    if (r <= 0 || n <= 0)
        return;
    tmp.resize(static_cast<size_t>(n));
    const float inv = 1.0f / static_cast<float>(2 * r + 1);
    auto get = [&](int i) { return data[static_cast<size_t>(std::clamp(i, 0, n - 1)) * stride]; };
    float sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += get(i);
    for (int i = 0; i < n; ++i) {
        tmp[static_cast<size_t>(i)] = sum * inv;
        sum += get(i + r + 1) - get(i - r);
    }
    for (int i = 0; i < n; ++i)
        data[static_cast<size_t>(i) * stride] = tmp[static_cast<size_t>(i)];
}

} // namespace

void Mask::blur(int rx, int ry)
{
    std::vector<float> tmp;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            boxPass(&v[static_cast<size_t>(y) * w], w, 1, rx, tmp);
        for (int x = 0; x < w; ++x)
            boxPass(&v[static_cast<size_t>(x)], h, w, ry, tmp);
    }
}

void Mask::scale(float k)
{
    for (float& f : v)
        f *= k;
}

void Mask::unite(const Mask& other)
{
    for (size_t i = 0; i < v.size() && i < other.v.size(); ++i)
        v[i] = std::max(v[i], other.v[i]);
}

void Mask::subtract(const Mask& other)
{
    for (size_t i = 0; i < v.size() && i < other.v.size(); ++i)
        v[i] *= 1.0f - std::clamp(other.v[i], 0.0f, 1.0f);
}

void Mask::shift(int dx, int dy)
{
    std::vector<float> out(v.size(), 0.0f);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h)
            continue;
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            if (sx >= 0 && sx < w)
                out[static_cast<size_t>(y) * w + x] = v[static_cast<size_t>(sy) * w + sx];
        }
    }
    v.swap(out);
}

Canvas::Canvas(int texW, int texH, float viewW, float viewH)
    : w(texW), h(texH), vw(viewW), vh(viewH), px(static_cast<size_t>(texW) * texH)
{}

Mask Canvas::shape(const Sdf& f) const
{
    return shape(f, 0.0f, 0.0f, vw, vh);
}

Mask Canvas::shape(const Sdf& f, float x0, float y0, float x1, float y1) const
{
    Mask m(w, h);
    const float sx = vw / w;
    const float sy = vh / h;
    // One texel of margin so the anti-aliased edge is never cut.
    const int i0 = std::max(0, static_cast<int>(std::floor(x0 / sx)) - 1);
    const int i1 = std::min(w, static_cast<int>(std::ceil(x1 / sx)) + 1);
    const int j0 = std::max(0, static_cast<int>(std::floor(y0 / sy)) - 1);
    const int j1 = std::min(h, static_cast<int>(std::ceil(y1 / sy)) + 1);
    for (int j = j0; j < j1; ++j) {
        const float y = viewY(j);
        for (int i = i0; i < i1; ++i) {
            const float x = viewX(i);
            const float d = f(x, y);
            // Distance change over one texel step in each axis: the width of the
            // edge ramp, so edges stay one texel soft whatever the stretch.
            const float dx = f(x + sx, y) - d;
            const float dy = f(x, y + sy) - d;
            const float ramp = std::max(std::sqrt(dx * dx + dy * dy), 1e-6f);
            m.at(i, j) = std::clamp(0.5f - d / ramp, 0.0f, 1.0f);
        }
    }
    return m;
}

void Canvas::blurView(Mask& m, float radius) const
{
    const int rx = static_cast<int>(std::lround(radius * texelsPerViewX() / 1.7f));
    const int ry = static_cast<int>(std::lround(radius * texelsPerViewY() / 1.7f));
    m.blur(std::max(rx, 1), std::max(ry, 1));
}

void Canvas::fill(const Paint& paint)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            at(i, j) = paint(viewX(i), viewY(j));
}

void Canvas::fill(const Mask& mask, const Paint& paint, float opacity)
{
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const float cov = std::clamp(mask.at(i, j) * opacity, 0.0f, 1.0f);
            if (cov <= 0.0f)
                continue;
            const Color src = paint(viewX(i), viewY(j));
            const float sa = std::clamp(src.a * cov, 0.0f, 1.0f);
            Color& dst = at(i, j);
            // Source-over with straight alpha.
            const float oa = sa + dst.a * (1.0f - sa);
            if (oa <= 0.0f) {
                dst = Color{0, 0, 0, 0};
                continue;
            }
            auto over = [&](float s, float d) { return (s * sa + d * dst.a * (1.0f - sa)) / oa; };
            dst = Color{over(src.r, dst.r), over(src.g, dst.g), over(src.b, dst.b), oa};
        }
    }
}

void Canvas::fill(const Mask& mask, const Color& colour, float opacity)
{
    fill(mask, solid(colour), opacity);
}

void Canvas::modulate(const std::function<float(float, float)>& f)
{
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            Color& c = at(i, j);
            const float k = f(viewX(i), viewY(j));
            c.r *= k;
            c.g *= k;
            c.b *= k;
        }
    }
}

void Canvas::apply(const std::function<void(Color&, float, float)>& f)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            f(at(i, j), viewX(i), viewY(j));
}

std::vector<unsigned char> Canvas::toBytes(bool withAlpha) const
{
    const int channels = withAlpha ? 4 : 3;
    std::vector<unsigned char> out(static_cast<size_t>(w) * h * channels);
    auto q = [](float v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    size_t k = 0;
    for (const Color& c : px) {
        out[k++] = q(c.r);
        out[k++] = q(c.g);
        out[k++] = q(c.b);
        if (withAlpha)
            out[k++] = q(c.a);
    }
    return out;
}

namespace sdf {

float box(float x, float y, float cx, float cy, float hw, float hh, float radius)
{
    const float qx = std::fabs(x - cx) - hw + radius;
    const float qy = std::fabs(y - cy) - hh + radius;
    const float ox = std::max(qx, 0.0f);
    const float oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float circle(float x, float y, float cx, float cy, float r)
{
    return std::hypot(x - cx, y - cy) - r;
}

float segment(float x, float y, float ax, float ay, float bx, float by, float halfWidth)
{
    const float px = x - ax;
    const float py = y - ay;
    const float dx = bx - ax;
    const float dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - dx * t, py - dy * t) - halfWidth;
}

float polygon(float x, float y, const std::vector<float>& pts)
{
    const size_t n = pts.size() / 2;
    if (n < 3)
        return 1e9f;
    float d = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const float xi = pts[2 * i], yi = pts[2 * i + 1];
        const float xj = pts[2 * j], yj = pts[2 * j + 1];
        const float ex = xj - xi, ey = yj - yi;
        const float wx = x - xi, wy = y - yi;
        const float len2 = ex * ex + ey * ey;
        const float t = len2 > 0 ? std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f) : 0.0f;
        const float bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        // Even-odd crossing test for the sign.
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    const float dist = std::sqrt(d);
    return inside ? -dist : dist;
}

} // namespace sdf

Paint solid(const Color& c)
{
    return [c](float, float) { return c; };
}

namespace {

Color sampleStops(const std::vector<std::pair<float, Color>>& stops, float t)
{
    if (stops.empty())
        return Color{};
    if (t <= stops.front().first)
        return stops.front().second;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].first) {
            const float span = stops[i].first - stops[i - 1].first;
            const float u = span > 0 ? (t - stops[i - 1].first) / span : 1.0f;
            return mix(stops[i - 1].second, stops[i].second, u);
        }
    }
    return stops.back().second;
}

} // namespace

Paint linear(float x0, float y0, float x1, float y1, std::vector<std::pair<float, Color>> stops)
{
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float len2 = std::max(dx * dx + dy * dy, 1e-12f);
    return [=](float x, float y) { return sampleStops(stops, ((x - x0) * dx + (y - y0) * dy) / len2); };
}

Paint radial(float cx, float cy, float r, std::vector<std::pair<float, Color>> stops)
{
    return [=](float x, float y) { return sampleStops(stops, std::hypot(x - cx, y - cy) / r); };
}

} // namespace makedata
