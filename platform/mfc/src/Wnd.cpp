#include <afxwin.h>

#include "platform/mfc/src/TempObjects.h"

namespace {

// The message being handled by AfxWndProc, for CWnd::Default.
thread_local MSG t_lastSent{};

// The window of the innermost modal loop running on this thread: where the
// pre-translation walk stops.
thread_local HWND t_modalWindow = nullptr;

// Makes a modal loop's window the walk's stop for the loop's lifetime.
class ModalWindowScope {
public:
    explicit ModalWindowScope(HWND hWnd) : previous_(t_modalWindow) { t_modalWindow = hWnd; }
    ~ModalWindowScope() { t_modalWindow = previous_; }
    ModalWindowScope(const ModalWindowScope&) = delete;
    ModalWindowScope& operator=(const ModalWindowScope&) = delete;

private:
    HWND previous_;
};

// Messages that do not end an idle period of a modal loop.
bool IsIdleMessage(const MSG& msg) {
    switch (msg.message) {
        case WM_PAINT:
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
        case 0x0118:  // the system's caret-blink timer
            return false;
        default:
            return true;
    }
}

}  // namespace

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = afx_internal::PermanentWindow(hWnd);
    if (pWnd == nullptr) {
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    const MSG previous = t_lastSent;
    t_lastSent = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    const LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window is gone: give the procedure back and let the object go.
        if (pWnd->m_pfnSuper != nullptr &&
            reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)) == AfxWndProc) {
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
        }
        pWnd->m_pfnSuper = nullptr;
        pWnd->Detach();
        pWnd->PostNcDestroy();
    }
    t_lastSent = previous;
    return result;
}

CWnd::~CWnd() {
    if (m_hWnd != nullptr && afx_internal::PermanentWindow(m_hWnd) == this) {
        ::DestroyWindow(m_hWnd);
    }
    if (m_hWnd != nullptr && afx_internal::PermanentWindow(m_hWnd) == this) {
        afx_internal::RemovePermanent(m_hWnd);
    }
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) {
        return nullptr;
    }
    CWnd* permanent = afx_internal::PermanentWindow(hWnd);
    return permanent != nullptr ? permanent : afx_internal::TempWindow(hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    return hWnd != nullptr ? afx_internal::PermanentWindow(hWnd) : nullptr;
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (hWndNew == nullptr || m_hWnd != nullptr ||
        afx_internal::PermanentWindow(hWndNew) != nullptr) {
        return FALSE;
    }
    afx_internal::AddPermanent(hWndNew, this);
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr && afx_internal::PermanentWindow(hWnd) == this) {
        afx_internal::RemovePermanent(hWnd);
    }
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!::IsWindow(hWnd) || !Attach(hWnd)) {
        return FALSE;
    }
    const auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (old == &AfxWndProc) {
        // Already routed through a map of this module: keep one owner.
        Detach();
        return FALSE;
    }
    m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    HWND hWndControl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hWndControl != nullptr ? SubclassWindow(hWndControl) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd == nullptr) {
        return nullptr;
    }
    if (m_pfnSuper != nullptr) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        m_pfnSuper = nullptr;
    }
    return Detach();
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    HWND hWnd = m_hWnd;
    const BOOL destroyed = ::DestroyWindow(hWnd);
    // A window that was attached but not subclassed sees no WM_NCDESTROY here.
    if (m_hWnd == hWnd && !::IsWindow(hWnd)) {
        Detach();
    }
    return destroyed;
}

BOOL CWnd::PreTranslateMessage(MSG* /*pMsg*/) {
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_lastSent.message, t_lastSent.wParam, t_lastSent.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) {
        result = DefWindowProc(message, wParam, lParam);
    }
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr) {
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            *pResult = 1;
            return TRUE;
        }
        return FALSE;
    }
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage == message && e->nSig == AfxSig_vv) {
                (this->*e->pfn)();
                *pResult = 0;
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    if (lParam == 0) {
        nCode = CN_COMMAND;  // menu or accelerator
    }
    if (nID == 0) {
        return FALSE;
    }
    return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

void CWnd::PostNcDestroy() {}

void CWnd::OnPaint() {
    Default();
}

void CWnd::OnDestroy() {
    Default();
}

void CWnd::DoDataExchange(CDataExchange* /*pDX*/) {}

CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::GetDlgItem(int nID, HWND* phWnd) const {
    *phWnd = ::GetDlgItem(m_hWnd, nID);
}

int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageW(m_hWnd, nID, message, wParam, lParam);
}

void CWnd::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    ::CheckRadioButton(m_hWnd, nIDFirstButton, nIDLastButton, nIDCheckButton);
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    return ::IsDlgButtonChecked(m_hWnd, nIDButton);
}

void CWnd::SetDlgItemText(int nID, LPCWSTR lpszString) {
    ::SetDlgItemTextW(m_hWnd, nID, lpszString);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    HWND hWndItem = ::GetDlgItem(m_hWnd, nID);
    if (hWndItem == nullptr) {
        return 0;
    }
    CWnd* item = FromHandle(hWndItem);
    item->GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned);
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const {
    return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned);
}

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE));
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}

void CWnd::SetWindowText(LPCWSTR lpszString) {
    ::SetWindowTextW(m_hWnd, lpszString);
}

void CWnd::GetWindowText(CString& rString) const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    wchar_t* buffer = rString.GetBufferSetLength(length + 1);
    ::GetWindowTextW(m_hWnd, buffer, length + 1);
    rString.ReleaseBuffer();
}

int CWnd::GetWindowTextLength() const {
    return ::GetWindowTextLengthW(m_hWnd);
}

CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}

