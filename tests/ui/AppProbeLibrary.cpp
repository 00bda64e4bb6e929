// A library built like the plug-in: an application object, the picker
// resources, and entry points that open a picker with or without switching
// to the library's module state. Loaded by ModuleStateTest.
#include <afxwin.h>

#include "ui/pickers/VkStColorDlg.h"

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

int CreatePicker() {
    VkStColorDlg picker(nullptr);
    return picker.Create(IDD_COLOR_PICKER) ? 1 : 0;
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

extern "C" __declspec(dllexport) int ProbeCreatePicker(int manageState) {
    if (manageState != 0) {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        return CreatePicker();
    }
    return CreatePicker();
}
