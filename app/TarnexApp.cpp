#include "TarnexApp.h"

BEGIN_MESSAGE_MAP(CTarnexApp, CWinApp)
END_MESSAGE_MAP()

CTarnexApp::CTarnexApp() : CWinApp(nullptr) {}

CTarnexApp::~CTarnexApp() = default;

BOOL CTarnexApp::InitInstance() {
    CWinApp::InitInstance();
    return TRUE;
}

// Constructed after the library's module state and SettingsSubkey, which
// carry earlier initialisation priorities in their own files: the
// constructor registers the object with the module state.
CTarnexApp theApp;
