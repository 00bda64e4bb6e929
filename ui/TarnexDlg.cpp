#include "ui/TarnexDlg.h"

#include <cstdlib>
#include <string>

#include "settings/Settings.h"
#include "settings/PaletteTables.h"
#include "ui/pickers/VkStColorDlg.h"
#include "ui/pickers/VkStLTypeDlg.h"

namespace {

// Reads one value; when it cannot be read, the default is taken and written
// back at once (whether that write succeeds or not).
CString ReadOrDefault(const CString& subkey, SettingId id) {
    const SettingDefault& setting = SettingOf(id);
    std::basic_string<WCHAR> text;
    if (RegReadString(SettingsKeyPath(subkey.GetString()), setting.name, text) != 0) {
        text = setting.text;
        WriteSetting(subkey.GetString(), setting.name, text);
    }
    return CString(text.c_str());
}

void Write(const CString& subkey, SettingId id, const CString& text) {
    WriteSetting(subkey.GetString(), SettingOf(id).name, text.GetString());
}

CString Decimal(int value) {
    CString text;
    text.Format(L"%d", value);
    return text;
}

}  // namespace

IMPLEMENT_DYNAMIC(TarnexDlg, CDialog)

BEGIN_MESSAGE_MAP(TarnexDlg, CDialog)
ON_CBN_SELCHANGE(IDC_DECIMAL_PLACES, &TarnexDlg::OnSelchangeDecimalPlaces)
ON_BN_CLICKED(IDC_UNIT_MM_TO_MM, &TarnexDlg::OnUnitMmToMm)
ON_BN_CLICKED(IDC_UNIT_INCH_TO_MM, &TarnexDlg::OnUnitInchToMm)
ON_BN_CLICKED(IDC_UNIT_MM_TO_INCH, &TarnexDlg::OnUnitMmToInch)
ON_BN_CLICKED(IDC_EXPLODED, &TarnexDlg::OnExplodedClicked)
ON_BN_CLICKED(IDC_COLOR_KEEP, &TarnexDlg::OnColorKeep)
ON_BN_CLICKED(IDC_COLOR_CHANGE, &TarnexDlg::OnColorChange)
ON_STN_CLICKED(IDC_MAIN_COLOR, &TarnexDlg::OnMainColorClicked)
ON_STN_CLICKED(IDC_LINE_TYPE, &TarnexDlg::OnLineTypeClicked)
ON_WM_DESTROY()
END_MESSAGE_MAP()

TarnexDlg::TarnexDlg(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_strSubkey(SettingsSubkey),
      // Always loaded before use; zero keeps an unopened dialog harmless.
      m_nDPoint(0),
      m_nInchMm(0),
      m_bExploded(0),
      m_nColor(0) {
    m_stMainColor.m_strColor = L"MAINCOLOR01";
}

TarnexDlg::~TarnexDlg() = default;

void TarnexDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    // The combo selection, the check box and the line type are kept by the
    // handlers, not exchanged.
    DDX_Control(pDX, IDC_DECIMAL_PLACES, m_cbDecimalPlaces);
    DDX_Radio(pDX, IDC_UNIT_MM_TO_MM, m_nInchMm);
    DDX_Radio(pDX, IDC_COLOR_KEEP, m_nColor);
    DDX_Control(pDX, IDC_MAIN_COLOR, m_stMainColor);
}

BOOL TarnexDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The list is sorted, and these stay in this order: item i is i + 1 places.
    for (const wchar_t* item : {L"1", L"2", L"3", L"4", L"5"}) {
        m_cbDecimalPlaces.AddString(item);
    }
    LoadFromRegistry();
    ShowLineTypeImage(m_strLType);
    return TRUE;  // focus goes to the first tab stop, the combo box
}

bool TarnexDlg::LoadFromRegistry() {
    m_nDPoint = _wtoi(ReadOrDefault(m_strSubkey, SettingId::DPoint));
    // Outside 1 to 5 no item is selected; the stored number is kept and
    // written back until the user picks an item.
    const bool listed = m_nDPoint >= 1 && m_nDPoint <= 5;
    m_cbDecimalPlaces.SetCurSel(listed ? m_nDPoint - 1 : -1);

    const int inchMm = _wtoi(ReadOrDefault(m_strSubkey, SettingId::InchMm));
    m_nInchMm = (inchMm == 1 || inchMm == 2) ? inchMm : 0;
    CheckRadioButton(IDC_UNIT_MM_TO_MM, IDC_UNIT_MM_TO_INCH, IDC_UNIT_MM_TO_MM + m_nInchMm);

    m_bExploded = _wtoi(ReadOrDefault(m_strSubkey, SettingId::IsExploded)) != 0 ? 1 : 0;
    CheckDlgButton(IDC_EXPLODED, static_cast<UINT>(m_bExploded));

    m_nColor = _wtoi(ReadOrDefault(m_strSubkey, SettingId::Color)) == 1 ? 1 : 0;
    CheckRadioButton(IDC_COLOR_KEEP, IDC_COLOR_CHANGE, IDC_COLOR_KEEP + m_nColor);

    // Names are taken as stored, unvalidated: an unknown colour paints white
    // and an unknown line type shows the first picture.
    m_stMainColor.m_strColor = ReadOrDefault(m_strSubkey, SettingId::MainColor);
    m_strLType = ReadOrDefault(m_strSubkey, SettingId::LineType);
    return true;
}

