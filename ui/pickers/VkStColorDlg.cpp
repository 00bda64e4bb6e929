#include "ui/pickers/VkStColorDlg.h"

#include "settings/PaletteTables.h"

BEGIN_MESSAGE_MAP(VkStColorDlg, SwatchPickerDlg)
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

VkStColorDlg::VkStColorDlg(CWnd* pParent)
    : SwatchPickerDlg(IDD, pParent, L"MAINCOLOR01", &ColorNameToId) {}

VkStColorDlg::~VkStColorDlg() = default;

int VkStColorDlg::ColorNameToId(const CString& name) {
    MainColorTable table;
    BuildMainColors(table);
    const int position = FindByName(table, name.GetString());
    return position > 0 ? ColorSwatchId(position) : IDC_COLOR01;
}

void VkStColorDlg::DoDataExchange(CDataExchange* pDX) {
    SwatchPickerDlg::DoDataExchange(pDX);
    for (int position = 1; position <= 16; ++position) {
        DDX_Control(pDX, ColorSwatchId(position), m_stSwatches[position - 1]);
    }
}

BOOL VkStColorDlg::OnInitDialog() {
    SwatchPickerDlg::OnInitDialog();  // binds the 16 swatches
    return TRUE;
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
    SelectAndConfirm(L"MAINCOLOR01");
}

void VkStColorDlg::OnDblclkColor02() {
    SelectAndConfirm(L"MAINCOLOR02");
}

void VkStColorDlg::OnDblclkColor03() {
    SelectAndConfirm(L"MAINCOLOR03");
}

void VkStColorDlg::OnDblclkColor04() {
    SelectAndConfirm(L"MAINCOLOR04");
}

void VkStColorDlg::OnDblclkColor05() {
    SelectAndConfirm(L"MAINCOLOR05");
}

void VkStColorDlg::OnDblclkColor06() {
    SelectAndConfirm(L"MAINCOLOR06");
}

void VkStColorDlg::OnDblclkColor07() {
    SelectAndConfirm(L"MAINCOLOR07");
}

void VkStColorDlg::OnDblclkColor08() {
    SelectAndConfirm(L"MAINCOLOR08");
}

void VkStColorDlg::OnDblclkColor09() {
    SelectAndConfirm(L"MAINCOLOR09");
}

void VkStColorDlg::OnDblclkColor10() {
    SelectAndConfirm(L"MAINCOLOR10");
}

void VkStColorDlg::OnDblclkColor11() {
    SelectAndConfirm(L"MAINCOLOR11");
}

void VkStColorDlg::OnDblclkColor12() {
    SelectAndConfirm(L"MAINCOLOR12");
}

void VkStColorDlg::OnDblclkColor13() {
    SelectAndConfirm(L"MAINCOLOR13");
}

void VkStColorDlg::OnDblclkColor14() {
    SelectAndConfirm(L"MAINCOLOR14");
}

void VkStColorDlg::OnDblclkColor15() {
    SelectAndConfirm(L"MAINCOLOR15");
}

void VkStColorDlg::OnDblclkColor16() {
    SelectAndConfirm(L"MAINCOLOR16");
}
