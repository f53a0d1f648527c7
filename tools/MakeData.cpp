// brakvane-makedata: writes the demo's data directory from scratch, the
// pictures (textures/), the longship model (models/) and the music as a WAV
// file that scripts/make-data.sh then encodes to MP3; with --icons, also the
// program's icons (a hicolor theme tree) cut from the opening picture.
//
//   brakvane-makedata [--fonts DIR] [--only pictures|model|music|icons] [--wav FILE] [--icons DIR] DATA_DIR
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "model/ModelWriter.h"
#include "music/Song.h"
#include "music/WavWriter.h"
#include "pictures/PictureFile.h"
#include "pictures/Pictures.h"

using namespace makedata;

namespace {

bool savePicture(const std::string& dir, const std::string& name, const Canvas& c, bool withAlpha)
{
    const std::string path = dir + "/" + name;
    if (!writePng(path, c.width(), c.height(), c.toBytes(withAlpha), withAlpha))
        return false;
    std::cout << "wrote " << path << " (" << c.width() << "x" << c.height() << ")" << std::endl;
    return true;
}

bool makePictures(const std::string& dataDir, const std::string& fontDir)
{
    const Fonts fonts(fontDir);
    if (!fonts.ok()) {
        std::cerr << "makedata: the DejaVu fonts are needed in " << fontDir << " (package fonts-dejavu-core)"
                  << std::endl;
        return false;
    }
    const std::string dir = dataDir + "/textures";
    bool ok = savePicture(dir, "danish.png", drawDanish(fonts), false);
    ok = savePicture(dir, "text.png", drawTextOverlay(fonts), true) && ok;
    for (int i = 1; i <= 5; ++i) {
        const std::string name = i == 1 ? "finnish.png" : "finnish" + std::to_string(i) + ".png";
        ok = savePicture(dir, name, drawFinnish(i, fonts), false) && ok;
    }
    ok = savePicture(dir, "endscroller.png", drawEndScroller(fonts), false) && ok;
    return ok;
}

// The sizes desktops look for in the hicolor theme.
constexpr int iconSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr const char* iconName = "org.kalvor.Brakvane.png";

bool makeIcons(const std::string& iconDir, const std::string& fontDir)
{
    const Fonts fonts(fontDir);
    if (!fonts.ok()) {
        std::cerr << "makedata: the DejaVu fonts are needed in " << fontDir << " (package fonts-dejavu-core)"
                  << std::endl;
        return false;
    }
    const Canvas opening = drawDanish(fonts);
    bool ok = true;
    for (int size : iconSizes) {
        const std::string dir = iconDir + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        ok = savePicture(dir, iconName, drawIcon(opening, size), false) && ok;
    }
    return ok;
}

bool makeModel(const std::string& dataDir)
{
    const std::string path = dataDir + "/models/brakvane.mdl";
    const std::vector<MeshData> meshes = buildLongship();
    if (!writeModel(path, meshes))
        return false;
    size_t vertices = 0, faces = 0;
    for (const MeshData& m : meshes) {
        vertices += m.vertices.size();
        faces += m.faces.size();
    }
    std::cout << "wrote " << path << " (" << meshes.size() << " meshes, " << vertices << " vertices, " << faces
              << " triangles)" << std::endl;
    return true;
}

bool makeMusic(const std::string& wavPath)
{
    const StereoClip song = renderSong();
    if (!writeWav(wavPath, song))
        return false;
    std::cout << "wrote " << wavPath << " (" << static_cast<double>(song.left.size()) / sampleRate << " s)"
              << std::endl;
    return true;
}

int usage()
{
    std::cerr << "usage: brakvane-makedata [--fonts DIR] [--only pictures|model|music|icons] [--wav FILE] "
                 "[--icons DIR] DATA_DIR"
              << std::endl;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string fontDir = "/usr/share/fonts/truetype/dejavu";
    std::string only;
    std::string wav;
    std::string iconDir;
    std::string dataDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--fonts" && hasValue)
            fontDir = argv[++i];
        else if (arg == "--only" && hasValue)
            only = argv[++i];
        else if (arg == "--wav" && hasValue)
            wav = argv[++i];
        else if (arg == "--icons" && hasValue)
            iconDir = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && dataDir.empty())
            dataDir = arg;
        else
            return usage();
    }
    if (dataDir.empty() || !(only.empty() || only == "pictures" || only == "model" || only == "music" ||
                             (only == "icons" && !iconDir.empty())))
        return usage();
    if (wav.empty())
        wav = dataDir + "/music/skalmtone.wav";
    std::error_code ec;
    for (const char* sub : {"textures", "models", "music"})
        if (only != "icons")
            std::filesystem::create_directories(dataDir + "/" + sub, ec);
    bool ok = true;
    if (!iconDir.empty() && (only.empty() || only == "icons"))
        ok = makeIcons(iconDir, fontDir) && ok;
    if (only.empty() || only == "pictures")
        ok = makePictures(dataDir, fontDir) && ok;
    if (only.empty() || only == "model")
        ok = makeModel(dataDir) && ok;
    if (only.empty() || only == "music")
        ok = makeMusic(wav) && ok;
    return ok ? 0 : 1;
}
