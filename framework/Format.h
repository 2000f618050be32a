// printf-style formatting of wide text and UTF-8 conversion.
// Formats follow the Windows C library: in a wide format "%s" is a wide string.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace fx {

std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

// Formats into a fixed buffer of `capacity` characters (terminator included).
// False when the text does not fit; the buffer then holds an empty text.
bool FormatInto(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
bool FormatIntoV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args);

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace fx
