// The progress line, redrawn in place with a carriage return.
#include "capture/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int barWidth = 24;

std::string clockText(double seconds)
{
    const long whole = std::lround(seconds);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

std::string progressLine(std::int64_t done, std::int64_t total, double elapsed)
{
    const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const int filled = std::clamp(static_cast<int>(part * barWidth), 0, barWidth);
    std::string line;
    line += '[';
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), '-');
    line += ']';
    const int digits = static_cast<int>(std::to_string(total).size());
    char text[128];
    std::snprintf(text, sizeof text, " %*lld/%lld frames", digits, static_cast<long long>(done),
                  static_cast<long long>(total));
    line += text;
    if (done > 0 && elapsed > 0) {
        const double rate = static_cast<double>(done) / elapsed;
        std::snprintf(text, sizeof text, "  %6.1f fps", rate);
        line += text;
        if (done < total)
            line += "  " + clockText(static_cast<double>(total - done) / rate) + " left";
        else
            line += "  " + clockText(elapsed) + " in all";
    }
    return line;
}

ProgressBar::ProgressBar(std::int64_t frames, bool enable)
    : total(frames), enabled(enable), start(Clock::now()), lastDraw(start)
{}

bool ProgressBar::wanted()
{
    return isatty(STDERR_FILENO) == 1;
}

void ProgressBar::update(std::int64_t done)
{
    if (!enabled)
        return;
    const Clock::time_point now = Clock::now();
    if (drawn && done < total && now - lastDraw < std::chrono::milliseconds(100))
        return;
    lastDraw = now;
    drawn = true;
    const double elapsed = std::chrono::duration<double>(now - start).count();
    // \33[K clears what a longer earlier line left behind.
    std::fprintf(stderr, "\r%s\33[K", progressLine(done, total, elapsed).c_str());
    std::fflush(stderr);
}

void ProgressBar::finish()
{
    if (enabled && drawn) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        drawn = false;
    }
}
