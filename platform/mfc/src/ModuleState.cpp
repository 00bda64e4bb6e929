#include <afxwin.h>

// The image this copy of the layer is linked into (library or executable).
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

thread_local AFX_MODULE_STATE* t_currentState = nullptr;

}  // namespace

AFX_MODULE_STATE::AFX_MODULE_STATE(BOOL bDLL, HINSTANCE hInstance)
    : m_hCurrentInstanceHandle(hInstance), m_hCurrentResourceHandle(hInstance), m_bDLL(bDLL) {}

AFX_MODULE_STATE* AFXAPI AfxGetStaticModuleState() {
    // Built on first use, so the application object's constructor can
    // register itself whatever the order of static initialisation.
    static AFX_MODULE_STATE state(TRUE, reinterpret_cast<HINSTANCE>(&__ImageBase));
    return &state;
}

AFX_MODULE_STATE* AFXAPI AfxGetAppModuleState() {
    static AFX_MODULE_STATE state(FALSE, ::GetModuleHandleW(nullptr));
    return &state;
}

AFX_MODULE_STATE* AFXAPI AfxGetModuleState() {
    return t_currentState != nullptr ? t_currentState : AfxGetAppModuleState();
}

AFX_MODULE_STATE* AFXAPI AfxSetModuleState(AFX_MODULE_STATE* pNewState) {
    AFX_MODULE_STATE* previous = AfxGetModuleState();
    t_currentState = pNewState;
    return previous;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* pModuleState)
    : m_pPrevModuleState(AfxSetModuleState(pModuleState)) {}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() {
    AfxSetModuleState(m_pPrevModuleState);
}

HINSTANCE AFXAPI AfxGetInstanceHandle() {
    return AfxGetModuleState()->m_hCurrentInstanceHandle;
}

HINSTANCE AFXAPI AfxGetResourceHandle() {
    return AfxGetModuleState()->m_hCurrentResourceHandle;
}

void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource) {
    AfxGetModuleState()->m_hCurrentResourceHandle = hInstResource;
}

HINSTANCE AFXAPI AfxFindResourceHandle(LPCWSTR /*lpszName*/, LPCWSTR /*lpszType*/) {
    // Only the current module's resources: a resource of the same id in
    // another module (the host's executable) must never stand in for it.
    return AfxGetResourceHandle();
}

CWinApp* AFXAPI AfxGetApp() {
    return AfxGetModuleState()->m_pCurrentWinApp;
}

CWnd* AFXAPI AfxGetMainWnd() {
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->m_pMainWnd : nullptr;
}
