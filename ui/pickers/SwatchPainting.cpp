#include "ui/pickers/SwatchPainting.h"

#include "settings/PaletteTables.h"

COLORREF PaletteColorByName(const CString& name, COLORREF fallback) {
    MainColorTable table;
    BuildMainColors(table);
    const int position = FindByName(table, name.GetString());
    if (position == 0) {
        return fallback;
    }
    return static_cast<COLORREF>(ScreenColor(table.entries[static_cast<size_t>(position)]));
}

CString ColorNameOfSwatch(int controlId) {
    MainColorTable table;
    BuildMainColors(table);
    for (int position = 1; position <= table.count; ++position) {
        if (ColorSwatchId(position) == controlId) {
            return CString(table.entries[static_cast<size_t>(position)].name.c_str());
        }
    }
    return CString();
}

void DrawSelectionFrame(CWnd& dialog, CDC& dc, int controlId, COLORREF color) {
    CWnd* control = dialog.GetDlgItem(controlId);
    if (control == nullptr) {
        return;
    }
    CRect rect;
    control->GetWindowRect(&rect);
    dialog.ScreenToClient(&rect);

    CPen pen(PS_SOLID, 2, color);
    CPen* oldPen = dc.SelectObject(&pen);
    CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
    dc.Rectangle(rect.left - 3, rect.top - 3, rect.right + 3, rect.bottom + 3);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
    pen.DeleteObject();
}
