#include "framework/Format.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace fx {

std::wstring FormatV(const wchar_t* format, va_list args)
{
    va_list count_args;
    va_copy(count_args, args);
    const int length = _vscwprintf(format, count_args);
    va_end(count_args);
    if (length <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(length), L'\0');
    _vsnwprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::wstring Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring out = FormatV(format, args);
    va_end(args);
    return out;
}

bool FormatIntoV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args)
{
    if (!buffer || capacity == 0) return false;
    const int written = _vsnwprintf(buffer, capacity, format, args);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        buffer[0] = L'\0';
        return false;
    }
    return true;
}

bool FormatInto(wchar_t* buffer, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool ok = FormatIntoV(buffer, capacity, format, args);
    va_end(args);
    return ok;
}

std::string ToUtf8(std::wstring_view text)
{
    if (text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

}  // namespace fx
