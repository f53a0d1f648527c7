// PNG files to textures: decoding is PngDecode's, sizing and resampling
// ImageScale's; this file only asks the driver what it takes and uploads.
#include "assets/pngBind.h"

#include "assets/FileBytes.h"
#include "assets/ImageScale.h"
#include "assets/PngDecode.h"
#include "base/ShownName.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>

namespace {

// Non-power-of-two sizes are core from OpenGL 2.0 and an extension before.
bool takesNonPowerOfTwo(const char* version)
{
    if (std::atoi(version) >= 2)
        return true;
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, "GL_ARB_texture_non_power_of_two");
}

// OpenGL ES 2 (and WebGL 1, which reports itself as it) takes only an
// internal format equal to the pixel format, which there means the same 8
// bits per channel; asking for a sized one first would only be refused.
bool takesOnlyUnsizedFormats(const char* version)
{
    return std::strncmp(version, "OpenGL ES 2", 11) == 0;
}

void clearGlErrors()
{
    // Bounded, since a lost context may keep reporting an error.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Why an upload made no texture name.
enum class Upload { done, noContext, noMemory, refused };

// Releases the decoded pixels once resampled, so that the driver's copy is
// never made while both images are held.
Upload upload(PngImage& image, int wrapst, int minfilter, int magfilter, GLuint& name)
{
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version)
        return Upload::noContext;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const TextureSize size = fitTextureSize(image.width, image.height, takesNonPowerOfTwo(version),
                                            static_cast<unsigned>(std::max(maxSize, 1)));

    const unsigned char* pixels = image.pixels.get();
    std::unique_ptr<unsigned char[]> scaled;
    if (size.width != image.width || size.height != image.height) {
        // Bounded by the decoded image: sides shrink to fit the driver, or
        // grow to a power of two below twice their own (only on drivers
        // without non-power-of-two textures), so at most four times it.
        scaled.reset(new (std::nothrow) unsigned char[std::size_t{size.width} * size.height * image.channels]);
        if (!scaled ||
            !scaleImage(pixels, image.width, image.height, image.channels, scaled.get(), size.width, size.height))
            return Upload::noMemory;
        image.pixels.reset();
        pixels = scaled.get();
    }

    clearGlErrors();
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapst);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minfilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magfilter);

    // RGB rows of odd width are not 4-byte aligned.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = image.channels == 4 ? GL_RGBA : GL_RGB;
    const auto width = static_cast<GLsizei>(size.width);
    const auto height = static_cast<GLsizei>(size.height);
    const bool unsized = takesOnlyUnsizedFormats(version);
    if (!unsized)
        glTexImage2D(GL_TEXTURE_2D, 0, image.channels == 4 ? GL_RGBA8 : GL_RGB8, width, height, 0, format,
                     GL_UNSIGNED_BYTE, pixels);
    if (unsized || glGetError() != GL_NO_ERROR) {
        // Unsized: the same 8 bits per channel where sized formats are not taken.
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);

    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        name = 0;
        return Upload::refused;
    }
    return Upload::done;
}

} // namespace

GLuint pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst, int minfilter, int magfilter)
{
    if (mipmap != pngNoMipmap || (trans != pngAlpha && trans != pngSolid)) {
        std::cerr << "pngBind: unsupported mipmap or transparency mode for " << shownName(filename) << std::endl;
        return 0;
    }
    FileBytes file;
    std::string reason;
    if (!readFileBytes(filename, file, pngMaxFileBytes, &reason)) {
        std::cerr << "pngBind: cannot read " << shownName(filename) << ": " << reason << std::endl;
        return 0;
    }
    PngImage image;
    PngDecodeOptions options;
    options.keepAlpha = trans == pngAlpha;
    options.fourChannels = true;
    if (!decodePng(file.data.get(), file.size, image, options, &reason)) {
        std::cerr << "pngBind: " << shownName(filename) << ": " << reason << std::endl;
        return 0;
    }
    file = {}; // the compressed bytes are not needed during upload

    GLuint name = 0;
    switch (upload(image, wrapst, minfilter, magfilter, name)) {
    case Upload::done:
        break;
    case Upload::noMemory:
        std::cerr << "pngBind: " << shownName(filename) << ": out of memory for resampling" << std::endl;
        return 0;
    case Upload::noContext: {
        // Said once: without a context every picture ends up here.
        static bool told = false;
        if (!told)
            std::cerr << "pngBind: no OpenGL context; pictures are kept without textures" << std::endl;
        told = true;
        break;
    }
    case Upload::refused:
        std::cerr << "pngBind: " << shownName(filename) << ": the driver refused the image" << std::endl;
        break;
    }
    // Filled for a good file even when it could not be uploaded, which is
    // how callers tell that from a file that cannot be read.
    if (info) {
        info->Width = image.width;
        info->Height = image.height;
    }
    return name;
}
