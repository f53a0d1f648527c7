// Encodes meshes in the demo's model format, byte by byte in little-endian
// order so that the file is the same on any host.
#include "model/ModelWriter.h"

#include "ByteFile.h"

#include <cstring>
#include <fstream>
#include <iostream>

namespace makedata {

std::uint32_t MeshBuilder::vertex(float x, float y, float z, float u, float v)
{
    mesh.vertices.push_back(Vertex{x, y, z, u, v});
    return count() - 1;
}

void MeshBuilder::quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    triangle(a, b, c);
    triangle(a, c, d);
}

namespace {

void putU32(std::vector<unsigned char>& out, std::uint32_t v)
{
    putLittleEndian(out, v, 4);
}

void putF32(std::vector<unsigned char>& out, float f)
{
    std::uint32_t bits = 0;
    static_assert(sizeof bits == sizeof f);
    std::memcpy(&bits, &f, sizeof bits);
    putU32(out, bits);
}

} // namespace

std::vector<unsigned char> encodeModel(const std::vector<MeshData>& meshes)
{
    std::vector<unsigned char> out;
    putU32(out, static_cast<std::uint32_t>(meshes.size()));
    for (const MeshData& m : meshes) {
        putU32(out, static_cast<std::uint32_t>(m.vertices.size()));
        putU32(out, static_cast<std::uint32_t>(m.faces.size()));
        putU32(out, static_cast<std::uint32_t>(m.material.size()));
        out.insert(out.end(), m.material.begin(), m.material.end());
        for (const Vertex& v : m.vertices) {
            putF32(out, v.x);
            putF32(out, v.y);
            putF32(out, v.z);
            putF32(out, v.u);
            putF32(out, v.v);
        }
        for (const auto& f : m.faces) {
            putU32(out, f[0]);
            putU32(out, f[1]);
            putU32(out, f[2]);
        }
    }
    return out;
}

bool writeModel(const std::string& path, const std::vector<MeshData>& meshes)
{
    for (const MeshData& m : meshes) {
        for (const auto& f : m.faces) {
            for (std::uint32_t i : f) {
                if (i >= m.vertices.size()) {
                    std::cerr << "makedata: mesh " << m.material << " names vertex " << i << " of " << m.vertices.size()
                              << std::endl;
                    return false;
                }
            }
        }
    }
    const std::vector<unsigned char> bytes = encodeModel(meshes);
    return writeBytes(path, bytes);
}

} // namespace makedata
