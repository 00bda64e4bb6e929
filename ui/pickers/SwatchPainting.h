// Painting shared by the swatch controls and the picker dialogs.
#pragma once

#include <afxwin.h>

// Screen colour of the palette entry named `name` (ignoring case), or
// `fallback` when the name is not in the palette.
COLORREF PaletteColorByName(const CString& name, COLORREF fallback);

// Palette name of a colour swatch control id, or empty for other ids.
CString ColorNameOfSwatch(int controlId);

// Draws a frame 2 pixels wide, 3 pixels outside control `controlId` of
// `dialog`, with the stock hollow brush; restores the DC's pen and brush.
void DrawSelectionFrame(CWnd& dialog, CDC& dc, int controlId, COLORREF color);
