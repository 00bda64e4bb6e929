// Temporary wrappers for handles that no object of this module owns (the
// framework's "temporary maps"). They stay valid until the outermost modal
// loop ends, so a handler may keep one across a nested dialog.
#include "platform/mfc/src/TempObjects.h"

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

struct ThreadMaps {
    TempMap<CWnd, HWND> windows;
    TempMap<CGdiObject, std::pair<GdiKind, HGDIOBJ>> gdiObjects;
    TempMap<CDC, HDC> dcs;
    std::map<HWND, CWnd*> permanent;
};

// A plain pointer per thread: a thread-local object with a destructor would
// pin the library in memory, so that it could never be unloaded.
thread_local ThreadMaps* t_maps = nullptr;

ThreadMaps& Maps() {
    if (t_maps == nullptr) {
        t_maps = new ThreadMaps;
    }
    return *t_maps;
}

template <class T>
T* Lookup(GdiKind kind, HGDIOBJ handle) {
    auto& slot = Maps().gdiObjects.objects[{kind, handle}];
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
    auto& slot = Maps().windows.objects[hWnd];
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
    auto& slot = Maps().dcs.objects[hDC];
    if (slot == nullptr) {
        slot = std::make_unique<CDC>();
        slot->m_hDC = hDC;
        slot->m_hAttribDC = hDC;
    }
    return slot.get();
}

CWnd* PermanentWindow(HWND hWnd) {
    auto it = Maps().permanent.find(hWnd);
    return it != Maps().permanent.end() ? it->second : nullptr;
}

void AddPermanent(HWND hWnd, CWnd* pWnd) {
    Maps().permanent[hWnd] = pWnd;
}

void RemovePermanent(HWND hWnd) {
    Maps().permanent.erase(hWnd);
}

}  // namespace afx_internal

void AFXAPI AfxDeleteTempObjects() {
    // The wrappers do not own their handles: detach before deleting.
    for (auto& entry : Maps().windows.objects) {
        entry.second->m_hWnd = nullptr;
    }
    Maps().windows.objects.clear();
    for (auto& entry : Maps().gdiObjects.objects) {
        entry.second->m_hObject = nullptr;
    }
    Maps().gdiObjects.objects.clear();
    for (auto& entry : Maps().dcs.objects) {
        entry.second->m_hDC = nullptr;
        entry.second->m_hAttribDC = nullptr;
    }
    Maps().dcs.objects.clear();
}

void AFXAPI AfxTermThreadMaps() {
    if (t_maps != nullptr) {
        AfxDeleteTempObjects();
        delete t_maps;
        t_maps = nullptr;
    }
}