CWnd* CWnd::GetFocus() {
    return FromHandle(::GetFocus());
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
               lpRect->bottom - lpRect->top, bRepaint);
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    ::GetWindowRect(m_hWnd, lpRect);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    ::ScreenToClient(m_hWnd, lpPoint);
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    // Both corners, as MapWindowPoints does (right-to-left layouts included).
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    ::ClientToScreen(m_hWnd, lpPoint);
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    const DWORD style = GetStyle();
    const bool child = (style & WS_CHILD) != 0;
    HWND hWndCenter = pAlternateOwner != nullptr ? pAlternateOwner->m_hWnd : nullptr;
    if (hWndCenter == nullptr) {
        hWndCenter = child ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    }

    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    RECT area{};    // the window stays inside
    RECT centre{};  // the window is centred over
    if (!child) {
        // Not over a window the user cannot see.
        if (hWndCenter != nullptr) {
            const auto centreStyle = static_cast<DWORD>(::GetWindowLongW(hWndCenter, GWL_STYLE));
            if ((centreStyle & WS_VISIBLE) == 0 || (centreStyle & WS_MINIMIZE) != 0) {
                hWndCenter = nullptr;
            }
        }
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (hWndCenter == nullptr) {
            CWnd* main = AfxGetMainWnd();
            ::GetMonitorInfoW(::MonitorFromWindow(main != nullptr ? main->m_hWnd : nullptr,
                                                  MONITOR_DEFAULTTOPRIMARY),
                              &monitor);
            centre = monitor.rcWork;
        } else {
            ::GetWindowRect(hWndCenter, &centre);
            ::GetMonitorInfoW(::MonitorFromWindow(hWndCenter, MONITOR_DEFAULTTONEAREST), &monitor);
        }
        area = monitor.rcWork;
    } else {
        // In the parent's client coordinates, where a child is placed.
        HWND hWndParent = ::GetParent(m_hWnd);
        if (hWndCenter == nullptr) {
            hWndCenter = hWndParent;
        }
        ::GetClientRect(hWndParent, &area);
        ::GetClientRect(hWndCenter, &centre);
        ::MapWindowPoints(hWndCenter, hWndParent, reinterpret_cast<POINT*>(&centre), 2);
    }

    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    // Right and bottom first, so a window larger than the area shows its
    // top-left corner.
    if (x + width > area.right) {
        x = area.right - width;
    }
    if (x < area.left) {
        x = area.left;
    }
    if (y + height > area.bottom) {
        y = area.bottom - height;
    }
    if (y < area.top) {
        y = area.top;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::CheckAutoCenter() {
    return TRUE;
}

void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
    ::InvalidateRect(m_hWnd, lpRect, bErase);
}

void CWnd::ValidateRect(LPCRECT lpRect) {
    ::ValidateRect(m_hWnd, lpRect);
}

void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}

int CWnd::MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption, UINT nType) {
    return ::MessageBoxW(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CWnd::ContinueModal() {
    return (m_nFlags & WF_CONTINUEMODAL) != 0 ? TRUE : FALSE;
}

void CWnd::EndModalLoop(int nResult) {
    m_nModalResult = nResult;
    if ((m_nFlags & WF_CONTINUEMODAL) != 0) {
        m_nFlags &= ~WF_CONTINUEMODAL;
        // Wakes the loop if it waits for a message.
        PostMessage(WM_NULL);
    }
}

int CWnd::RunModalLoop(DWORD dwFlags) {
    bool idle = true;
    bool showOnIdle = (dwFlags & MLF_SHOWONIDLE) != 0 && (GetStyle() & WS_VISIBLE) == 0;
    HWND hWndParent = ::GetParent(m_hWnd);
    m_nFlags |= WF_MODALLOOP | WF_CONTINUEMODAL;
    const ModalWindowScope stopHere(m_hWnd);
    MSG msg{};
    while (ContinueModal()) {
        if (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (showOnIdle) {
                ShowWindow(SW_SHOWNORMAL);
                UpdateWindow();
                showOnIdle = false;
            }
            // Tell the owner that the dialog waits for input.
            if ((dwFlags & MLF_NOIDLEMSG) == 0 && hWndParent != nullptr) {
                ::SendMessageW(hWndParent, WM_ENTERIDLE, MSGF_DIALOGBOX,
                               reinterpret_cast<LPARAM>(m_hWnd));
            }
            idle = false;
            continue;
        }
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            // WM_QUIT belongs to the outer loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
            return -1;
        }
        if (showOnIdle && msg.message == WM_SYSKEYDOWN) {
            ShowWindow(SW_SHOWNORMAL);
            UpdateWindow();
            showOnIdle = false;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (IsIdleMessage(msg)) {
            idle = true;
        }
    }
    m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
    return m_nModalResult;
}

HWND CWnd::GetSafeOwner_(HWND hParent) {
    HWND hWnd = hParent;
    if (hWnd == nullptr) {
        CWnd* main = AfxGetMainWnd();
        hWnd = main != nullptr ? main->m_hWnd : ::GetActiveWindow();
    }
    // A pop-up cannot be owned by a child window.
    while (hWnd != nullptr && (::GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) != 0) {
        hWnd = ::GetParent(hWnd);
    }
    if (hParent == nullptr && hWnd != nullptr) {
        hWnd = ::GetLastActivePopup(hWnd);
    }
    return hWnd;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg)) {
            return TRUE;
        }
        if (hWnd == hWndStop) {
            break;
        }
    }
    return FALSE;
}

BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg) {
    HWND hWndStop = t_modalWindow;
    if (hWndStop == nullptr) {
        CWnd* main = AfxGetMainWnd();
        hWndStop = main != nullptr ? main->m_hWnd : ::GetActiveWindow();
    }
    return CWnd::WalkPreTranslateTree(hWndStop, pMsg);
}
