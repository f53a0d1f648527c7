// Test inputs made on the spot: PNG files of any colour type, bit depth and
// interlacing (encoded with libpng), and scratch directories.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testfiles {

struct PngRecipe {
    unsigned width = 1;
    unsigned height = 1;
    int colorType = 2; // PNG_COLOR_TYPE_RGB
    int bitDepth = 8;
    bool interlaced = false;
    // One value per sample (palette index for palette images), rows from the
    // top, width * height * channels values.
    std::vector<std::uint16_t> samples;
    std::vector<std::uint8_t> palette;      // r, g, b per entry
    std::vector<std::uint8_t> paletteAlpha; // tRNS entries
    std::optional<double> gamma;            // gAMA chunk
};

std::vector<unsigned char> encodePng(const PngRecipe& recipe);
void writeFile(const std::string& path, const std::vector<unsigned char>& bytes);

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The directory followed by "/".
    const std::string& prefix() const { return path; }
    // The directory itself.
    std::string directory() const { return path.empty() ? path : path.substr(0, path.size() - 1); }

private:
    std::string path;
};

} // namespace testfiles
