// "Detail Settings": where the scanned images of one setting instance go.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Dialog.h"
#include "ui/BaseDialog.h"

// Save-location kinds (the record's SaveID) and the list entries' item data.
enum SaveLocationKind : long {
    kSaveMyPictures = 0,
    kSaveMyDocuments = 1,
    kSaveDesktop = 2,
    kSaveOwnFolder = 3,
    kSaveBrowse = 4,  // list entry only
};

class CAppSettingDlg : public CTVO_BaseDialog {
public:
    explicit CAppSettingDlg(HWND pParent = nullptr);

    std::wstring GetMyPicturesName(HWND owner);
    static std::wstring GetMyDocumentsName();
    static std::wstring GetDesktopName();

    // 1 when a folder was chosen (written into `path`), 2 when cancelled.
    int BrowseSaveFolder(std::wstring& path);

    // Carried through unchanged.
    std::wstring m_strPath;
    std::wstring m_strParameter;
    std::wstring m_strName;
    // Edited by the user.
    long m_nSaveID;
    std::wstring m_strSaveFolder;
    fx::ComboBox m_cboSaveLocation;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(fx::DataExchange& dx) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

    void OnSelChangeSaveLocation();
};
