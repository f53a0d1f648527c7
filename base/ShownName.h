// Names (paths, environment values, a library's words) as they are shown in a
// message of our own on standard error: a byte that could end the line or
// steer the terminal is written as an escape, the way `ls -b` shows names, so
// a file named "a\nbrakvane: done" cannot split a message or fake another.
// On the floor under every layer, since each of them writes such messages:
// header-only, with nothing below it but the standard library.
#pragma once

#include <cstring>
#include <string>

// Tab, line break and the other C escapes by letter (\t, \n, ...), any other
// control byte as three octal digits (\033), a backslash doubled. Everything
// else, UTF-8 included, is kept as it is.
inline std::string shownName(const std::string& name)
{
    static constexpr char controls[] = "\a\b\t\n\v\f\r";
    static constexpr char letters[] = "abtnvfr";
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const char* control = c != '\0' ? std::strchr(controls, c) : nullptr;
        if (c == '\\') {
            shown += "\\\\";
        } else if (control) {
            shown += '\\';
            shown += letters[control - controls];
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += '\\';
            shown += static_cast<char>('0' + (byte >> 6));
            shown += static_cast<char>('0' + ((byte >> 3) & 7));
            shown += static_cast<char>('0' + (byte & 7));
        } else {
            shown += c;
        }
    }
    return shown;
}
