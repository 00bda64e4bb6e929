#include "ui/pickers/SwatchPickerDlg.h"

#include "ui/pickers/SwatchPainting.h"

BEGIN_MESSAGE_MAP(SwatchPickerDlg, CDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

SwatchPickerDlg::SwatchPickerDlg(UINT nIDTemplate, CWnd* pParent, const CString& firstName,
                                 NameToId nameToId)
    : CDialog(nIDTemplate, pParent), m_strCurrent(firstName), m_pfnNameToId(nameToId) {}

SwatchPickerDlg::~SwatchPickerDlg() = default;

void SwatchPickerDlg::SelectName(const CString& name) {
    if (name.CompareNoCase(m_strCurrent) == 0) {
        return;
    }
    m_strPrevious = m_strCurrent;
    m_strCurrent = name;
    // Without a window there is nothing to repaint (a null window would mean
    // the whole desktop).
    if (m_hWnd != nullptr) {
        InvalidateRect(nullptr, FALSE);
    }
}

void SwatchPickerDlg::SelectAndConfirm(const CString& name) {
    // After the click notification of the same swatch this selects nothing new.
    SelectName(name);
    OnOK();
}

BOOL SwatchPickerDlg::PreTranslateMessage(MSG* pMsg) {
    // Ahead of the dialog manager, so Enter and Space confirm even when the
    // Cancel button has the focus.
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_SPACE) {
            OnOK();
            return TRUE;
        }
        if (pMsg->wParam == VK_ESCAPE) {
            OnCancel();
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void SwatchPickerDlg::OnPaint() {
    CPaintDC dc(this);
    // The old mark is painted over in the paint context's background colour
    // first, so that the red frame wins when both names share a swatch.
    if (!m_strPrevious.IsEmpty()) {
        DrawSelectionFrame(*this, dc, m_pfnNameToId(m_strPrevious), dc.GetBkColor());
    }
    if (!m_strCurrent.IsEmpty()) {
        DrawSelectionFrame(*this, dc, m_pfnNameToId(m_strCurrent), RGB(255, 0, 0));
    }
}
