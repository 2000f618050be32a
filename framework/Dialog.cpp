#include "framework/Dialog.h"

#include <cstring>

#include "framework/ModuleState.h"

namespace fx {

namespace {

// Skips a "string or ordinal" field of a template.
const BYTE* SkipSzOrOrd(const BYTE* p)
{
    const WORD* w = reinterpret_cast<const WORD*>(p);
    if (*w == 0x0000) return p + sizeof(WORD);
    if (*w == 0xFFFF) return p + 2 * sizeof(WORD);
    while (*w) ++w;
    return reinterpret_cast<const BYTE*>(w + 1);
}

const BYTE* SkipString(const BYTE* p)
{
    const WORD* w = reinterpret_cast<const WORD*>(p);
    while (*w) ++w;
    return reinterpret_cast<const BYTE*>(w + 1);
}

size_t AlignDword(size_t offset) { return (offset + 3) & ~size_t(3); }

// Where the pieces of a template's header lie.
struct HeaderLayout {
    bool extended = false;
    DWORD style = 0;
    size_t styleOffset = 0;
    size_t fontOffset = 0;   // end of the title: the font block starts here
    size_t itemsOffset = 0;  // first item, DWORD aligned
};

HeaderLayout Parse(const std::vector<BYTE>& data)
{
    HeaderLayout h;
    const BYTE* base = data.data();
    const WORD* w = reinterpret_cast<const WORD*>(base);
    h.extended = w[0] == 1 && w[1] == 0xFFFF;
    const BYTE* p;
    if (h.extended) {
        // dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy
        h.styleOffset = 12;
        p = base + 26;
    } else {
        // style, exStyle, cdit, x, y, cx, cy
        h.styleOffset = 0;
        p = base + 18;
    }
    std::memcpy(&h.style, base + h.styleOffset, sizeof(DWORD));
    p = SkipSzOrOrd(p);  // menu
    p = SkipSzOrOrd(p);  // class
    p = SkipString(p);   // title
    h.fontOffset = static_cast<size_t>(p - base);
    if (h.style & DS_SETFONT) {
        p += sizeof(WORD);  // point size
        if (h.extended) p += sizeof(WORD) + 2;  // weight, italic, charset
        p = SkipString(p);
    }
    h.itemsOffset = AlignDword(static_cast<size_t>(p - base));
    if (h.itemsOffset > data.size()) h.itemsOffset = data.size();
    return h;
}

}  // namespace

bool DialogTemplate::Load(HINSTANCE module, UINT id)
{
    m_data.clear();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!found) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    DWORD size = ::SizeofResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size < 18) return false;
    m_data.assign(static_cast<const BYTE*>(bytes), static_cast<const BYTE*>(bytes) + size);
    return true;
}

bool DialogTemplate::IsExtended() const
{
    if (m_data.size() < 4) return false;
    const WORD* w = reinterpret_cast<const WORD*>(m_data.data());
    return w[0] == 1 && w[1] == 0xFFFF;
}

bool DialogTemplate::GetFont(std::wstring& face, WORD& pointSize) const
{
    if (m_data.empty()) return false;
    HeaderLayout h = Parse(m_data);
    if (!(h.style & DS_SETFONT)) return false;
    const BYTE* p = m_data.data() + h.fontOffset;
    std::memcpy(&pointSize, p, sizeof(WORD));
    p += sizeof(WORD);
    if (h.extended) p += sizeof(WORD) + 2;  // weight, italic, charset
    face = reinterpret_cast<const wchar_t*>(p);
    return true;
}

bool DialogTemplate::SetFont(const wchar_t* face, WORD pointSize)
{
    if (m_data.empty() || !face) return false;
    HeaderLayout h = Parse(m_data);

    // Weight, italic and character set of an extended template stay.
    WORD weight = FW_NORMAL;
    BYTE italic = 0, charset = DEFAULT_CHARSET;
    if (h.extended && (h.style & DS_SETFONT)) {
        const BYTE* p = m_data.data() + h.fontOffset + sizeof(WORD);
        std::memcpy(&weight, p, sizeof(WORD));
        italic = p[2];
        charset = p[3];
    }

    std::vector<BYTE> out(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(h.fontOffset));
    DWORD style = h.style | DS_SETFONT;
    std::memcpy(out.data() + h.styleOffset, &style, sizeof(DWORD));
    auto put = [&out](const void* bytes, size_t n) {
        const BYTE* b = static_cast<const BYTE*>(bytes);
        out.insert(out.end(), b, b + n);
    };
    put(&pointSize, sizeof(WORD));
    if (h.extended) {
        put(&weight, sizeof(WORD));
        put(&italic, 1);
        put(&charset, 1);
    }
    put(face, (std::wcslen(face) + 1) * sizeof(wchar_t));
    out.resize(AlignDword(out.size()), 0);
    // The items keep their inner alignment: both starts are DWORD aligned.
    out.insert(out.end(), m_data.begin() + static_cast<std::ptrdiff_t>(h.itemsOffset), m_data.end());
    m_data.swap(out);
    return true;
}

