// Building binary files byte by byte in little-endian order, whatever the
// host, and writing them out whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace makedata {

// Appends the low `bytes` bytes of v, least significant first.
void putLittleEndian(std::vector<unsigned char>& out, std::uint32_t v, int bytes);
// Writes the bytes to path; false, with a line on standard error, when that fails.
bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace makedata
