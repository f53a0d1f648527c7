// Triangle meshes read from one model file, with per-vertex normals computed
// at load time and arrays laid out for OpenGL vertex arrays.
//
// File format (all fields little-endian, no header, padding or end marker):
//   u32 meshCount, then meshCount blocks of
//     u32 vertexCount, u32 faceCount, u32 materialNameLength,
//     materialNameLength bytes of name (no terminating zero),
//     vertexCount records of 5 floats: x, y, z, u, v,
//     faceCount records of 3 u32 vertex indices into the same block.
//   Bytes after the last block are ignored.
//
// Model files larger than modelMaxFileBytes (64 MiB) are refused unread, so
// that loading one never takes more than about two and a half times that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Far above any model a demo draws (some three million vertices); the arrays
// decoded from a file take at most 1.6 times its size.
inline constexpr std::size_t modelMaxFileBytes = std::size_t{64} << 20;

class Mesh {
public:
    Mesh() = default;
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Area-weighted unit normals: each face adds its unnormalised cross
    // product to its three corners. A vertex whose sum has length zero keeps
    // (0, 0, 0). Faces naming a vertex outside the mesh are passed over.
    void computeNormals();
    // Draws the faces with vertex, normal and texture coordinate arrays, which
    // are enabled for the call and disabled again afterwards.
    void draw() const;

    std::uint32_t vertexCount = 0;
    std::uint32_t faceCount = 0;
    // The stored name up to its first zero byte.
    std::string materialName;
    std::unique_ptr<float[]> vertices;      // vertexCount x (x, y, z)
    std::unique_ptr<float[]> normals;       // vertexCount x (x, y, z)
    std::unique_ptr<std::uint32_t[]> faces; // faceCount x (i0, i1, i2)
    std::unique_ptr<float[]> texCoords;     // vertexCount x (u, v)

private:
    friend class Model;
    void setPointers() const;
    void drawElements() const;
};

class Model {
public:
    Model();
    // Sets name to the path and loads it; the result of the load is not kept.
    explicit Model(std::string path);
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Reads the file at path. False with a console line when the file cannot
    // be opened, is larger than modelMaxFileBytes, needs more memory than can
    // be had, or is corrupt (ends early, has counts its bytes cannot back, or
    // a face index not below its mesh's vertexCount); the model then keeps no
    // meshes. name is set to the path either way.
    bool load(std::string path);
    // Decodes a whole model file held in memory, replacing any meshes. False,
    // with no meshes kept, for a corrupt file or when memory for its arrays
    // cannot be had (outOfMemory, when given, tells which). Writes nothing.
    bool parse(const unsigned char* data, std::size_t size, bool* outOfMemory = nullptr);
    // Draws every mesh, enabling the three arrays once around them all.
    void draw() const;

    std::unique_ptr<Mesh[]> meshes; // meshCount meshes in file order
    std::string name;
    std::uint32_t meshCount = 0;
};
