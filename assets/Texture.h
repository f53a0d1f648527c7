// One two-dimensional OpenGL texture made from an image file. Needs the
// window's OpenGL context to be current for load, bind and destruction.
#pragma once

#include <GL/gl.h>

#include <string>

class Texture {
public:
    Texture();
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Takes the full path of the file. PNG files (".png", ".PNG", ".Png") are
    // decoded and uploaded; JPEG names (".jpg", ".JPG", "jpeg") are accepted
    // without loading anything. False for any other name and for a PNG that
    // cannot be decoded, each with its console line. A good PNG that cannot
    // be uploaded (no OpenGL context) is accepted with texture name 0.
    bool load(std::string path);
    // Enables 2D texturing and binds this texture (name 0 when it holds none).
    void bind();

    // 0 while the texture holds no image.
    GLuint textureName = 0;
    // Size of the image as stored in the file.
    int width = 0;
    int height = 0;
};
