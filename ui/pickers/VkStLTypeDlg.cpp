#include "ui/pickers/VkStLTypeDlg.h"

#include "settings/PaletteTables.h"

BEGIN_MESSAGE_MAP(VkStLTypeDlg, SwatchPickerDlg)
ON_STN_CLICKED(IDC_LINETYPE01, &VkStLTypeDlg::OnClickedLineType01)
ON_STN_CLICKED(IDC_LINETYPE02, &VkStLTypeDlg::OnClickedLineType02)
ON_STN_CLICKED(IDC_LINETYPE03, &VkStLTypeDlg::OnClickedLineType03)
ON_STN_CLICKED(IDC_LINETYPE04, &VkStLTypeDlg::OnClickedLineType04)
ON_STN_CLICKED(IDC_LINETYPE05, &VkStLTypeDlg::OnClickedLineType05)
ON_STN_CLICKED(IDC_LINETYPE06, &VkStLTypeDlg::OnClickedLineType06)
ON_STN_CLICKED(IDC_LINETYPE07, &VkStLTypeDlg::OnClickedLineType07)
ON_STN_CLICKED(IDC_LINETYPE08, &VkStLTypeDlg::OnClickedLineType08)
ON_STN_CLICKED(IDC_LINETYPE09, &VkStLTypeDlg::OnClickedLineType09)
ON_STN_CLICKED(IDC_LINETYPE10, &VkStLTypeDlg::OnClickedLineType10)
ON_STN_DBLCLK(IDC_LINETYPE01, &VkStLTypeDlg::OnDblclkLineType01)
ON_STN_DBLCLK(IDC_LINETYPE02, &VkStLTypeDlg::OnDblclkLineType02)
ON_STN_DBLCLK(IDC_LINETYPE03, &VkStLTypeDlg::OnDblclkLineType03)
ON_STN_DBLCLK(IDC_LINETYPE04, &VkStLTypeDlg::OnDblclkLineType04)
ON_STN_DBLCLK(IDC_LINETYPE05, &VkStLTypeDlg::OnDblclkLineType05)
ON_STN_DBLCLK(IDC_LINETYPE06, &VkStLTypeDlg::OnDblclkLineType06)
ON_STN_DBLCLK(IDC_LINETYPE07, &VkStLTypeDlg::OnDblclkLineType07)
ON_STN_DBLCLK(IDC_LINETYPE08, &VkStLTypeDlg::OnDblclkLineType08)
ON_STN_DBLCLK(IDC_LINETYPE09, &VkStLTypeDlg::OnDblclkLineType09)
ON_STN_DBLCLK(IDC_LINETYPE10, &VkStLTypeDlg::OnDblclkLineType10)
END_MESSAGE_MAP()

VkStLTypeDlg::VkStLTypeDlg(CWnd* pParent)
    : SwatchPickerDlg(IDD, pParent, L"LINETYPE01", &LineTypeNameToId) {}

VkStLTypeDlg::~VkStLTypeDlg() {
    // The window goes first, so that no swatch paints a deleted picture.
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    for (HBITMAP& picture : m_hPictures) {
        if (picture != nullptr) {
            ::DeleteObject(picture);
            picture = nullptr;
        }
    }
}

int VkStLTypeDlg::LineTypeNameToId(const CString& name) {
    LineTypeTable table;
    BuildLineTypes(table);
    const int position = FindByName(table, name.GetString());
    return position > 0 ? LineTypeSwatchId(position) : IDC_LINETYPE01;
}

BOOL VkStLTypeDlg::OnInitDialog() {
    SwatchPickerDlg::OnInitDialog();
    for (int position = 1; position <= 10; ++position) {
        // The pictures are the plug-in's own resources.
        CBitmap picture;
        if (!picture.LoadBitmap(static_cast<UINT>(LineTypeBitmapId(position)))) {
            continue;
        }
        const LRESULT shown =
            SendDlgItemMessage(LineTypeSwatchId(position), STM_SETIMAGE, IMAGE_BITMAP,
                               reinterpret_cast<LPARAM>(static_cast<HBITMAP>(picture)));
        if (shown != 0) {
            ::DeleteObject(reinterpret_cast<HGDIOBJ>(shown));
        }
        HBITMAP& kept = m_hPictures[position - 1];
        if (kept != nullptr && kept != reinterpret_cast<HBITMAP>(shown)) {
            ::DeleteObject(kept);
        }
        kept = static_cast<HBITMAP>(picture.Detach());
    }
    return TRUE;
}

void VkStLTypeDlg::OnClickedLineType01() {
    SelectName(L"LINETYPE01");
}

void VkStLTypeDlg::OnClickedLineType02() {
    SelectName(L"LINETYPE02");
}

void VkStLTypeDlg::OnClickedLineType03() {
    SelectName(L"LINETYPE03");
}

void VkStLTypeDlg::OnClickedLineType04() {
    SelectName(L"LINETYPE04");
}

void VkStLTypeDlg::OnClickedLineType05() {
    SelectName(L"LINETYPE05");
}

void VkStLTypeDlg::OnClickedLineType06() {
    SelectName(L"LINETYPE06");
}

void VkStLTypeDlg::OnClickedLineType07() {
    SelectName(L"LINETYPE07");
}

void VkStLTypeDlg::OnClickedLineType08() {
    SelectName(L"LINETYPE08");
}

void VkStLTypeDlg::OnClickedLineType09() {
    SelectName(L"LINETYPE09");
}

void VkStLTypeDlg::OnClickedLineType10() {
    SelectName(L"LINETYPE10");
}

void VkStLTypeDlg::OnDblclkLineType01() {
    SelectAndConfirm(L"LINETYPE01");
}

void VkStLTypeDlg::OnDblclkLineType02() {
    SelectAndConfirm(L"LINETYPE02");
}

void VkStLTypeDlg::OnDblclkLineType03() {
    SelectAndConfirm(L"LINETYPE03");
}

void VkStLTypeDlg::OnDblclkLineType04() {
    SelectAndConfirm(L"LINETYPE04");
}

void VkStLTypeDlg::OnDblclkLineType05() {
    SelectAndConfirm(L"LINETYPE05");
}

void VkStLTypeDlg::OnDblclkLineType06() {
    SelectAndConfirm(L"LINETYPE06");
}

void VkStLTypeDlg::OnDblclkLineType07() {
    SelectAndConfirm(L"LINETYPE07");
}

void VkStLTypeDlg::OnDblclkLineType08() {
    SelectAndConfirm(L"LINETYPE08");
}

void VkStLTypeDlg::OnDblclkLineType09() {
    SelectAndConfirm(L"LINETYPE09");
}

void VkStLTypeDlg::OnDblclkLineType10() {
    SelectAndConfirm(L"LINETYPE10");
}
