// Reads a whole regular file into memory in one piece, so that the loaders
// decode from a buffer instead of issuing a read call per field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct FileBytes {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
};

// False when the path cannot be opened, is not a regular file (a directory,
// a pipe, a device), is larger than maxBytes, needs more memory than can be
// had, or cannot be read to its end; error then gets the reason. A file over
// the limit is refused from its size alone, before any memory is taken.
bool readFileBytes(const std::string& path, FileBytes& out, std::size_t maxBytes = SIZE_MAX,
                   std::string* error = nullptr);
