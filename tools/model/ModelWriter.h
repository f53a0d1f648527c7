// Meshes and the writer of the demo's binary model format: a mesh count, then
// per mesh its vertex count, face count, material name length, the name bytes,
// 20-byte vertices (x, y, z, u, v) and 12-byte triangles, all little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace makedata {

struct Vertex {
    float x, y, z, u, v;
};

struct MeshData {
    std::string material;
    std::vector<Vertex> vertices;
    std::vector<std::array<std::uint32_t, 3>> faces; // counter-clockwise seen from outside
};

// Helps build a mesh out of triangles and quads.
class MeshBuilder {
public:
    explicit MeshBuilder(std::string material) { mesh.material = std::move(material); }
    std::uint32_t vertex(float x, float y, float z, float u, float v);
    void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) { mesh.faces.push_back({a, b, c}); }
    // Corners counter-clockwise as seen from the side the quad faces.
    void quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
    std::uint32_t count() const { return static_cast<std::uint32_t>(mesh.vertices.size()); }
    MeshData take() { return std::move(mesh); }

private:
    MeshData mesh;
};

std::vector<unsigned char> encodeModel(const std::vector<MeshData>& meshes);
bool writeModel(const std::string& path, const std::vector<MeshData>& meshes);

// The demo's model: a small low-poly longship (Longship.cpp).
std::vector<MeshData> buildLongship();

} // namespace makedata
