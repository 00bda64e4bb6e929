#include "ui/pickers/StaticMainColor.h"

#include "settings/PaletteTables.h"

BEGIN_MESSAGE_MAP(StaticMainColor, CStatic)
ON_WM_PAINT()
END_MESSAGE_MAP()

StaticMainColor::~StaticMainColor() = default;

void StaticMainColor::OnPaint() {
    CPaintDC dc(this);
    CRect rect;
    GetClientRect(&rect);

    // A fresh table at each paint; the first palette name equal to
    // m_strColor (ignoring case) is shown, otherwise MAINCOLOR01 (white).
    MainColorTable table;
    BuildMainColors(table);
    std::basic_string<WCHAR> taken = TEXT("MAINCOLOR01");
    for (int position = 1; position <= table.count; ++position) {
        const auto& name = table.entries[static_cast<size_t>(position)].name;
        if (m_strColor.CompareNoCase(name.c_str()) == 0) {
            taken = name;
            break;
        }
    }
    const int position = FindByName(table, taken);
    dc.FillSolidRect(
        &rect, static_cast<COLORREF>(ScreenColor(table.entries[static_cast<size_t>(position)])));
}
