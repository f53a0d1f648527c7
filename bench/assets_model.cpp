// Loading a large model file through Model::load against only reading the
// same file's bytes into memory, in one run, reported as a ratio (1.0 would
// mean decoding and normal generation cost nothing beyond the read).
//
// The file (about 45 MB, 100 meshes of 100 x 100 vertex grids) is generated
// into /tmp by the benchmark itself and removed at the end.
#include "BenchTiming.h"
#include "assets/FileBytes.h"
#include "assets/Model.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <malloc.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = BenchClock;

void put32(std::vector<unsigned char>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void putFloat(std::vector<unsigned char>& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    put32(out, bits);
}

// A wavy grid per mesh, two triangles per cell.
std::vector<unsigned char> makeModelFile(std::uint32_t meshes, std::uint32_t side)
{
    std::vector<unsigned char> out;
    put32(out, meshes);
    const std::string material = "bench material";
    for (std::uint32_t m = 0; m < meshes; ++m) {
        put32(out, side * side);
        put32(out, 2 * (side - 1) * (side - 1));
        put32(out, static_cast<std::uint32_t>(material.size()));
        out.insert(out.end(), material.begin(), material.end());
        for (std::uint32_t y = 0; y < side; ++y)
            for (std::uint32_t x = 0; x < side; ++x) {
                putFloat(out, static_cast<float>(x));
                putFloat(out, static_cast<float>(y));
                putFloat(out, std::sin(0.1f * static_cast<float>(x + m)) * std::cos(0.1f * static_cast<float>(y)));
                putFloat(out, static_cast<float>(x) / side);
                putFloat(out, static_cast<float>(y) / side);
            }
        for (std::uint32_t y = 0; y + 1 < side; ++y)
            for (std::uint32_t x = 0; x + 1 < side; ++x) {
                const std::uint32_t i = y * side + x;
                for (std::uint32_t corner : {i, i + 1, i + side, i + 1, i + side + 1, i + side})
                    put32(out, corner);
            }
    }
    return out;
}

} // namespace

int main()
{
    const std::string path = "/tmp/brakvane-bench-" + std::to_string(getpid()) + ".model";
    {
        const std::vector<unsigned char> bytes = makeModelFile(100, 100);
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::cerr << "cannot write " << path << std::endl;
            return 1;
        }
        std::fclose(file);
        std::cout << "model file: " << bytes.size() / 1e6 << " MB, 100 meshes" << std::endl;
    }

    // The console line of each load goes to a buffer, not the terminal.
    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf();
    std::vector<double> readTimes, loadTimes;
    bool ok = true;
    for (int round = 0; round < 15; ++round) {
        // Both start from a heap handed back to the system, as at start-up, so
        // neither finds the other's pages already mapped.
        malloc_trim(0);
        auto begin = Clock::now();
        {
            FileBytes file;
            ok = readFileBytes(path, file) && ok;
            readTimes.push_back(secondsSince(begin));
        }

        malloc_trim(0);
        std::cout.rdbuf(quiet.rdbuf());
        begin = Clock::now();
        {
            Model model;
            ok = model.load(path) && ok;
            loadTimes.push_back(secondsSince(begin)); // releasing the model is not loading
        }
        std::cout.rdbuf(console);
        quiet.str("");
    }
    std::remove(path.c_str());
    if (!ok) {
        std::cerr << "loading failed" << std::endl;
        return 1;
    }
    const double read = median(readTimes), load = median(loadTimes);
    std::cout << "read " << read * 1e3 << " ms, load " << load * 1e3 << " ms (medians of 15)" << std::endl;
    std::cout << "RATIO model load vs reading the file: " << read / load << " (target >= 0.25)" << std::endl;
    return 0;
}
