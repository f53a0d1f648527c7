// Values on the command lines of both programs: whole numbers and WIDTHxHEIGHT
// sizes, read strictly (the whole text, plain decimal digits, no sign).
#pragma once

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

// A whole number in plain decimal digits filling all of text, within [low, high].
inline bool parseWhole(std::string_view text, int low, int high, int& value)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// WIDTHxHEIGHT, each side from 1 to maxSide; crosses lists the characters
// taken for the x.
inline bool parseSize(std::string_view text, std::string_view crosses, int maxSide, int& width, int& height)
{
    const std::size_t cross = text.find_first_of(crosses);
    return cross != std::string_view::npos && parseWhole(text.substr(0, cross), 1, maxSide, width) &&
           parseWhole(text.substr(cross + 1), 1, maxSide, height);
}

// A number in plain decimal or exponent notation that fills all of text and is
// finite ("+" allowed). One too small for a double is the 0 (or the tiny
// number) it rounds to, not an error; one too large is refused.
inline bool parseDecimal(std::string_view text, double& value)
{
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.remove_prefix(1);
    double parsed = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || end != text.data() + text.size())
        return false;
    if (status == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when out of range; strtod, given the
        // same digits, tells an underflow (a result below 1) from an overflow.
        const std::string copy(text);
        parsed = std::strtod(copy.c_str(), nullptr);
        if (!(std::fabs(parsed) < 1.0))
            return false;
    } else if (status != std::errc()) {
        return false;
    }
    if (!std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}
