// Model loading from a file, normal generation and drawing with vertex arrays.
#include "assets/Model.h"

#include "assets/FileBytes.h"
#include "base/ShownName.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>

void Mesh::computeNormals()
{
    // Local restrict pointers let the compiler keep positions in registers
    // across the stores into the normals.
    float* __restrict n = normals.get();
    const float* __restrict v = vertices.get();
    const std::uint32_t* __restrict f = faces.get();
    std::fill(n, n + std::size_t{vertexCount} * 3, 0.0f);
    for (std::size_t k = 0; k < faceCount; ++k) {
        const std::uint32_t i0 = f[3 * k], i1 = f[3 * k + 1], i2 = f[3 * k + 2];
        if ((i0 >= vertexCount) | (i1 >= vertexCount) | (i2 >= vertexCount))
            continue;
        const float* a = v + 3 * std::size_t{i0};
        const float* b = v + 3 * std::size_t{i1};
        const float* c = v + 3 * std::size_t{i2};
        const float ax = a[0], ay = a[1], az = a[2];
        const float e1x = b[0] - ax, e1y = b[1] - ay, e1z = b[2] - az;
        const float e2x = c[0] - ax, e2y = c[1] - ay, e2z = c[2] - az;
        // Not normalised: a face's weight grows with its area.
        const float nx = e1y * e2z - e1z * e2y;
        const float ny = e1z * e2x - e1x * e2z;
        const float nz = e1x * e2y - e1y * e2x;
        // Written out: a loop over the corners compiles to slower code here.
        float* p = n + 3 * std::size_t{i0};
        float* q = n + 3 * std::size_t{i1};
        float* r = n + 3 * std::size_t{i2};
        p[0] += nx;
        p[1] += ny;
        p[2] += nz;
        q[0] += nx;
        q[1] += ny;
        q[2] += nz;
        r[0] += nx;
        r[1] += ny;
        r[2] += nz;
    }
    for (std::size_t j = 0; j < vertexCount; ++j) {
        float* sum = n + 3 * j;
        const float length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        // A vertex no face uses keeps (0, 0, 0) instead of dividing by zero.
        const float divisor = length > 0.0f ? length : 1.0f;
        sum[0] /= divisor;
        sum[1] /= divisor;
        sum[2] /= divisor;
    }
}

void Mesh::setPointers() const
{
    glVertexPointer(3, GL_FLOAT, 0, vertices.get());
    glNormalPointer(GL_FLOAT, 0, normals.get());
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords.get());
}

void Mesh::drawElements() const
{
    // glDrawElements takes a signed int count; a mesh with more indices than
    // that is drawn in whole triangles over several calls.
    constexpr std::size_t largestCall = INT_MAX / 3 * 3;
    std::size_t remaining = std::size_t{faceCount} * 3;
    const std::uint32_t* first = faces.get();
    do {
        const std::size_t count = std::min(remaining, largestCall);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT, first);
        first += count;
        remaining -= count;
    } while (remaining > 0);
}

namespace {

void enableArrays()
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void disableArrays()
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

} // namespace

void Mesh::draw() const
{
    enableArrays();
    setPointers();
    drawElements();
    disableArrays();
}

Model::Model() = default;

Model::Model(std::string path) : name(path)
{
    load(std::move(path));
}

Model::~Model() = default;

bool Model::load(std::string path)
{
    name = path;
    std::cout << "Loading model: " << path << std::endl;
    FileBytes file;
    std::string reason;
    if (!readFileBytes(path, file, modelMaxFileBytes, &reason)) {
        meshes.reset();
        meshCount = 0;
        std::cerr << "brakvane: " << shownName(path) << ": " << reason << std::endl;
        std::cout << "Unable to open model file: " << path << std::endl;
        return false;
    }
    bool outOfMemory = false;
    if (!parse(file.data.get(), file.size, &outOfMemory)) {
        // A file that is merely too big for the memory at hand is not corrupt.
        if (outOfMemory) {
            std::cerr << "brakvane: " << path << ": out of memory" << std::endl;
            std::cout << "Unable to open model file: " << path << std::endl;
        } else {
            std::cout << "Corrupt model file: " << path << std::endl;
        }
        return false;
    }
    return true;
}

void Model::draw() const
{
    enableArrays();
    for (std::uint32_t i = 0; i < meshCount; ++i) {
        meshes[i].setPointers();
        meshes[i].drawElements();
    }
    disableArrays();
}
