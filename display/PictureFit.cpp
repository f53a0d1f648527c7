// The picture's rectangle in a frame of any size (see PictureFit.h).
#include "display/PictureFit.h"

#include <algorithm>

PictureArea fitPicture(int width, int height, int pictureWidth, int pictureHeight)
{
    if (width <= 0 || height <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return {};
    long long w = width;
    long long h = height;
    if (w * pictureHeight > h * pictureWidth)
        w = (h * pictureWidth + pictureHeight / 2) / pictureHeight;
    else
        h = (w * pictureHeight + pictureWidth / 2) / pictureWidth;
    // A sliver of a frame still shows a pixel of the picture.
    w = std::max(w, 1LL);
    h = std::max(h, 1LL);
    const long long left = (width - w) / 2;
    const long long top = (height - h) / 2;
    return {static_cast<int>(left), static_cast<int>(height - top - h), static_cast<int>(w), static_cast<int>(h)};
}
