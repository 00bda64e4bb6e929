#include <afxwin.h>

#include <cstring>

namespace {

// Nesting depth of DoModal on this thread; temporary wrappers are deleted
// when the outermost dialog has ended.
thread_local int t_modalDepth = 0;

LPCDLGTEMPLATEW LoadTemplate(LPCWSTR name, HINSTANCE* module) {
    *module = AfxFindResourceHandle(name, MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HRSRC resource = ::FindResourceW(*module, name, MAKEINTRESOURCEW(5));
    if (resource == nullptr) {
        return nullptr;
    }
    HGLOBAL loaded = ::LoadResource(*module, resource);
    return loaded != nullptr ? static_cast<LPCDLGTEMPLATEW>(::LockResource(loaded)) : nullptr;
}

DWORD TemplateStyle(LPCDLGTEMPLATEW dialogTemplate) {
    const auto* words = reinterpret_cast<const WORD*>(dialogTemplate);
    if (words[0] == 1 && words[1] == 0xFFFF) {
        // Extended template: version, signature, help id, extended style, style.
        DWORD style = 0;
        std::memcpy(&style, reinterpret_cast<const BYTE*>(dialogTemplate) + 12, sizeof style);
        return style;
    }
    return dialogTemplate->style;
}

// A dialog that nothing placed is centred over its owner, as the framework
// does for modal dialogs: hidden until now and still hidden, not a child, not
// moved by OnInitDialog, unowned or with its owner disabled, and a template
// that asks for no position of its own.
void CentreIfUnplaced(CDialog& dialog, const RECT& before, DWORD styleBefore) {
    HWND hWnd = dialog.m_hWnd;
    if (hWnd == nullptr || !::IsWindow(hWnd) || (styleBefore & WS_VISIBLE) != 0 ||
        (dialog.GetStyle() & (WS_VISIBLE | WS_CHILD)) != 0) {
        return;
    }
    RECT now{};
    ::GetWindowRect(hWnd, &now);
    if (now.left != before.left || now.top != before.top) {
        return;
    }
    HWND owner = ::GetWindow(hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowEnabled(owner)) {
        return;
    }
    if (dialog.CheckAutoCenter()) {
        dialog.CenterWindow();
    }
}

}  // namespace

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEW(nIDTemplate)),
      m_nIDHelp(nIDTemplate),
      m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    if (message != WM_INITDIALOG) {
        return FALSE;  // everything else reaches the map through AfxWndProc
    }
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (dialog == nullptr || !dialog->SubclassWindow(hWnd)) {
        return TRUE;
    }
    RECT before{};
    ::GetWindowRect(hWnd, &before);
    const auto styleBefore = static_cast<DWORD>(::GetWindowLongW(hWnd, GWL_STYLE));
    const BOOL result = dialog->OnInitDialog();
    CentreIfUnplaced(*dialog, before, styleBefore);
    return result;
}

BOOL CDialog::CreateFromTemplate(HWND hWndOwner) {
    HINSTANCE module = nullptr;
    LPCDLGTEMPLATEW dialogTemplate = LoadTemplate(m_lpszTemplateName, &module);
    if (dialogTemplate == nullptr) {
        return FALSE;
    }
    m_dwTemplateStyle = TemplateStyle(dialogTemplate);
    HWND created = ::CreateDialogIndirectParamW(module, dialogTemplate, hWndOwner, &AfxDlgProc,
                                                reinterpret_cast<LPARAM>(this));
    if (created == nullptr) {
        return FALSE;
    }
    if (m_hWnd != created) {
        ::DestroyWindow(created);
        return FALSE;
    }
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    HWND hWndParent = GetSafeOwner_(m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr);
    bool enableParent = false;
    if (hWndParent != nullptr && hWndParent != ::GetDesktopWindow() &&
        ::IsWindowEnabled(hWndParent)) {
        ::EnableWindow(hWndParent, FALSE);
        enableParent = true;
    }

    ++t_modalDepth;
    m_nModalResult = -1;
    m_nFlags |= WF_CONTINUEMODAL;
    if (CreateFromTemplate(hWndParent)) {
        // OnInitDialog may already have ended the dialog.
        if ((m_nFlags & WF_CONTINUEMODAL) != 0) {
            DWORD flags = MLF_SHOWONIDLE;
            if ((GetStyle() & DS_NOIDLEMSG) != 0) {
                flags |= MLF_NOIDLEMSG;
            }
            RunModalLoop(flags);
        }
        if (m_hWnd != nullptr) {
            ::SetWindowPos(
                m_hWnd, nullptr, 0, 0, 0, 0,
                SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        }
    }
    m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);

    if (enableParent) {
        ::EnableWindow(hWndParent, TRUE);
    }
    if (hWndParent != nullptr && m_hWnd != nullptr && ::GetActiveWindow() == m_hWnd) {
        ::SetActiveWindow(hWndParent);
    }
    DestroyWindow();
    if (--t_modalDepth == 0) {
        AfxDeleteTempObjects();
    }
    return m_nModalResult;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    return Create(MAKEINTRESOURCEW(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCWSTR lpszTemplateName, CWnd* pParentWnd) {
    m_lpszTemplateName = lpszTemplateName;
    if (pParentWnd != nullptr) {
        m_pParentWnd = pParentWnd;
    }
    HWND hWndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    return CreateFromTemplate(hWndOwner);
}

void CDialog::EndDialog(int nResult) {
    if ((m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL)) != 0) {
        EndModalLoop(nResult);
    }
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    if (!UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    if (CWnd::PreTranslateMessage(pMsg)) {
        return TRUE;
    }
    // Only input goes to the dialog manager (Tab, arrows, Enter, Escape).
    const UINT m = pMsg->message;
    const bool input =
        (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
    return input ? ::IsDialogMessageW(m_hWnd, pMsg) : FALSE;
}

BOOL CDialog::CheckAutoCenter() {
    return (m_dwTemplateStyle & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) == 0 ? TRUE : FALSE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(pWndCtrl->m_hWnd), 1);
}

void CDialog::NextDlgCtrl() const {
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0);
}

void CDialog::PrevDlgCtrl() const {
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 1, 0);
}
