// Where the demo's data lives, relative to the working directory; the live
// demo and the offline renderer read the same files.
#pragma once

namespace dataPaths {

inline constexpr const char* music = "data/music/skalmtone.mp3";
inline constexpr const char* textures = "data/textures/";
inline constexpr const char* models = "data/models/";

} // namespace dataPaths
