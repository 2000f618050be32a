// The shell's folder-browsing dialog, opened on a given folder and limited to
// file-system folders.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

class CBrowseForFolder {
public:
    CBrowseForFolder(HWND owner, LPCITEMIDLIST root, const wchar_t* initialFolder);
    virtual ~CBrowseForFolder() = default;
    CBrowseForFolder(const CBrowseForFolder&) = delete;
    CBrowseForFolder& operator=(const CBrowseForFolder&) = delete;

    // True when the user confirmed a folder, false when cancelled.
    bool DoBrowse();
    std::wstring GetChosenPath() const { return m_szName; }

protected:
    virtual void OnInitialized(HWND window);
    virtual void OnSelChanged(LPCITEMIDLIST item);

private:
    static int CALLBACK Callback(HWND window, UINT message, LPARAM lParam, LPARAM data);

    BROWSEINFOW m_bi;
    wchar_t m_szName[MAX_PATH + 1];
    std::wstring m_strSelected;
    std::wstring m_strInitialFolder;
    HWND m_hDialog;
    std::wstring m_strTitle;
};
