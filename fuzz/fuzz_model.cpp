// libFuzzer target: the model file decoder, with the normals it computes.
#include "assets/Model.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Model model;
    if (!model.parse(data, size))
        return 0;
    // A decoded model must be self-consistent: every face names a vertex of
    // its own mesh, and every normal is finite wherever the positions are.
    for (std::uint32_t m = 0; m < model.meshCount; ++m) {
        const Mesh& mesh = model.meshes[m];
        bool finitePositions = true;
        for (std::size_t i = 0; i < std::size_t{mesh.vertexCount} * 3; ++i)
            finitePositions = finitePositions && std::abs(mesh.vertices[i]) < 1e6f;
        for (std::size_t i = 0; i < std::size_t{mesh.faceCount} * 3; ++i)
            if (mesh.faces[i] >= mesh.vertexCount)
                std::abort();
        for (std::size_t i = 0; finitePositions && i < std::size_t{mesh.vertexCount} * 3; ++i)
            if (!std::isfinite(mesh.normals[i]))
                std::abort();
    }
    return 0;
}
