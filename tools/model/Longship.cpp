// The demo's model: a low-poly longship, about two units long (x from stern
// to bow, y up, z across). Six meshes, one per material: hull, deck, mast and
// yard, sail, shields, and the carved posts at bow and stern. Every face is
// wound counter-clockwise as seen from outside.
#include <algorithm>
#include <cmath>

#include "model/ModelWriter.h"

namespace makedata {

namespace {

constexpr float pi = 3.14159265f;
constexpr int stations = 20; // along the hull
constexpr int ribs = 10;     // around each hull section

float halfBeam(float s)
{
    return 0.26f * std::pow(std::max(0.0f, 1.0f - std::pow(std::fabs(s), 2.2f)), 0.8f) + 0.004f;
}

float gunwale(float s)
{
    return 0.12f + 0.22f * std::pow(std::fabs(s), 3.0f);
}

float keel(float s)
{
    return -0.12f + 0.30f * std::pow(std::fabs(s), 4.0f);
}

struct Vec {
    float x, y, z;
};

Vec operator-(Vec a, Vec b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec cross(Vec a, Vec b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec normalised(Vec a)
{
    const float l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? Vec{a.x / l, a.y / l, a.z / l} : Vec{0, 0, 0};
}

MeshData hull()
{
    MeshBuilder b("hull");
    for (int i = 0; i <= stations; ++i) {
        const float s = -1.0f + 2.0f * static_cast<float>(i) / stations;
        for (int j = 0; j <= ribs; ++j) {
            const float phi = pi * static_cast<float>(j) / ribs;
            const float depth = std::pow(std::max(0.0f, std::sin(phi)), 0.8f);
            b.vertex(s, gunwale(s) - (gunwale(s) - keel(s)) * depth, halfBeam(s) * std::cos(phi),
                     static_cast<float>(i) / stations, static_cast<float>(j) / ribs);
        }
    }
    auto at = [](int i, int j) { return static_cast<std::uint32_t>(i * (ribs + 1) + j); };
    for (int i = 0; i < stations; ++i)
        for (int j = 0; j < ribs; ++j)
            b.quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j));
    return b.take();
}

MeshData deck()
{
    MeshBuilder b("deck");
    for (int i = 0; i <= stations; ++i) {
        const float s = -1.0f + 2.0f * static_cast<float>(i) / stations;
        const float u = static_cast<float>(i) / stations;
        b.vertex(s, gunwale(s), halfBeam(s), u, 0.0f);
        b.vertex(s, gunwale(s), -halfBeam(s), u, 1.0f);
    }
    for (std::uint32_t i = 0; i < stations; ++i) {
        const std::uint32_t port = 2 * i, starboard = 2 * i + 1;
        b.quad(port, port + 2, starboard + 2, starboard);
    }
    return b.take();
}

// A tube of `sides` faces along a path in the x-y plane, with capped ends.
void tube(MeshBuilder& b, const std::vector<Vec>& path, float r0, float r1, int sides)
{
    const std::uint32_t first = b.count();
    const size_t n = path.size();
    for (size_t i = 0; i < n; ++i) {
        const Vec t = normalised(path[std::min(i + 1, n - 1)] - path[i > 0 ? i - 1 : 0]);
        Vec side = normalised(cross(t, Vec{0, 0, 1}));
        if (side.x == 0 && side.y == 0 && side.z == 0)
            side = normalised(cross(t, Vec{1, 0, 0}));
        const Vec up = cross(side, t);
        const float f = static_cast<float>(i) / static_cast<float>(n - 1);
        const float r = r0 + (r1 - r0) * f;
        for (int k = 0; k < sides; ++k) {
            const float a = 2.0f * pi * static_cast<float>(k) / static_cast<float>(sides);
            const float c = std::cos(a) * r, s = std::sin(a) * r;
            b.vertex(path[i].x + side.x * c + up.x * s, path[i].y + side.y * c + up.y * s,
                     path[i].z + side.z * c + up.z * s, static_cast<float>(k) / static_cast<float>(sides), f);
        }
    }
    const auto ring = [&](size_t i, int k) {
        return first + static_cast<std::uint32_t>(i * static_cast<size_t>(sides) + static_cast<size_t>(k % sides));
    };
    for (size_t i = 0; i + 1 < n; ++i)
        for (int k = 0; k < sides; ++k)
            b.quad(ring(i, k), ring(i + 1, k), ring(i + 1, k + 1), ring(i, k + 1));
    const std::uint32_t start = b.vertex(path.front().x, path.front().y, path.front().z, 0.5f, 0.0f);
    const std::uint32_t end = b.vertex(path.back().x, path.back().y, path.back().z, 0.5f, 1.0f);
    for (int k = 0; k < sides; ++k) {
        b.triangle(start, ring(0, k + 1), ring(0, k));
        b.triangle(end, ring(n - 1, k), ring(n - 1, k + 1));
    }
}

MeshData spars()
{
    MeshBuilder b("mast");
    tube(b, {{0.0f, gunwale(0.0f) - 0.02f, 0.0f}, {0.0f, 1.18f, 0.0f}}, 0.02f, 0.014f, 6);
    tube(b, {{0.03f, 1.04f, -0.52f}, {0.03f, 1.04f, 0.0f}, {0.03f, 1.04f, 0.52f}}, 0.01f, 0.01f, 6);
    return b.take();
}

MeshData sail()
{
    MeshBuilder b("sail");
    constexpr int across = 8, down = 6;
    for (int side = 0; side < 2; ++side) {
        const std::uint32_t first = b.count();
        for (int row = 0; row <= down; ++row) {
            const float v = static_cast<float>(row) / down;
            for (int col = 0; col <= across; ++col) {
                const float u = static_cast<float>(col) / across;
                // Bellied forward by the wind, most at the middle of the lower edge.
                const float billow = 0.15f * std::sin(pi * u) * std::sin(pi * (0.15f + 0.8f * v));
                b.vertex(0.05f + billow, 1.0f - 0.62f * v, -0.47f + 0.94f * u, u, v);
            }
        }
        const auto at = [&](int row, int col) { return first + static_cast<std::uint32_t>(row * (across + 1) + col); };
        for (int row = 0; row < down; ++row) {
            for (int col = 0; col < across; ++col)
                if (side == 0) // front, facing the bow
                    b.quad(at(row, col), at(row, col + 1), at(row + 1, col + 1), at(row + 1, col));
                else // back, facing the stern
                    b.quad(at(row, col), at(row + 1, col), at(row + 1, col + 1), at(row, col + 1));
        }
    }
    return b.take();
}

MeshData shields()
{
    MeshBuilder b("shields");
    constexpr int perSide = 7, rim = 8;
    constexpr float radius = 0.045f;
    for (int side = 0; side < 2; ++side) {
        const float out = side == 0 ? 1.0f : -1.0f;
        for (int k = 0; k < perSide; ++k) {
            const float x = -0.6f + 1.2f * static_cast<float>(k) / (perSide - 1);
            const float y = gunwale(x) - 0.045f;
            const float z = out * (halfBeam(x) + 0.006f);
            const std::uint32_t centre = b.vertex(x, y, z + out * 0.012f, 0.5f, 0.5f);
            for (int r = 0; r < rim; ++r) {
                const float a = 2.0f * pi * static_cast<float>(r) / rim;
                b.vertex(x + radius * std::cos(a), y + radius * std::sin(a), z, 0.5f + 0.5f * std::cos(a),
                         0.5f - 0.5f * std::sin(a));
            }
            for (int r = 0; r < rim; ++r) {
                const std::uint32_t p = centre + 1 + static_cast<std::uint32_t>(r);
                const std::uint32_t q = centre + 1 + static_cast<std::uint32_t>((r + 1) % rim);
                // Seen from outside: counter-clockwise in x-y from +z, the other way from -z.
                if (side == 0)
                    b.triangle(centre, p, q);
                else
                    b.triangle(centre, q, p);
            }
        }
    }
    return b.take();
}

MeshData posts()
{
    MeshBuilder b("posts");
    // Bow: a neck that rises and leans forward, ending in a head.
    std::vector<Vec> neck;
    const float top = gunwale(1.0f);
    for (int i = 0; i <= 8; ++i) {
        const float t = static_cast<float>(i) / 8.0f;
        neck.push_back({1.0f + 0.05f * t + 0.07f * std::sin(pi * t), top - 0.03f + 0.42f * t, 0.0f});
    }
    neck.push_back({neck.back().x + 0.07f, neck.back().y + 0.03f, 0.0f});
    neck.push_back({neck.back().x + 0.06f, neck.back().y - 0.02f, 0.0f});
    tube(b, neck, 0.032f, 0.014f, 6);
    // Stern: a post that rises aft of the hull's end and curls forward over the top.
    std::vector<Vec> curl{{-1.0f, top - 0.03f, 0.0f}, {-1.02f, top + 0.12f, 0.0f}};
    const float cx = -0.89f, cy = top + 0.25f;
    for (int i = 0; i <= 12; ++i) {
        const float t = static_cast<float>(i) / 12.0f;
        const float a = 1.6f * pi * t;
        const float r = 0.12f * (1.0f - 0.6f * t);
        curl.push_back({cx - r * std::cos(a), cy + r * std::sin(a), 0.0f});
    }
    tube(b, curl, 0.03f, 0.012f, 6);
    return b.take();
}

} // namespace

std::vector<MeshData> buildLongship()
{
    std::vector<MeshData> meshes;
    meshes.push_back(hull());
    meshes.push_back(deck());
    meshes.push_back(spars());
    meshes.push_back(sail());
    meshes.push_back(shields());
    meshes.push_back(posts());
    return meshes;
}

} // namespace makedata
