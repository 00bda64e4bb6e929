// The entry of a library that links the layer: records the module and runs
// the application object's InitInstance and ExitInstance, as a regular
// framework library does. Kept in its own file so that only libraries, whose
// start-up code asks for DllMain, take it from the archive.
#include <afxwin.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID /*reserved*/) {
    AFX_MODULE_STATE* state = AfxGetStaticModuleState();
    if (reason == DLL_PROCESS_ATTACH) {
        state->m_hCurrentInstanceHandle = hInstance;
        state->m_hCurrentResourceHandle = hInstance;
        CWinApp* app = state->m_pCurrentWinApp;
        if (app != nullptr) {
            AFX_MANAGE_STATE(state);
            app->m_hInstance = hInstance;
            if (!app->InitInstance()) {
                app->ExitInstance();
                return FALSE;  // the load fails
            }
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        CWinApp* app = state->m_pCurrentWinApp;
        if (app != nullptr) {
            AFX_MANAGE_STATE(state);
            app->ExitInstance();
        }
        AfxTermThreadMaps();
    }
    return TRUE;
}
