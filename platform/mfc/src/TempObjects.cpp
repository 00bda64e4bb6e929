// Temporary wrappers for handles that no object of this module owns (the
// framework's "temporary maps"). They stay valid until the outermost modal
// loop ends, so a handler may keep one across a nested dialog.
#include "TempObjects.h"

#include <map>
#include <memory>

namespace {

template <class T, class Handle>
struct TempMap {
    std::map<Handle, std::unique_ptr<T>> objects;
};

// GDI wrappers are kept per kind, so a handle seen as a plain object and later
// as a pen has one wrapper of each kind, both valid.
enum class GdiKind { Object, Pen, Brush, Bitmap };

thread_local TempMap<CWnd, HWND> t_windows;
thread_local TempMap<CGdiObject, std::pair<GdiKind, HGDIOBJ>> t_gdiObjects;
thread_local TempMap<CDC, HDC> t_dcs;
thread_local std::map<HWND, CWnd*> t_permanent;

template <class T>
T* Lookup(GdiKind kind, HGDIOBJ handle) {
    auto& slot = t_gdiObjects.objects[{kind, handle}];
    if (slot == nullptr) {
        auto object = std::make_unique<T>();
        object->m_hObject = handle;
        slot = std::move(object);
    }
    return static_cast<T*>(slot.get());
}

}  // namespace

namespace afx_internal {

CWnd* TempWindow(HWND hWnd) {
    auto& slot = t_windows.objects[hWnd];
    if (slot == nullptr) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hWnd;
    }
    return slot.get();
}

CGdiObject* TempGdiObject(HGDIOBJ h) {
    return Lookup<CGdiObject>(GdiKind::Object, h);
}

CPen* TempPen(HGDIOBJ h) {
    return Lookup<CPen>(GdiKind::Pen, h);
}

CBrush* TempBrush(HGDIOBJ h) {
    return Lookup<CBrush>(GdiKind::Brush, h);
}

CBitmap* TempBitmap(HGDIOBJ h) {
    return Lookup<CBitmap>(GdiKind::Bitmap, h);
}

CDC* TempDC(HDC hDC) {
    auto& slot = t_dcs.objects[hDC];
    if (slot == nullptr) {
        slot = std::make_unique<CDC>();
        slot->m_hDC = hDC;
        slot->m_hAttribDC = hDC;
    }
    return slot.get();
}

CWnd* PermanentWindow(HWND hWnd) {
    auto it = t_permanent.find(hWnd);
    return it != t_permanent.end() ? it->second : nullptr;
}

void AddPermanent(HWND hWnd, CWnd* pWnd) {
    t_permanent[hWnd] = pWnd;
}

void RemovePermanent(HWND hWnd) {
    t_permanent.erase(hWnd);
}

}  // namespace afx_internal

void AFXAPI AfxDeleteTempObjects() {
    // The wrappers do not own their handles: detach before deleting.
    for (auto& entry : t_windows.objects) {
        entry.second->m_hWnd = nullptr;
    }
    t_windows.objects.clear();
    for (auto& entry : t_gdiObjects.objects) {
        entry.second->m_hObject = nullptr;
    }
    t_gdiObjects.objects.clear();
    for (auto& entry : t_dcs.objects) {
        entry.second->m_hDC = nullptr;
        entry.second->m_hAttribDC = nullptr;
    }
    t_dcs.objects.clear();
}
