// CPoint, CSize and CRect: the framework's thin wrappers of POINT, SIZE, RECT.
#pragma once

#include <windows.h>

class CSize : public tagSIZE {
public:
    CSize() { cx = cy = 0; }
    CSize(int x, int y) {
        cx = x;
        cy = y;
    }
    bool operator==(const SIZE& other) const { return cx == other.cx && cy == other.cy; }
    bool operator!=(const SIZE& other) const { return !(*this == other); }
};

class CPoint : public tagPOINT {
public:
    CPoint() { x = y = 0; }
    CPoint(int initX, int initY) {
        x = initX;
        y = initY;
    }
    CPoint(POINT pt) : tagPOINT(pt) {}
    void Offset(int dx, int dy) {
        x += dx;
        y += dy;
    }
    bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    bool operator!=(const POINT& other) const { return !(*this == other); }
};

class CRect : public tagRECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) { SetRect(l, t, r, b); }
    CRect(const RECT& rc) : tagRECT(rc) {}
    CRect(LPCRECT rc) : tagRECT(*rc) {}
    CRect(POINT topLeft, SIZE size) {
        SetRect(topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy);
    }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
    BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    BOOL PtInRect(POINT pt) const { return ::PtInRect(this, pt); }
    void SetRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
    void InflateRect(int l, int t, int r, int b) {
        SetRect(left - l, top - t, right + r, bottom + b);
    }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    void DeflateRect(int l, int t, int r, int b) {
        SetRect(left + l, top + t, right - r, bottom - b);
    }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void NormalizeRect() {
        if (left > right) {
            const LONG t = left;
            left = right;
            right = t;
        }
        if (top > bottom) {
            const LONG t = top;
            top = bottom;
            bottom = t;
        }
    }

    bool operator==(const RECT& rc) const { return ::EqualRect(this, &rc) != FALSE; }
    bool operator!=(const RECT& rc) const { return !(*this == rc); }
};
