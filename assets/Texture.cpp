// Texture loading by file extension: the last four bytes of the path, compared
// exactly, so ".png" and ".Png" load but ".pNg" does not.
#include "assets/Texture.h"

#include "assets/pngBind.h"

#include <iostream>
#include <string_view>

Texture::Texture() = default;

Texture::~Texture()
{
    // Deleting name 0 is ignored by OpenGL, so no test is needed.
    glDeleteTextures(1, &textureName);
}

bool Texture::load(std::string path)
{
    std::cout << "Loading texture: " << path << std::endl;
    if (textureName != 0) { // a second load replaces the image, it does not leak it
        glDeleteTextures(1, &textureName);
        textureName = 0;
        width = height = 0;
    }
    const std::string_view extension =
        path.size() >= 4 ? std::string_view(path).substr(path.size() - 4) : std::string_view();

    if (extension == ".png" || extension == ".PNG" || extension == ".Png") {
        pngInfo info;
        textureName = pngBind(path.c_str(), pngNoMipmap, pngAlpha, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR);
        // pngBind fills info for every good file, also one it could not
        // upload (no OpenGL context, or the driver refused it). Such a file is
        // not to blame: it is kept without a texture name.
        if (textureName == 0 && info.Width == 0) {
            std::cout << "Unable to read PNG file: " << path << std::endl;
            return false;
        }
        width = static_cast<int>(info.Width);
        height = static_cast<int>(info.Height);
        return true;
    }
    if (extension == ".jpg" || extension == ".JPG" || extension == "jpeg")
        return true; // accepted; there is no JPEG decoder, so it holds no image

    std::cout << "Unsupported texture format: " << path << std::endl;
    return false;
}

void Texture::bind()
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName);
}
