// The frame log: read once from the environment, written with one call per line.
#include "app/FrameLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace frameLog {

bool enabled()
{
    static const bool on = [] {
        const char* value = std::getenv("BRAKVANE_FRAME_LOG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return on;
}

void write(float t)
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    std::fprintf(stderr, "frame %.6f %lld.%09ld\n", static_cast<double>(t), static_cast<long long>(ts.tv_sec),
                 static_cast<long>(ts.tv_nsec));
}

} // namespace frameLog
