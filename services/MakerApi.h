// The entry points of the maker's logging library "zelinfolog.dll" and
// localisation library "kdxloc.dll", shared by the plug-in's bindings and by
// our own builds of the two libraries.  Every entry is __stdcall (WINAPI) and
// exported under its plain, undecorated name.
#pragma once

#include <windows.h>

typedef DWORD ZelInfoHandle;  // opaque 32-bit value; 0 means none

typedef ZelInfoHandle(WINAPI* ZelInfoCreateInfoHandleFn)(HINSTANCE instance);
typedef long(WINAPI* ZelInfoReleaseInfoHandleFn)(ZelInfoHandle handle);
typedef long(WINAPI* ZelInfoSetThreadNameWFn)(ZelInfoHandle handle, const wchar_t* name, DWORD reserved);
typedef long(WINAPI* ZelInfoWriteLogWFn)(ZelInfoHandle handle, const wchar_t* line, DWORD level);
typedef long(WINAPI* ZelInfoShowDialogFn)(ZelInfoHandle handle, HWND owner);
typedef long(WINAPI* ZelInfoRegisterModuleWFn)(ZelInfoHandle handle, const wchar_t* moduleName);
typedef long(WINAPI* ZelInfoSetCurrentLogPathWFn)(ZelInfoHandle handle, const wchar_t* path);

typedef long(WINAPI* ZelLocalizeSetLocaleFn)(DWORD languageId);
typedef DWORD(WINAPI* ZelLocalizeGetLocaleFn)(void);
typedef long(WINAPI* ZelLocalizeAddFileAFn)(const char* path);
typedef long(WINAPI* ZelLocalizeAddFileWFn)(const wchar_t* path);
typedef long(WINAPI* ZelLocalizeClearFilesFn)(void);
typedef const wchar_t*(WINAPI* ZelLocalizeLookupAWFn)(const char* key, DWORD* size);
typedef const wchar_t*(WINAPI* ZelLocalizeLookupWWFn)(const wchar_t* key, DWORD* size);
typedef wchar_t*(WINAPI* ZelLocalizeA2WFn)(wchar_t* buffer, const char* text, DWORD capacity);
typedef char*(WINAPI* ZelLocalizeW2AFn)(char* buffer, const wchar_t* text, DWORD capacity);
typedef long(WINAPI* ZelLocalizeDialogFn)(HWND dialog, const char* section);
