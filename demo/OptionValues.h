// Values on the command lines of both programs: whole numbers and WIDTHxHEIGHT
// sizes, read strictly (the whole text, plain decimal digits, no sign).
#pragma once

#include <charconv>
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