void DDX_Text(DataExchange& dx, int id, std::wstring& value)
{
    HWND control = ::GetDlgItem(dx.Dialog(), id);
    if (!control) return;
    if (dx.Saving()) {
        int length = ::GetWindowTextLengthW(control);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        int got = ::GetWindowTextW(control, text.data(), length + 1);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        value = text;
    } else {
        ::SetWindowTextW(control, value.c_str());
    }
}

void DDX_Control(DataExchange& dx, int id, ComboBox& control)
{
    if (!control.GetSafeHwnd()) control.Attach(::GetDlgItem(dx.Dialog(), id));
}

Dialog::~Dialog()
{
    // A modeless window must not outlive its object.
    if (m_hWnd && !m_bModal) ::DestroyWindow(m_hWnd);
}

bool Dialog::InitModalIndirect(const DLGTEMPLATE* dialogTemplate, HWND owner)
{
    m_pTemplate = dialogTemplate;
    m_hOwner = owner;
    return dialogTemplate != nullptr;
}

INT_PTR Dialog::DoModal()
{
    if (!m_pTemplate) return -1;
    m_bModal = true;
    INT_PTR result = ::DialogBoxIndirectParamW(ResourceInstance(), m_pTemplate, m_hOwner, DialogProc,
                                               reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    m_bModal = false;
    return result;
}

bool Dialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    if (!dialogTemplate || m_hWnd) return false;
    m_bModal = false;
    HWND window = ::CreateDialogIndirectParamW(ResourceInstance(), dialogTemplate, parent, DialogProc,
                                               reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

void Dialog::DestroyWindow()
{
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

void Dialog::EndDialog(INT_PTR result)
{
    if (!m_hWnd) return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        ::DestroyWindow(m_hWnd);
}

bool Dialog::UpdateData(bool saveAndValidate)
{
    if (!m_hWnd) return false;
    DataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

BOOL Dialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void Dialog::OnOK()
{
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = window;
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!self) return FALSE;
    bool handled = false;
    INT_PTR result = self->Route(message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    if (!handled) return FALSE;
    if (message == WM_INITDIALOG) return result;
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
    return TRUE;
}

INT_PTR Dialog::Route(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    INT_PTR result = OnMessage(message, wParam, lParam, handled);
    if (handled) return result;
    switch (message) {
    case WM_INITDIALOG:
        handled = true;
        return OnInitDialog();
    case WM_COMMAND: {
        WORD id = LOWORD(wParam), code = HIWORD(wParam);
        HWND control = reinterpret_cast<HWND>(lParam);
        if (OnCommand(id, code, control)) {
            handled = true;
            return 0;
        }
        if (code == BN_CLICKED) {
            if (id == IDOK) {
                OnOK();
                handled = true;
            } else if (id == IDCANCEL) {
                OnCancel();
                handled = true;
            }
        }
        return 0;
    }
    case WM_CLOSE:
        OnCancel();
        handled = true;
        return 0;
    default:
        return 0;
    }
}

int ComboBox::GetCount() const { return static_cast<int>(::SendMessageW(m_hWnd, CB_GETCOUNT, 0, 0)); }
int ComboBox::GetCurSel() const { return static_cast<int>(::SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0)); }
int ComboBox::SetCurSel(int index)
{
    return static_cast<int>(::SendMessageW(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}
int ComboBox::AddString(const wchar_t* text)
{
    return static_cast<int>(::SendMessageW(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}
int ComboBox::InsertString(int index, const wchar_t* text)
{
    return static_cast<int>(
        ::SendMessageW(m_hWnd, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int ComboBox::DeleteString(int index)
{
    return static_cast<int>(::SendMessageW(m_hWnd, CB_DELETESTRING, static_cast<WPARAM>(index), 0));
}
LRESULT ComboBox::GetItemData(int index) const
{
    return ::SendMessageW(m_hWnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}
int ComboBox::SetItemData(int index, LRESULT data)
{
    return static_cast<int>(::SendMessageW(m_hWnd, CB_SETITEMDATA, static_cast<WPARAM>(index), data));
}
std::wstring ComboBox::GetLBText(int index) const
{
    LRESULT length = ::SendMessageW(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = ::SendMessageW(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

}  // namespace fx
