// The scenes. Every vertex is in normalised device coordinates (no matrices
// are loaded), and every quad runs counter-clockwise on screen because back
// faces are culled.
//
// Precision is part of the schedule: t is single precision; the scene
// thresholds are doubles compared with t widened; the end threshold 98.9 is a
// float compared in single precision; formulas are evaluated in double from t
// and handed to OpenGL as floats. The rates 0.066 of the horizontal bar and
// 0.16 of the scroller are float constants widened, the vertical bar's 0.066
// is a double.
#include "demo/Timeline.h"

#include <GL/gl.h>
#include <cmath>
#include <string>

namespace {

constexpr double openingEnd = 40.1;
constexpr double barsStart = 10.2;
constexpr double sequenceEnd = 68.5;

struct Cut {
    double after;
    const char* picture;
};
constexpr Cut sequenceCuts[] = {
    {54.8, "finnish2.png"},
    {58.2, "finnish3.png"},
    {62.2, "finnish4.png"},
    {65.8, "finnish5.png"},
};

// The picture as the cache holds it, or null when it does not hold it or
// holds it without an image (a good file that could not be uploaded): such
// a picture is left out, and the caller draws nothing for that layer.
Texture* usablePicture(const ResourceCache<Texture>& textures, const char* name)
{
    Texture* texture = textures.get(name);
    return texture && texture->textureName != 0 ? texture : nullptr;
}

// Binds the picture, which also turns texturing on; false when it is left out.
bool bindPicture(const ResourceCache<Texture>& textures, const char* name)
{
    Texture* texture = usablePicture(textures, name);
    if (!texture)
        return false;
    texture->bind();
    return true;
}

void vertex(double x, double y, double z)
{
    glVertex3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// The texture's first row lies along the top edge.
void texturedQuad(double bottom, double top, double z)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    vertex(-1, bottom, z);
    glTexCoord2f(1, 1);
    vertex(1, bottom, z);
    glTexCoord2f(1, 0);
    vertex(1, top, z);
    glTexCoord2f(0, 0);
    vertex(-1, top, z);
    glEnd();
}

void fullScreenQuad(double z)
{
    texturedQuad(-1, 1, z);
}

void drawPicture(const ResourceCache<Texture>& textures, const char* name, double z)
{
    if (bindPicture(textures, name))
        fullScreenQuad(z);
}

void flatQuad(double x0, double y0, double x1, double y1, double z)
{
    glBegin(GL_QUADS);
    vertex(x0, y0, z);
    vertex(x1, y0, z);
    vertex(x1, y1, z);
    vertex(x0, y1, z);
    glEnd();
}

void openingLayers(float t, const ResourceCache<Texture>& textures)
{
    glColor4f(1, 1, 1, 1);
    drawPicture(textures, "danish.png", 0);
    if (!(static_cast<double>(t) > barsStart))
        return;

    // Two dark-blue bars growing in from the left and the top edge.
    glColor4f(0, 0, 0.7f, 1);
    glDisable(GL_TEXTURE_2D);
    const double d = static_cast<double>(t) - barsStart;
    const double x = static_cast<double>(0.066f) * d - 1;
    flatQuad(-1, -0.08, x, 0.08, -0.1);
    const double y = 1 - 0.066 * d;
    flatQuad(-0.325, y, -0.185, 1, -0.1);

    // The text pulses in and out over everything.
    const float phase = 5.0f * t;
    const double a = 0.5 * std::sin(static_cast<double>(phase)) + 0.5;
    glColor4f(1, 1, 1, static_cast<float>(a));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawPicture(textures, "text.png", -0.2);
    glDisable(GL_BLEND);
}

// Each layer of the opening lies nearer than the one before (0, -0.1, -0.2
// against a depth cleared to the far plane), so a depth test could never
// reject one of its fragments. It is off while they are drawn, which spares
// a depth read and write per fragment, and back as it was afterwards.
void openingScene(float t, const ResourceCache<Texture>& textures)
{
    const bool depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    openingLayers(t, textures);
    if (depthTest)
        glEnable(GL_DEPTH_TEST);
}

void pictureSequence(float t, float spectrum0, const ResourceCache<Texture>& textures)
{
    glPushMatrix();
    const double k = 0.2 * static_cast<double>(spectrum0) + 1;
    glScalef(static_cast<float>(k), static_cast<float>(k), 1);
    // All pictures lie at the same depth; each must cover the one before.
    glDisable(GL_DEPTH_TEST);
    glColor4f(1, 1, 1, 1);
    // Each picture is drawn opaque over exactly the pixels of the one before,
    // so only the latest one that is due and held is drawn: the same frame,
    // without painting every full-screen picture under it first.
    Texture* shown = nullptr;
    for (const Cut& cut : sequenceCuts)
        if (static_cast<double>(t) > cut.after)
            if (Texture* picture = usablePicture(textures, cut.picture))
                shown = picture;
    if (!shown)
        shown = usablePicture(textures, "finnish.png");
    if (shown) {
        shown->bind();
        fullScreenQuad(0);
    }
    glPopMatrix();
}

void endScroller(float t, const ResourceCache<Texture>& textures)
{
    // Draws with the state the earlier scenes leave: white, no blending, no depth test.
    if (!bindPicture(textures, "endscroller.png"))
        return;
    const double rise = static_cast<double>(0.16f) * (static_cast<double>(t) - sequenceEnd);
    texturedQuad(rise - 4, rise - 1, -0.21);
}

} // namespace

void clearFrame()
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void drawScene(float t, float spectrum0, const ResourceCache<Texture>& textures)
{
    const double time = static_cast<double>(t);
    if (time < openingEnd)
        openingScene(t, textures);
    else if (time > openingEnd && time < sequenceEnd)
        pictureSequence(t, spectrum0, textures);
    else if (time > sequenceEnd)
        endScroller(t, textures);
    // At exactly 68.5 nothing is drawn and the frame stays black.
}
