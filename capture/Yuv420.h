// Frames for the video encoder: OpenGL's RGBA read-back turned into planar
// 4:2:0 YUV with the BT.709 matrix in limited range, the form every H.264 and
// VP9 player expects. Done here rather than by ffmpeg's scaler because it is
// the most expensive step at large sizes, and here it runs in the same pass
// that reorders the rows, while the encoder's threads have the cores to
// themselves.
#pragma once

#include <cstddef>

// Bytes of one frame: a full-size Y plane, then quarter-size U and V planes.
inline std::size_t yuv420Bytes(int width, int height)
{
    return static_cast<std::size_t>(width) * height * 3 / 2;
}

// rgba: width * height pixels of 8-bit R, G, B, A, the bottom row first (as
// glReadPixels gives them); yuv: yuv420Bytes, the top row first. Width and
// height are even. Each U and V sample is that of the 2 x 2 pixels' mean.
void rgbaToYuv420(const unsigned char* rgba, int width, int height, unsigned char* yuv);
