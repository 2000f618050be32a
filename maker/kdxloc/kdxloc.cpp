// "kdxloc.dll": translations of English texts from UTF-8 ".loc" files.
//
// A file holds sections headed by a language identifier in hex, "[0411]" for
// one language and sublanguage, "[0011]" (sublanguage 0) for every variant of
// the primary language.  Each entry line is "key=translation" with C escapes;
// lines starting with ';' or '#' are comments.  The table for the current
// locale is built whenever the locale or the list of files changes, so a
// lookup is one hash probe.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "services/MakerApi.h"

extern "C" {
long WINAPI ZelLocalizeSetLocale(DWORD languageId);
DWORD WINAPI ZelLocalizeGetLocale(void);
long WINAPI ZelLocalizeAddFileA(const char* path);
long WINAPI ZelLocalizeAddFileW(const wchar_t* path);
long WINAPI ZelLocalizeClearFiles(void);
const wchar_t* WINAPI ZelLocalizeLookupAW(const char* key, DWORD* size);
const wchar_t* WINAPI ZelLocalizeLookupWW(const wchar_t* key, DWORD* size);
wchar_t* WINAPI ZelLocalizeA2W(wchar_t* buffer, const char* text, DWORD capacity);
char* WINAPI ZelLocalizeW2A(char* buffer, const wchar_t* text, DWORD capacity);
long WINAPI ZelLocalizeDialog(HWND dialog, const char* section);
}

// The plug-in calls these through the types of MakerApi.h: both sides must agree.
static_assert(std::is_same_v<decltype(&ZelLocalizeSetLocale), ZelLocalizeSetLocaleFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeGetLocale), ZelLocalizeGetLocaleFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeAddFileA), ZelLocalizeAddFileAFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeAddFileW), ZelLocalizeAddFileWFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeClearFiles), ZelLocalizeClearFilesFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeLookupAW), ZelLocalizeLookupAWFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeLookupWW), ZelLocalizeLookupWWFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeA2W), ZelLocalizeA2WFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeW2A), ZelLocalizeW2AFn>);
static_assert(std::is_same_v<decltype(&ZelLocalizeDialog), ZelLocalizeDialogFn>);

namespace {

constexpr DWORD kMaxFileBytes = 16u * 1024 * 1024;
constexpr DWORD kNoSection = 0xFFFFFFFFu;

SRWLOCK g_lock = SRWLOCK_INIT;
LANGID g_locale = 0;  // 0: the user's default language
std::vector<std::wstring> g_files;
std::unordered_map<std::string, std::wstring> g_table;

class Exclusive {
public:
    Exclusive() { ::AcquireSRWLockExclusive(&g_lock); }
    ~Exclusive() { ::ReleaseSRWLockExclusive(&g_lock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
};

class Shared {
public:
    Shared() { ::AcquireSRWLockShared(&g_lock); }
    ~Shared() { ::ReleaseSRWLockShared(&g_lock); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
};

LANGID CurrentLocale() { return g_locale ? g_locale : ::GetUserDefaultLangID(); }

std::wstring FromUtf8(std::string_view text)
{
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string ToUtf8(const wchar_t* text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

void AppendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// C escapes: \n \r \t \\ \" \' \= \; \# and \uXXXX.  Anything else after a
// backslash is kept as written.
std::string Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\\': case '"': case '\'': case '=': case ';': case '#': out += e; break;
        case 'u': {
            unsigned code = 0;
            bool ok = i + 4 < text.size();
            for (size_t k = 1; ok && k <= 4; ++k) {
                const int d = HexDigit(text[i + k]);
                if (d < 0) ok = false;
                code = code * 16 + static_cast<unsigned>(d);
            }
            if (ok && code != 0) {
                AppendUtf8(out, code);
                i += 4;
            } else {
                out += '\\';
                out += e;
            }
            break;
        }
        default:
            out += '\\';
            out += e;
        }
    }
    return out;
}

// "[0411]" -> 0x0411; kNoSection for a header that is not a language.
DWORD ParseSection(std::string_view line)
{
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return kNoSection;
    std::string_view id = line.substr(1, close - 1);
    while (!id.empty() && (id.front() == ' ' || id.front() == '\t')) id.remove_prefix(1);
    while (!id.empty() && (id.back() == ' ' || id.back() == '\t')) id.remove_suffix(1);
    if (id.size() > 2 && id[0] == '0' && (id[1] == 'x' || id[1] == 'X')) id.remove_prefix(2);
    if (id.empty() || id.size() > 4) return kNoSection;
    DWORD value = 0;
    for (char c : id) {
        const int d = HexDigit(c);
        if (d < 0) return kNoSection;
        value = value * 16 + static_cast<DWORD>(d);
    }
    return value;
}

size_t FindUnescaped(std::string_view line, char wanted)
{
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
            continue;
        }
        if (line[i] == wanted) return i;
    }
    return std::string_view::npos;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart <= kMaxFileBytes;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() || (::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) != FALSE);
        bytes.resize(got);
    }
    ::CloseHandle(file);
    return ok;
}

using Table = std::unordered_map<std::string, std::wstring>;

