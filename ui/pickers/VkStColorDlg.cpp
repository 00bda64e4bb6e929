#include "VkStColorDlg.h"

#include "ui/pickers/PaletteTables.h"
#include "ui/pickers/SwatchPainting.h"

BEGIN_MESSAGE_MAP(VkStColorDlg, CDialog)
ON_STN_CLICKED(IDC_COLOR01, &VkStColorDlg::OnClickedColor01)
ON_STN_CLICKED(IDC_COLOR02, &VkStColorDlg::OnClickedColor02)
ON_STN_CLICKED(IDC_COLOR03, &VkStColorDlg::OnClickedColor03)
ON_STN_CLICKED(IDC_COLOR04, &VkStColorDlg::OnClickedColor04)
ON_STN_CLICKED(IDC_COLOR05, &VkStColorDlg::OnClickedColor05)
ON_STN_CLICKED(IDC_COLOR06, &VkStColorDlg::OnClickedColor06)
ON_STN_CLICKED(IDC_COLOR07, &VkStColorDlg::OnClickedColor07)
ON_STN_CLICKED(IDC_COLOR08, &VkStColorDlg::OnClickedColor08)
ON_STN_CLICKED(IDC_COLOR09, &VkStColorDlg::OnClickedColor09)
ON_STN_CLICKED(IDC_COLOR10, &VkStColorDlg::OnClickedColor10)
ON_STN_CLICKED(IDC_COLOR11, &VkStColorDlg::OnClickedColor11)
ON_STN_CLICKED(IDC_COLOR12, &VkStColorDlg::OnClickedColor12)
ON_STN_CLICKED(IDC_COLOR13, &VkStColorDlg::OnClickedColor13)
ON_STN_CLICKED(IDC_COLOR14, &VkStColorDlg::OnClickedColor14)
ON_STN_CLICKED(IDC_COLOR15, &VkStColorDlg::OnClickedColor15)
ON_STN_CLICKED(IDC_COLOR16, &VkStColorDlg::OnClickedColor16)
ON_WM_PAINT()
ON_STN_DBLCLK(IDC_COLOR01, &VkStColorDlg::OnDblclkColor01)
ON_STN_DBLCLK(IDC_COLOR02, &VkStColorDlg::OnDblclkColor02)
ON_STN_DBLCLK(IDC_COLOR03, &VkStColorDlg::OnDblclkColor03)
ON_STN_DBLCLK(IDC_COLOR04, &VkStColorDlg::OnDblclkColor04)
ON_STN_DBLCLK(IDC_COLOR05, &VkStColorDlg::OnDblclkColor05)
ON_STN_DBLCLK(IDC_COLOR06, &VkStColorDlg::OnDblclkColor06)
ON_STN_DBLCLK(IDC_COLOR07, &VkStColorDlg::OnDblclkColor07)
ON_STN_DBLCLK(IDC_COLOR08, &VkStColorDlg::OnDblclkColor08)
ON_STN_DBLCLK(IDC_COLOR09, &VkStColorDlg::OnDblclkColor09)
ON_STN_DBLCLK(IDC_COLOR10, &VkStColorDlg::OnDblclkColor10)
ON_STN_DBLCLK(IDC_COLOR11, &VkStColorDlg::OnDblclkColor11)
ON_STN_DBLCLK(IDC_COLOR12, &VkStColorDlg::OnDblclkColor12)
ON_STN_DBLCLK(IDC_COLOR13, &VkStColorDlg::OnDblclkColor13)
ON_STN_DBLCLK(IDC_COLOR14, &VkStColorDlg::OnDblclkColor14)
ON_STN_DBLCLK(IDC_COLOR15, &VkStColorDlg::OnDblclkColor15)
ON_STN_DBLCLK(IDC_COLOR16, &VkStColorDlg::OnDblclkColor16)
END_MESSAGE_MAP()

VkStColorDlg::VkStColorDlg(CWnd* pParent) : CDialog(IDD, pParent), m_strCurrent(L"MAINCOLOR01") {}

VkStColorDlg::~VkStColorDlg() = default;

void VkStColorDlg::SelectName(const CString& name) {
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

int VkStColorDlg::ColorNameToId(const CString& name) {
    MainColorTable table;
    BuildMainColors(table);
    const int position = FindByName(table, name.GetString());
    return position > 0 ? ColorSwatchId(position) : IDC_COLOR01;
}

void VkStColorDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int position = 1; position <= 16; ++position) {
        DDX_Control(pDX, ColorSwatchId(position), m_stSwatches[position - 1]);
    }
}

