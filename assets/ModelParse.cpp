// Decoding of the model file format from memory. Every count is checked
// against the bytes that remain before any array is sized from it, so a short
// or hostile file costs no more memory than its own size justifies.
#include "assets/Model.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace {

constexpr std::uint64_t blockHeaderBytes = 12;
constexpr std::uint64_t vertexRecordBytes = 20;
constexpr std::uint64_t faceRecordBytes = 12;

std::uint32_t readU32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

float readFloat(const unsigned char* p)
{
    return std::bit_cast<float>(readU32(p));
}

// The part of the file not consumed yet.
struct Cursor {
    const unsigned char* next;
    std::size_t remaining;

    const unsigned char* take(std::size_t count)
    {
        const unsigned char* start = next;
        next += count;
        remaining -= count;
        return start;
    }
};

bool parseMesh(Cursor& in, Mesh& mesh, bool& outOfMemory)
{
    if (in.remaining < blockHeaderBytes)
        return false;
    const unsigned char* header = in.take(blockHeaderBytes);
    const std::uint32_t vertexCount = readU32(header);
    const std::uint32_t faceCount = readU32(header + 4);
    const std::uint32_t materialNameLength = readU32(header + 8);
    // At most 2^32 * 32 bytes in all, so the sum cannot overflow 64 bits.
    const std::uint64_t needed = materialNameLength + vertexRecordBytes * vertexCount + faceRecordBytes * faceCount;
    if (needed > in.remaining)
        return false;

    const auto* name = reinterpret_cast<const char*>(in.take(materialNameLength));
    const void* zero = std::memchr(name, 0, materialNameLength);
    mesh.materialName.assign(name, zero ? static_cast<const char*>(zero) - name : materialNameLength);

    mesh.vertexCount = vertexCount;
    mesh.faceCount = faceCount;
    mesh.vertices.reset(new (std::nothrow) float[std::size_t{vertexCount} * 3]);
    mesh.texCoords.reset(new (std::nothrow) float[std::size_t{vertexCount} * 2]);
    mesh.normals.reset(new (std::nothrow) float[std::size_t{vertexCount} * 3]);
    mesh.faces.reset(new (std::nothrow) std::uint32_t[std::size_t{faceCount} * 3]);
    if (!mesh.vertices || !mesh.texCoords || !mesh.normals || !mesh.faces) {
        outOfMemory = true;
        return false;
    }

    const unsigned char* record = in.take(vertexRecordBytes * vertexCount);
    float* position = mesh.vertices.get();
    float* texCoord = mesh.texCoords.get();
    for (std::uint32_t j = 0; j < vertexCount; ++j, record += vertexRecordBytes) {
        position[3 * std::size_t{j}] = readFloat(record);
        position[3 * std::size_t{j} + 1] = readFloat(record + 4);
        position[3 * std::size_t{j} + 2] = readFloat(record + 8);
        texCoord[2 * std::size_t{j}] = readFloat(record + 12);
        texCoord[2 * std::size_t{j} + 1] = readFloat(record + 16);
    }

    const std::size_t indexCount = std::size_t{faceCount} * 3;
    const unsigned char* index = in.take(faceRecordBytes * faceCount);
    std::uint32_t* faces = mesh.faces.get();
    std::uint32_t largest = 0;
    for (std::size_t i = 0; i < indexCount; ++i) {
        faces[i] = readU32(index + 4 * i);
        largest = std::max(largest, faces[i]);
    }
    if (faceCount > 0 && largest >= vertexCount)
        return false;

    mesh.computeNormals();
    return true;
}

} // namespace

bool Model::parse(const unsigned char* data, std::size_t size, bool* outOfMemory)
{
    meshes.reset();
    meshCount = 0;
    bool noMemory = false;
    if (outOfMemory)
        *outOfMemory = false;
    Cursor in{data, size};
    if (in.remaining < 4)
        return false;
    const std::uint32_t count = readU32(in.take(4));
    // Each block takes at least its 12-byte header: a larger count cannot be
    // backed by the file and must not size the mesh array.
    if (count > in.remaining / blockHeaderBytes)
        return false;

    // Allocations that fail end the parse like a corrupt file, never with an
    // exception; outOfMemory tells the two apart.
    std::unique_ptr<Mesh[]> list(new (std::nothrow) Mesh[count]);
    bool ok = list != nullptr;
    noMemory = !ok;
    for (std::uint32_t i = 0; ok && i < count; ++i)
        ok = parseMesh(in, list[i], noMemory);
    if (!ok) {
        if (outOfMemory)
            *outOfMemory = noMemory;
        return false;
    }
    meshes = std::move(list);
    meshCount = count;
    return true;
}
