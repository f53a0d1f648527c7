// The baseline workload of the drawing benchmarks: textured window-sized
// quads in immediate mode, as the timeline sends them.
#pragma once

#include <GL/gl.h>

inline void submitFullScreenQuads(int count)
{
    for (int i = 0; i < count; ++i) {
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1);
        glVertex3f(-1, -1, 0);
        glTexCoord2f(1, 1);
        glVertex3f(1, -1, 0);
        glTexCoord2f(1, 0);
        glVertex3f(1, 1, 0);
        glTexCoord2f(0, 0);
        glVertex3f(-1, 1, 0);
        glEnd();
    }
}
