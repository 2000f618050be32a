#include "services/Localize.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>

#include "framework/Format.h"

namespace {

// The ten entries, in the order they are bound.  Written once at start-up,
// only read afterwards.
ZelLocalizeSetLocaleFn s_setLocale;
ZelLocalizeGetLocaleFn s_getLocale;
ZelLocalizeAddFileAFn s_addFileA;
ZelLocalizeAddFileWFn s_addFileW;
ZelLocalizeClearFilesFn s_clearFiles;
ZelLocalizeLookupAWFn s_lookupAW;
ZelLocalizeLookupWWFn s_lookupWW;
ZelLocalizeA2WFn s_a2w;
ZelLocalizeW2AFn s_w2a;
ZelLocalizeDialogFn s_dialog;

template <typename Fn>
void Bind(Fn& slot, const char* name)
{
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(g_LocLibrary.GetProcAddress(name)));
}

void ClearSlots()
{
    s_setLocale = nullptr;
    s_getLocale = nullptr;
    s_addFileA = nullptr;
    s_addFileW = nullptr;
    s_clearFiles = nullptr;
    s_lookupAW = nullptr;
    s_lookupWW = nullptr;
    s_a2w = nullptr;
    s_w2a = nullptr;
    s_dialog = nullptr;
}

// The keys are plain ASCII: widening byte by byte is the conversion.
wchar_t* WidenInto(wchar_t* buffer, const char* text, DWORD capacity)
{
    if (!buffer || capacity == 0) return nullptr;
    DWORD i = 0;
    if (text)
        for (; i + 1 < capacity && text[i] != '\0'; ++i) buffer[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    buffer[i] = L'\0';
    return buffer;
}

}  // namespace

int LoadLocalizeLibrary(HMODULE module)
{
    if (g_LocLibrary.Module()) return 1;

    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(module, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        folder[0] = L'\0';
    else
        ::PathRemoveFileSpecW(folder);

    static const wchar_t* const kBesideModule[] = {L"\\plugkdxloc.dll", L"\\kdxloc.dll", L"\\zelloc.dll"};
    bool loaded = false;
    if (folder[0] != L'\0') {
        for (const wchar_t* name : kBesideModule) {
            wchar_t path[MAX_PATH];
            if (fx::FormatInto(path, MAX_PATH, L"%s%s", folder, name) && g_LocLibrary.Load(path)) {
                loaded = true;
                break;
            }
        }
    }
    if (!loaded) loaded = g_LocLibrary.Load(L"kdxloc.dll") || g_LocLibrary.Load(L"zelloc.dll");
    if (!loaded) return 0;

    Bind(s_setLocale, "ZelLocalizeSetLocale");
    Bind(s_getLocale, "ZelLocalizeGetLocale");
    Bind(s_addFileA, "ZelLocalizeAddFileA");
    Bind(s_addFileW, "ZelLocalizeAddFileW");
    Bind(s_clearFiles, "ZelLocalizeClearFiles");
    Bind(s_lookupAW, "ZelLocalizeLookupAW");
    Bind(s_lookupWW, "ZelLocalizeLookupWW");
    Bind(s_a2w, "ZelLocalizeA2W");
    Bind(s_w2a, "ZelLocalizeW2A");
    Bind(s_dialog, "ZelLocalizeDialog");
    return 1;
}

void UnloadLocalizeLibrary()
{
    ClearSlots();
    g_LocLibrary.Free();
}

long LocSetLocale(LANGID languageId)
{
    return s_setLocale ? s_setLocale(static_cast<DWORD>(languageId)) : 0;
}

void LocAddFileW(const wchar_t* path)
{
    if (s_addFileW) s_addFileW(path);
}

const wchar_t* LocLookupAW(const char* key, DWORD* size)
{
    if (s_lookupAW) return s_lookupAW(key, size);
    if (size) *size = static_cast<DWORD>(2 * (key ? std::strlen(key) : 0) + 2);
    return nullptr;
}

wchar_t* LocA2W(wchar_t* buffer, const char* text, DWORD capacity)
{
    if (s_a2w) return s_a2w(buffer, text, capacity);
    return WidenInto(buffer, text, capacity);
}

LocalText LocalizeText(const char* key)
{
    LocalText text;
    if (!key) return text;

    wchar_t* out = text.Buffer();
    constexpr DWORD capacity = static_cast<DWORD>(LocalText::kCapacity);
    DWORD size = 0;
    if (const wchar_t* translation = LocLookupAW(key, &size)) {
        // `size` counts bytes, terminator included; the copy stops at the
        // terminator or at our capacity, whichever comes first.
        DWORD chars = size / sizeof(wchar_t);
        if (chars > capacity - 1) chars = capacity - 1;
        DWORD i = 0;
        for (; i < chars && translation[i] != L'\0'; ++i) out[i] = translation[i];
        out[i] = L'\0';
        return text;
    }
    DWORD chars = size;
    if (chars == 0 || chars > capacity) chars = capacity;
    if (!LocA2W(out, key, chars)) WidenInto(out, key, chars);
    out[chars - 1] = L'\0';
    return text;
}
