#include "ui/pickers/StaticBkColor.h"

#include "ui/pickers/SwatchPainting.h"

BEGIN_MESSAGE_MAP(StaticBkColor, CStatic)
ON_WM_PAINT()
END_MESSAGE_MAP()

StaticBkColor::~StaticBkColor() = default;

void StaticBkColor::OnPaint() {
    CPaintDC dc(this);
    CRect rect;
    GetClientRect(&rect);
    // The colour follows from the control id; an unexpected id is black.
    const CString name = ColorNameOfSwatch(GetDlgCtrlID());
    const COLORREF color = name.IsEmpty() ? RGB(0, 0, 0) : PaletteColorByName(name, RGB(0, 0, 0));
    dc.FillSolidRect(&rect, color);
}
