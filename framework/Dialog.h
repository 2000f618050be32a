// A small dialog layer: templates held in memory with a replaceable font,
// modal and modeless dialogs with message routing and data exchange, and a
// combo-box wrapper.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fx {

// A dialog template copied out of a module's resources, so that its font can
// be replaced before a window is made from it.  Plain and extended templates.
class DialogTemplate {
public:
    // False when the module holds no dialog resource of that identifier.
    bool Load(HINSTANCE module, UINT id);
    // Replaces (or adds) the template's font; sets the font flag.
    bool SetFont(const wchar_t* face, WORD pointSize);
    // The font the template names; false when it names none.
    bool GetFont(std::wstring& face, WORD& pointSize) const;

    const DLGTEMPLATE* Get() const
    {
        return m_data.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(m_data.data());
    }
    bool IsExtended() const;
    void Clear() { m_data.clear(); }

private:
    std::vector<BYTE> m_data;
};

// The direction and target of one data exchange.
class DataExchange {
public:
    DataExchange(HWND dialog, bool saveAndValidate) : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate) {}
    HWND Dialog() const { return m_hDialog; }
    bool Saving() const { return m_bSaveAndValidate; }

private:
    HWND m_hDialog;
    bool m_bSaveAndValidate;
};

class ComboBox;

// Control text <-> string.
void DDX_Text(DataExchange& dx, int id, std::wstring& value);
// Binds the control of that identifier to the wrapper (once).
void DDX_Control(DataExchange& dx, int id, ComboBox& control);

// A dialog window run from a template in memory.
class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Binds the dialog to a template (not copied) and an owner for DoModal.
    bool InitModalIndirect(const DLGTEMPLATE* dialogTemplate, HWND owner);
    bool IsBound() const { return m_pTemplate != nullptr; }
    void Unbind() { m_pTemplate = nullptr; m_hOwner = nullptr; }

    // Runs the modal loop on the bound template: the value given to
    // EndDialog, or -1 without a template or when no window could be made.
    virtual INT_PTR DoModal();
    // Creates the window modeless; false when that failed.
    bool CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent);
    void DestroyWindow();

    void EndDialog(INT_PTR result);
    // Runs the data exchange in one direction; false when it failed.
    bool UpdateData(bool saveAndValidate = true);

protected:
    // WM_INITDIALOG: the data exchange into the controls.  TRUE lets the
    // system set the default focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx) {}
    // IDOK: exchange back, then end with IDOK.
    virtual void OnOK();
    // IDCANCEL (also the Escape key): end with IDCANCEL.
    virtual void OnCancel();
    // Any other WM_COMMAND; true when handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control) { return false; }
    // Every message first; set `handled` to answer it here.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) { return 0; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    HWND m_hWnd = nullptr;
    const DLGTEMPLATE* m_pTemplate = nullptr;
    HWND m_hOwner = nullptr;
    bool m_bModal = false;
};

// Thin wrapper over a combo-box control.
class ComboBox {
public:
    void Attach(HWND control) { m_hWnd = control; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    int AddString(const wchar_t* text);
    int InsertString(int index, const wchar_t* text);
    int DeleteString(int index);
    // CB_ERR when the index is out of range.
    LRESULT GetItemData(int index) const;
    int SetItemData(int index, LRESULT data);
    std::wstring GetLBText(int index) const;

private:
    HWND m_hWnd = nullptr;
};

}  // namespace fx
