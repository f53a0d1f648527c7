// Little-endian byte building and whole-file writing for the generator's binary files.
#include "ByteFile.h"

#include <fstream>
#include <iostream>

namespace makedata {

void putLittleEndian(std::vector<unsigned char>& out, std::uint32_t v, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out.push_back(static_cast<unsigned char>((v >> (8 * k)) & 0xffu));
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::cerr << "makedata: cannot write " << path << std::endl;
        return false;
    }
    return true;
}

} // namespace makedata
