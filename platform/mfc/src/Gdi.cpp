#include <afxwin.h>

#include "platform/mfc/src/TempObjects.h"

IMPLEMENT_DYNAMIC(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CPen, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
    if (hObject == nullptr) {
        return FALSE;
    }
    m_hObject = hObject;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject() {
    if (m_hObject == nullptr) {
        return FALSE;
    }
    return ::DeleteObject(Detach());
}

BOOL CGdiObject::CreateStockObject(int nIndex) {
    return Attach(::GetStockObject(nIndex));
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) {
    return hObject != nullptr ? afx_internal::TempGdiObject(hObject) : nullptr;
}

CPen::CPen(int nPenStyle, int nWidth, COLORREF crColor) {
    CreatePen(nPenStyle, nWidth, crColor);
}

BOOL CPen::CreatePen(int nPenStyle, int nWidth, COLORREF crColor) {
    return Attach(::CreatePen(nPenStyle, nWidth, crColor));
}

CPen* CPen::FromHandle(HPEN hPen) {
    return hPen != nullptr ? afx_internal::TempPen(hPen) : nullptr;
}

CBrush::CBrush(COLORREF crColor) {
    CreateSolidBrush(crColor);
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    return Attach(::CreateSolidBrush(crColor));
}

CBrush* CBrush::FromHandle(HBRUSH hBrush) {
    return hBrush != nullptr ? afx_internal::TempBrush(hBrush) : nullptr;
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
    return LoadBitmap(MAKEINTRESOURCEW(nIDResource));
}

BOOL CBitmap::LoadBitmap(LPCWSTR lpszResourceName) {
    HINSTANCE module = AfxFindResourceHandle(lpszResourceName, MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    return Attach(::LoadBitmapW(module, lpszResourceName));
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
    return ::GetObjectW(m_hObject, sizeof(BITMAP), pBitMap);
}

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) {
    return hBitmap != nullptr ? afx_internal::TempBitmap(hBitmap) : nullptr;
}

CDC::~CDC() {
    if (m_hDC != nullptr) {
        ::DeleteDC(Detach());
    }
}

BOOL CDC::Attach(HDC hDC) {
    if (hDC == nullptr) {
        return FALSE;
    }
    m_hDC = hDC;
    m_hAttribDC = hDC;
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    m_hDC = nullptr;
    m_hAttribDC = nullptr;
    return h;
}

BOOL CDC::DeleteDC() {
    if (m_hDC == nullptr) {
        return FALSE;
    }
    return ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC hDC) {
    return hDC != nullptr ? afx_internal::TempDC(hDC) : nullptr;
}

CPen* CDC::SelectObject(CPen* pPen) {
    return CPen::FromHandle(static_cast<HPEN>(::SelectObject(m_hDC, pPen->GetSafeHandle())));
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    return CBrush::FromHandle(static_cast<HBRUSH>(::SelectObject(m_hDC, pBrush->GetSafeHandle())));
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return CBitmap::FromHandle(
        static_cast<HBITMAP>(::SelectObject(m_hDC, pBitmap->GetSafeHandle())));
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    return CGdiObject::FromHandle(::SelectObject(m_hDC, pObject->GetSafeHandle()));
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
    HGDIOBJ stock = ::GetStockObject(nIndex);
    return stock != nullptr ? CGdiObject::FromHandle(::SelectObject(m_hDC, stock)) : nullptr;
}

COLORREF CDC::GetBkColor() const {
    return ::GetBkColor(m_hAttribDC);
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
    return ::SetBkColor(m_hDC, crColor);
}

COLORREF CDC::GetTextColor() const {
    return ::GetTextColor(m_hAttribDC);
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    return ::SetTextColor(m_hDC, crColor);
}

int CDC::SetBkMode(int nBkMode) {
    return ::SetBkMode(m_hDC, nBkMode);
}

COLORREF CDC::GetPixel(int x, int y) const {
    return ::GetPixel(m_hDC, x, y);
}

BOOL CDC::Rectangle(int x1, int y1, int x2, int y2) {
    return ::Rectangle(m_hDC, x1, y1, x2, y2);
}

BOOL CDC::Rectangle(LPCRECT lpRect) {
    return ::Rectangle(m_hDC, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom);
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(pBrush->GetSafeHandle()));
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    ::SetBkColor(m_hDC, clr);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    const RECT rc = {x, y, x + cx, y + cy};
    FillSolidRect(&rc, clr);
}

CPoint CDC::MoveTo(int x, int y) {
    POINT previous = {0, 0};
    ::MoveToEx(m_hDC, x, y, &previous);
    return CPoint(previous);
}

BOOL CDC::LineTo(int x, int y) {
    return ::LineTo(m_hDC, x, y);
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
    return ::TextOutW(m_hDC, x, y, str.GetString(), str.GetLength());
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd != nullptr ? pWnd->m_hWnd : nullptr) {
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC() {
    ::ReleaseDC(m_hWnd, Detach());
}
