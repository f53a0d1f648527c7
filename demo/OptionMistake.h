// What is wrong with a long option getopt_long did not take, for the one line
// of ours that refuses it: a name no option has, a value given to an option
// that takes none, or an abbreviation that fits several options.
#pragma once

#include <getopt.h>
#include <string>
#include <string_view>

// The reason for refusing `seen` (the argument getopt_long stepped over),
// without the program's name; options ends with an all-zero entry.
inline std::string optionMistake(const char* seen, const option* options)
{
    const std::string_view text(seen);
    if (text.size() > 2 && text.starts_with("--")) {
        const std::string_view given = text.substr(2, text.find('=') - 2);
        const bool withValue = text.find('=') != std::string_view::npos;
        std::string candidates;
        int matches = 0;
        const option* match = nullptr;
        for (const option* o = options; o->name != nullptr; ++o) {
            const std::string_view name(o->name);
            if (name == given) {
                matches = 1;
                match = o;
                break;
            }
            if (!given.empty() && name.starts_with(given)) {
                ++matches;
                match = o;
                candidates += (candidates.empty() ? "--" : ", --") + std::string(name);
            }
        }
        if (matches > 1)
            return "option '--" + std::string(given) + "' is ambiguous: it may be " + candidates + " (see --help)";
        if (matches == 1 && withValue && match->has_arg == no_argument)
            return "option '--" + std::string(match->name) + "' takes no value";
    }
    return "unknown option '" + std::string(text) + "' (see --help)";
}