// Adds the entries of the file's sections for `exact` and for `primary`; an
// entry already present (from an earlier file or line) is kept.
bool ParseFile(const std::wstring& path, LANGID exact, LANGID primary, Table& exactTable, Table& primaryTable)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    std::string_view rest = bytes;
    if (rest.size() >= 3 && rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);

    Table* target = nullptr;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (line.front() == '[') {
            const DWORD section = ParseSection(line);
            target = section == exact ? &exactTable : section == primary ? &primaryTable : nullptr;
            continue;
        }
        if (!target) continue;
        const size_t equals = FindUnescaped(line, '=');
        if (equals == std::string_view::npos || equals == 0) continue;
        target->try_emplace(Unescape(line.substr(0, equals)), FromUtf8(Unescape(line.substr(equals + 1))));
    }
    return true;
}

// Called with the lock held exclusively.
void Rebuild()
{
    const LANGID exact = CurrentLocale();
    const LANGID primary = MAKELANGID(PRIMARYLANGID(exact), SUBLANG_NEUTRAL);
    Table exactTable, primaryTable;
    for (const std::wstring& file : g_files) ParseFile(file, exact, primary, exactTable, primaryTable);
    for (auto& entry : primaryTable) exactTable.try_emplace(entry.first, std::move(entry.second));
    g_table = std::move(exactTable);
}

const std::wstring* Find(const std::string& key)
{
    const auto it = g_table.find(key);
    return it == g_table.end() ? nullptr : &it->second;
}

BOOL CALLBACK LocalizeChild(HWND window, LPARAM count)
{
    wchar_t text[1024];
    if (::GetWindowTextW(window, text, 1024) > 0) {
        std::wstring translated;
        {
            Shared lock;
            if (const std::wstring* t = Find(ToUtf8(text))) translated = *t;
        }
        if (!translated.empty() && ::SetWindowTextW(window, translated.c_str())) ++*reinterpret_cast<long*>(count);
    }
    return TRUE;
}

}  // namespace

extern "C" {

long WINAPI ZelLocalizeSetLocale(DWORD languageId)
{
    Exclusive lock;
    g_locale = static_cast<LANGID>(languageId);
    Rebuild();
    return 1;
}

DWORD WINAPI ZelLocalizeGetLocale(void)
{
    Shared lock;
    return CurrentLocale();
}

long WINAPI ZelLocalizeAddFileW(const wchar_t* path)
{
    if (!path || !*path) return 0;
    Exclusive lock;
    bool known = false;
    for (const std::wstring& file : g_files) known = known || ::lstrcmpiW(file.c_str(), path) == 0;
    if (!known) g_files.emplace_back(path);
    Rebuild();
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

long WINAPI ZelLocalizeAddFileA(const char* path)
{
    if (!path || !*path) return 0;
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (n <= 0) return 0;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), n);
    return ZelLocalizeAddFileW(wide.c_str());
}

long WINAPI ZelLocalizeClearFiles(void)
{
    Exclusive lock;
    g_files.clear();
    g_table.clear();
    return 1;
}

// The translation (owned here, valid until the locale or the files change)
// and its size in bytes with the terminator; without one, null and the number
// of wide characters the key needs, terminator included.
const wchar_t* WINAPI ZelLocalizeLookupAW(const char* key, DWORD* size)
{
    if (!key) {
        if (size) *size = 1;
        return nullptr;
    }
    Shared lock;
    if (const std::wstring* t = Find(key)) {
        if (size) *size = static_cast<DWORD>((t->size() + 1) * sizeof(wchar_t));
        return t->c_str();
    }
    if (size) *size = static_cast<DWORD>(std::strlen(key) + 1);
    return nullptr;
}

const wchar_t* WINAPI ZelLocalizeLookupWW(const wchar_t* key, DWORD* size)
{
    if (!key) {
        if (size) *size = 1;
        return nullptr;
    }
    const std::string narrow = ToUtf8(key);
    Shared lock;
    if (const std::wstring* t = Find(narrow)) {
        if (size) *size = static_cast<DWORD>((t->size() + 1) * sizeof(wchar_t));
        return t->c_str();
    }
    if (size) *size = static_cast<DWORD>(std::wcslen(key) + 1);
    return nullptr;
}

wchar_t* WINAPI ZelLocalizeA2W(wchar_t* buffer, const char* text, DWORD capacity)
{
    if (!buffer || !text || capacity == 0 || capacity > INT_MAX) return nullptr;
    if (::MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, static_cast<int>(capacity)) == 0) return nullptr;
    return buffer;
}

char* WINAPI ZelLocalizeW2A(char* buffer, const wchar_t* text, DWORD capacity)
{
    if (!buffer || !text || capacity == 0 || capacity > INT_MAX) return nullptr;
    if (::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, static_cast<int>(capacity), nullptr, nullptr) == 0) return nullptr;
    return buffer;
}

// Translates the dialog's title and every child's text that has an entry;
// returns how many were changed.  The section is not used.
long WINAPI ZelLocalizeDialog(HWND dialog, const char*)
{
    if (!dialog || !::IsWindow(dialog)) return 0;
    long count = 0;
    LocalizeChild(dialog, reinterpret_cast<LPARAM>(&count));
    ::EnumChildWindows(dialog, LocalizeChild, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
