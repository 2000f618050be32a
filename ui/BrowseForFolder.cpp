#include "ui/BrowseForFolder.h"

#include "framework/Unique.h"
#include "services/Localize.h"

CBrowseForFolder::CBrowseForFolder(HWND owner, LPCITEMIDLIST root, const wchar_t* initialFolder)
    : m_bi(), m_szName(), m_hDialog(nullptr)
{
    m_strTitle = LocalizeText("Please select save location.").str();
    if (initialFolder) m_strInitialFolder = initialFolder;
    m_bi.hwndOwner = owner;
    m_bi.pidlRoot = root;
    m_bi.pszDisplayName = m_szName;
    m_bi.lpszTitle = m_strTitle.c_str();
    m_bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    m_bi.lpfn = Callback;
    m_bi.lParam = reinterpret_cast<LPARAM>(this);
}

bool CBrowseForFolder::DoBrowse()
{
    LPITEMIDLIST item = ::SHBrowseForFolderW(&m_bi);
    bool chosen = false;
    if (item) {
        m_strSelected.clear();
        // The buffer holds the item's display name until now: no path is no result.
        if (::SHGetPathFromIDListW(item, m_szName))
            m_strSelected = m_szName;
        else
            m_szName[0] = L'\0';
        fx::ComPtr<IMalloc> malloc;
        if (SUCCEEDED(::SHGetMalloc(malloc.put()))) malloc->Free(item);
        chosen = true;
    }
    m_hDialog = nullptr;
    return chosen;
}

int CALLBACK CBrowseForFolder::Callback(HWND window, UINT message, LPARAM lParam, LPARAM data)
{
    auto* self = reinterpret_cast<CBrowseForFolder*>(data);
    self->m_hDialog = window;
    if (message == BFFM_INITIALIZED)
        self->OnInitialized(window);
    else if (message == BFFM_SELCHANGED)
        self->OnSelChanged(reinterpret_cast<LPCITEMIDLIST>(lParam));
    return 0;
}

void CBrowseForFolder::OnInitialized(HWND window)
{
    m_strSelected = m_strInitialFolder;
    ::SendMessageW(m_hDialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(m_strSelected.c_str()));
}

void CBrowseForFolder::OnSelChanged(LPCITEMIDLIST item)
{
    wchar_t path[MAX_PATH] = {};
    if (!item || !::SHGetPathFromIDListW(item, path)) path[0] = L'\0';
    m_strSelected = path;
    if (m_strSelected.empty()) ::SendMessageW(m_hDialog, BFFM_ENABLEOK, 0, 0);
}
