// The localisation binding and the text lookup every user-visible text uses.
#pragma once

#include <windows.h>

#include <string>

#include "services/InfoLog.h"

extern CZelLibrary g_LocLibrary;

// 1 when the library is (or already was) loaded and bound, 0 otherwise.
int LoadLocalizeLibrary(HMODULE module);
long LocSetLocale(LANGID languageId);
void LocAddFileW(const wchar_t* path);
const wchar_t* LocLookupAW(const char* key, DWORD* size);
wchar_t* LocA2W(wchar_t* buffer, const char* text, DWORD capacity);
// Clears the ten entries and frees the library (tests; module unload does the
// same through g_LocLibrary).
void UnloadLocalizeLibrary();

// A looked-up text, held in the caller's own storage: a lookup allocates
// nothing on the heap.  Longer translations are cut at the capacity.
class LocalText {
public:
    static constexpr size_t kCapacity = 512;
    LocalText() { m_text[0] = L'\0'; }
    const wchar_t* c_str() const { return m_text; }
    operator const wchar_t*() const { return m_text; }
    std::wstring str() const { return m_text; }
    wchar_t* Buffer() { return m_text; }

private:
    wchar_t m_text[kCapacity];
};

// The text to show for a narrow English key: its translation for the current
// language, or the key itself.  Never fails; nothing is cached.
LocalText LocalizeText(const char* key);
