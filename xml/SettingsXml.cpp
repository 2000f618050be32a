#include "xml/SettingsXml.h"

#include <climits>

namespace settingsxml {

bool FindSetting(MyXmlReader& reader, const MyGuid& id)
{
    const std::wstring wanted = id.ToString(1);
    for (MyXmlNode* node = reader.SelectByTagName(L"Setting"); node; node = reader.MoveNext()) {
        std::wstring value;
        if (reader.GetAttribute(value, L"ID") != S_OK) continue;
        if (value == wanted) return true;
    }
    return false;
}

bool ParseInteger(const std::wstring& text, long& value)
{
    if (text.empty()) return false;
    long long result = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        result = result * 10 + (c - L'0');
        // A longer text would not fit the 32-bit value; it is not a valid
        // integer rather than a silently clipped one.
        if (result > LONG_MAX) return false;
    }
    value = static_cast<long>(result);
    return true;
}

namespace {

bool SameLetters(const std::wstring& text, const wchar_t* word)
{
    size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != word[i]) return false;
    }
    return i == text.size();
}

}  // namespace

bool ParseFlag(const std::wstring& text, bool& value)
{
    if (SameLetters(text, L"true") || text == L"1") {
        value = true;
        return true;
    }
    if (SameLetters(text, L"false") || text == L"0") {
        value = false;
        return true;
    }
    return false;
}

}  // namespace settingsxml
