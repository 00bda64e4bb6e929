#include <afxwin.h>

namespace {

struct DataExchangeFailure {};

bool IsRadioButton(HWND hWnd) {
    return (::SendMessageW(hWnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

}  // namespace

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hWndCtrl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (hWndCtrl == nullptr) {
        Fail();
    }
    m_hWndLastControl = hWndCtrl;
    return hWndCtrl;
}

void CDataExchange::Fail() {
    throw DataExchangeFailure{};
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd != nullptr) {
        return;  // bound by an earlier exchange
    }
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (!rControl.SubclassWindow(hWndCtrl)) {
        pDX->Fail();
    }
}

void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
    }
    // The group runs from nIDC up to the next control that starts a group;
    // only radio buttons count.
    int button = 0;
    do {
        if (IsRadioButton(hWndCtrl)) {
            if (pDX->m_bSaveAndValidate) {
                if (value == -1 && ::SendMessageW(hWndCtrl, BM_GETCHECK, 0, 0) != 0) {
                    value = button;
                }
            } else {
                ::SendMessageW(hWndCtrl, BM_SETCHECK, button == value ? BST_CHECKED : BST_UNCHECKED,
                               0);
            }
            ++button;
        }
        hWndCtrl = ::GetWindow(hWndCtrl, GW_HWNDNEXT);
    } while (hWndCtrl != nullptr && (::GetWindowLongW(hWndCtrl, GWL_STYLE) & WS_GROUP) == 0);
}

void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageW(hWndCtrl, BM_GETCHECK, 0, 0));
    } else {
        ::SendMessageW(hWndCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        CWnd::FromHandle(hWndCtrl)->GetWindowText(value);
    } else {
        ::SetWindowTextW(hWndCtrl, value.GetString());
    }
}

void AFXAPI DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    HWND hWndCtrl = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        index = static_cast<int>(::SendMessageW(hWndCtrl, CB_GETCURSEL, 0, 0));
    } else {
        ::SendMessageW(hWndCtrl, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}
