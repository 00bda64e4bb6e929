// Handle-to-wrapper maps of the layer (internal).
#pragma once

#include <afxwin.h>

namespace afx_internal {

CWnd* TempWindow(HWND hWnd);
CGdiObject* TempGdiObject(HGDIOBJ h);
CPen* TempPen(HGDIOBJ h);
CBrush* TempBrush(HGDIOBJ h);
CBitmap* TempBitmap(HGDIOBJ h);
CDC* TempDC(HDC hDC);

// Wrappers attached to windows by this module (subclassed or attached).
CWnd* PermanentWindow(HWND hWnd);
void AddPermanent(HWND hWnd, CWnd* pWnd);
void RemovePermanent(HWND hWnd);

}  // namespace afx_internal
