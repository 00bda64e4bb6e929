// A library built like the plug-in: an application object, the picker
// resources, and entry points that load resources through the framework with
// or without switching to the library's module state. Loaded by
// ModuleStateTest.
#include <afxwin.h>

namespace {

bool g_initSawOwnResources = false;

class ProbeApp : public CWinApp {
public:
    ProbeApp() : CWinApp(L"AppProbe") {}

    BOOL InitInstance() override {
        CWinApp::InitInstance();
        g_initSawOwnResources = AfxGetResourceHandle() == m_hInstance && AfxGetApp() == this;
        wchar_t value[8];
        // The test asks for a failed start through the environment.
        return ::GetEnvironmentVariableW(L"TARNEX_PROBE_FAIL", value, 8) == 0;
    }

    int ExitInstance() override {
        // Seen by the test after the library is gone.
        ::SetEnvironmentVariableW(L"TARNEX_PROBE_EXITED", L"1");
        return CWinApp::ExitInstance();
    }
};

ProbeApp theApp;

// kind 0: a dialog from template `id`; kind 1: bitmap `id`.
int Loads(int kind, UINT id) {
    if (kind == 0) {
        CDialog dialog;
        return dialog.Create(id) ? 1 : 0;
    }
    CBitmap picture;
    return picture.LoadBitmap(id) ? 1 : 0;
}

}  // namespace

extern "C" __declspec(dllexport) int ProbeInitSawOwnResources() {
    return g_initSawOwnResources ? 1 : 0;
}

extern "C" __declspec(dllexport) HINSTANCE ProbeResourceHandle(int manageState) {
    if (manageState != 0) {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        return AfxGetResourceHandle();
    }
    return AfxGetResourceHandle();
}

// 1 when the resource loads (see Loads).
extern "C" __declspec(dllexport) int ProbeLoads(int manageState, int kind, int id) {
    if (manageState != 0) {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        return Loads(kind, static_cast<UINT>(id));
    }
    return Loads(kind, static_cast<UINT>(id));
}