bool TarnexDlg::SaveToRegistry() {
    Write(m_strSubkey, SettingId::DPoint, Decimal(m_nDPoint));
    Write(m_strSubkey, SettingId::InchMm, Decimal(m_nInchMm));
    Write(m_strSubkey, SettingId::IsExploded, m_bExploded != 0 ? L"1" : L"0");
    Write(m_strSubkey, SettingId::Color, Decimal(m_nColor));
    Write(m_strSubkey, SettingId::MainColor, m_stMainColor.m_strColor);
    Write(m_strSubkey, SettingId::LineType, m_strLType);
    return true;
}

void TarnexDlg::ShowLineTypeImage(CString name) {
    LineTypeTable table;
    BuildLineTypes(table);
    // A name not in the table (position 0) shows the first line type's picture.
    const UINT id = static_cast<UINT>(LineTypeBitmapId(FindByName(table, name.GetString())));

    HINSTANCE module = AfxFindResourceHandle(MAKEINTRESOURCE(id), RT_BITMAP);
    HBITMAP bitmap = ::LoadBitmapW(module, MAKEINTRESOURCEW(id));
    // The control keeps the new picture; one it hands back is ours to delete.
    const LRESULT previous = SendDlgItemMessage(IDC_LINE_TYPE, STM_SETIMAGE, IMAGE_BITMAP,
                                                reinterpret_cast<LPARAM>(bitmap));
    if (previous != 0) {
        ::DeleteObject(reinterpret_cast<HGDIOBJ>(previous));
    }
}

void TarnexDlg::OnDestroy() {
    // A static control never deletes its picture: take the last one back so
    // that each opening does not leave a bitmap behind.
    const LRESULT shown = SendDlgItemMessage(IDC_LINE_TYPE, STM_SETIMAGE, IMAGE_BITMAP, 0);
    if (shown != 0) {
        ::DeleteObject(reinterpret_cast<HGDIOBJ>(shown));
    }
    CDialog::OnDestroy();
}

void TarnexDlg::OnSelchangeDecimalPlaces() {
    m_nDPoint = m_cbDecimalPlaces.GetCurSel() + 1;
    SaveToRegistry();
}

void TarnexDlg::OnUnitMmToMm() {
    m_nInchMm = 0;
    SaveToRegistry();
}

void TarnexDlg::OnUnitInchToMm() {
    m_nInchMm = 1;
    SaveToRegistry();
}

void TarnexDlg::OnUnitMmToInch() {
    m_nInchMm = 2;
    SaveToRegistry();
}

void TarnexDlg::OnExplodedClicked() {
    // The member is flipped and pushed to the box; the box is not read.
    m_bExploded = m_bExploded == 0 ? 1 : 0;
    CheckDlgButton(IDC_EXPLODED, static_cast<UINT>(m_bExploded));
    Write(m_strSubkey, SettingId::IsExploded, m_bExploded != 0 ? L"1" : L"0");
}

void TarnexDlg::OnColorKeep() {
    m_nColor = 0;
    SaveToRegistry();
}

void TarnexDlg::OnColorChange() {
    m_nColor = 1;
    SaveToRegistry();
}

void TarnexDlg::OnMainColorClicked() {
    VkStColorDlg picker(this);
    // Pre-select without a repaint: the picker has no window yet.
    if (picker.m_strCurrent.CompareNoCase(m_stMainColor.m_strColor) != 0) {
        picker.m_strPrevious = picker.m_strCurrent;
        picker.m_strCurrent = m_stMainColor.m_strColor;
    }
    if (picker.DoModal() != IDOK) {
        return;
    }
    m_stMainColor.m_strColor = picker.m_strCurrent;
    // Whole client area, no erase: the swatch repaints in the new colour.
    InvalidateRect(nullptr, FALSE);
    Write(m_strSubkey, SettingId::MainColor, m_stMainColor.m_strColor);
}

void TarnexDlg::OnLineTypeClicked() {
    VkStLTypeDlg picker(this);
    if (picker.m_strCurrent.CompareNoCase(m_strLType) != 0) {
        picker.m_strPrevious = picker.m_strCurrent;
        picker.m_strCurrent = m_strLType;
    }
    if (picker.DoModal() != IDOK) {
        return;
    }
    m_strLType = picker.m_strCurrent;
    ShowLineTypeImage(m_strLType);
    Write(m_strSubkey, SettingId::LineType, m_strLType);
}
