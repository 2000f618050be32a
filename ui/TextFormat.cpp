#include "ui/TextFormat.h"

std::wstring FormatWithText(const wchar_t* format, const wchar_t* text)
{
    std::wstring out;
    if (!format) return out;
    if (!text) text = L"";
    for (const wchar_t* p = format; *p; ++p) {
        if (p[0] == L'%' && p[1] == L's') {
            out += text;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            out += L'%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}
