// The pixel format every context of the demo asks for: double-buffered, at
// least the given colour depth, a 16-bit depth buffer and an 8-bit stencil
// buffer, in a compatibility (legacy) OpenGL context. Shared by the window and
// the offscreen renderer so both draw into the same kind of frame.
#pragma once

// Stores the request for the next window SDL creates; SDL must have video up.
// False when SDL refuses to store it.
bool requestPixelFormat(int bitsPerPixel);
