// Where the demo's 4:3 picture goes in a frame or window of another size: the
// largest rectangle of the picture's aspect ratio that fits, centred, with the
// bars left over shared between the two sides. The window, the offline
// renderer and the web page all place the picture through this one function,
// so they agree to the pixel at every size.
#pragma once

struct PictureArea {
    int x = 0;      // from the left edge
    int bottom = 0; // from the bottom edge, as OpenGL's viewport counts
    int width = 0;
    int height = 0;
};

// The picture (pictureWidth x pictureHeight) fitted into width x height; the
// fitted side is rounded to the nearest pixel. A frame with no area gives an
// empty rectangle.
PictureArea fitPicture(int width, int height, int pictureWidth, int pictureHeight);
