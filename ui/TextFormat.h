// Fills the "%s" of a (possibly translated) format with one text.  A
// translation is outside our control, so any other conversion is shown as
// written instead of reading arguments that were never passed.
#pragma once

#include <string>

std::wstring FormatWithText(const wchar_t* format, const wchar_t* text);
