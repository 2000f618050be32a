// Result codes and the exceptions that carry them inside the plug-in.
#pragma once

#include <windows.h>

#include <exception>

namespace fx {

// A Windows error code c > 0 becomes 0x80070000 | (c & 0xFFFF); 0 and
// negative codes (already COM results) pass unchanged.
constexpr HRESULT HResultFromCode(long code) noexcept
{
    return code > 0 ? static_cast<HRESULT>(0x80070000UL | (static_cast<unsigned long>(code) & 0xFFFFUL))
                    : static_cast<HRESULT>(code);
}

// The last error of a failed system call, as a COM result.
inline HRESULT HResultFromLastError() noexcept
{
    return HResultFromCode(static_cast<long>(::GetLastError()));
}

// A failed COM call: the one exception type that carries an HRESULT.
class ComError : public std::exception {
public:
    explicit ComError(HRESULT hr) noexcept : hr_(hr) {}
    HRESULT Code() const noexcept { return hr_; }
    const char* what() const noexcept override { return "COM error"; }

private:
    HRESULT hr_;
};

// Throws ComError for a failure code; returns the code otherwise.
inline HRESULT ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr)) throw ComError(hr);
    return hr;
}

// Throws ComError(E_POINTER) for an empty reference where one is needed.
template <typename P>
P* ThrowIfNull(P* p)
{
    if (!p) throw ComError(E_POINTER);
    return p;
}

// An argument out of range (an index past the end of a list).
class InvalidArgException : public std::exception {
public:
    const char* what() const noexcept override { return "invalid argument"; }
};

// A system object (mutex, window) that could not be created.
class ResourceException : public std::exception {
public:
    const char* what() const noexcept override { return "resource failure"; }
};

}  // namespace fx
