// The page's arguments. strtod stands in for from_chars, which emscripten's
// library lacks for floating point.
#include "web/PageOptions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

std::optional<double> number(const char* text)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

PageOptions parsePageOptions(int argc, char** argv)
{
    PageOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool at = std::strcmp(argv[i], "--at") == 0;
        const bool spectrum = std::strcmp(argv[i], "--spectrum") == 0;
        if ((!at && !spectrum) || i + 1 >= argc) {
            std::cerr << "page: ignoring argument " << argv[i] << std::endl;
            continue;
        }
        const std::optional<double> value = number(argv[++i]);
        if (!value || (spectrum && std::fabs(*value) > 1e30)) {
            std::cerr << "page: ignoring " << argv[i - 1] << " " << argv[i] << std::endl;
            continue;
        }
        if (at)
            options.at = value;
        else
            options.spectrum = static_cast<float>(*value);
    }
    return options;
}