BOOL VkStColorDlg::PreTranslateMessage(MSG* pMsg) {
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

BOOL VkStColorDlg::OnInitDialog() {
    CDialog::OnInitDialog();  // binds the 16 swatches
    return TRUE;
}

void VkStColorDlg::OnPaint() {
    CPaintDC dc(this);
    // The old mark is painted over in the paint context's background colour
    // first, so that the red frame wins when both names share a swatch.
    if (!m_strPrevious.IsEmpty()) {
        DrawSelectionFrame(*this, dc, ColorNameToId(m_strPrevious), dc.GetBkColor());
    }
    if (!m_strCurrent.IsEmpty()) {
        DrawSelectionFrame(*this, dc, ColorNameToId(m_strCurrent), RGB(255, 0, 0));
    }
}

void VkStColorDlg::OnClickedColor01() {
    SelectName(L"MAINCOLOR01");
}

void VkStColorDlg::OnClickedColor02() {
    SelectName(L"MAINCOLOR02");
}

void VkStColorDlg::OnClickedColor03() {
    SelectName(L"MAINCOLOR03");
}

void VkStColorDlg::OnClickedColor04() {
    SelectName(L"MAINCOLOR04");
}

void VkStColorDlg::OnClickedColor05() {
    SelectName(L"MAINCOLOR05");
}

void VkStColorDlg::OnClickedColor06() {
    SelectName(L"MAINCOLOR06");
}

void VkStColorDlg::OnClickedColor07() {
    SelectName(L"MAINCOLOR07");
}

void VkStColorDlg::OnClickedColor08() {
    SelectName(L"MAINCOLOR08");
}

void VkStColorDlg::OnClickedColor09() {
    SelectName(L"MAINCOLOR09");
}

void VkStColorDlg::OnClickedColor10() {
    SelectName(L"MAINCOLOR10");
}

void VkStColorDlg::OnClickedColor11() {
    SelectName(L"MAINCOLOR11");
}

void VkStColorDlg::OnClickedColor12() {
    SelectName(L"MAINCOLOR12");
}

void VkStColorDlg::OnClickedColor13() {
    SelectName(L"MAINCOLOR13");
}

void VkStColorDlg::OnClickedColor14() {
    SelectName(L"MAINCOLOR14");
}

void VkStColorDlg::OnClickedColor15() {
    SelectName(L"MAINCOLOR15");
}

void VkStColorDlg::OnClickedColor16() {
    SelectName(L"MAINCOLOR16");
}

void VkStColorDlg::OnDblclkColor01() {
    SelectName(L"MAINCOLOR01");
    OnOK();
}

void VkStColorDlg::OnDblclkColor02() {
    SelectName(L"MAINCOLOR02");
    OnOK();
}

void VkStColorDlg::OnDblclkColor03() {
    SelectName(L"MAINCOLOR03");
    OnOK();
}

void VkStColorDlg::OnDblclkColor04() {
    SelectName(L"MAINCOLOR04");
    OnOK();
}

void VkStColorDlg::OnDblclkColor05() {
    SelectName(L"MAINCOLOR05");
    OnOK();
}

void VkStColorDlg::OnDblclkColor06() {
    SelectName(L"MAINCOLOR06");
    OnOK();
}

void VkStColorDlg::OnDblclkColor07() {
    SelectName(L"MAINCOLOR07");
    OnOK();
}

void VkStColorDlg::OnDblclkColor08() {
    SelectName(L"MAINCOLOR08");
    OnOK();
}

void VkStColorDlg::OnDblclkColor09() {
    SelectName(L"MAINCOLOR09");
    OnOK();
}

void VkStColorDlg::OnDblclkColor10() {
    SelectName(L"MAINCOLOR10");
    OnOK();
}

void VkStColorDlg::OnDblclkColor11() {
    SelectName(L"MAINCOLOR11");
    OnOK();
}

void VkStColorDlg::OnDblclkColor12() {
    SelectName(L"MAINCOLOR12");
    OnOK();
}

void VkStColorDlg::OnDblclkColor13() {
    SelectName(L"MAINCOLOR13");
    OnOK();
}

void VkStColorDlg::OnDblclkColor14() {
    SelectName(L"MAINCOLOR14");
    OnOK();
}

void VkStColorDlg::OnDblclkColor15() {
    SelectName(L"MAINCOLOR15");
    OnOK();
}

void VkStColorDlg::OnDblclkColor16() {
    SelectName(L"MAINCOLOR16");
    OnOK();
}
