#include "app/TarnexApp.h"

BEGIN_MESSAGE_MAP(CTarnexApp, CWinApp)
END_MESSAGE_MAP()

CTarnexApp::CTarnexApp() : CWinApp(nullptr) {}

CTarnexApp::~CTarnexApp() = default;

BOOL CTarnexApp::InitInstance() {
    CWinApp::InitInstance();
    return TRUE;
}

// Load order. SettingsSubkey is constant-initialised: its text is in place
// before any constructor of the library runs. The module state is made next,
// here, ahead of every other constructor (lowest user priority) rather than
// on whichever call first needs it. The application object keeps the default
// priority, so it comes after both whatever the link order, and registers
// itself with the module state as it is constructed. It is destroyed first;
// the module state needs no destruction.
namespace {

struct ModuleStateFirst {
    ModuleStateFirst() { AfxGetStaticModuleState(); }
};

__attribute__((init_priority(101))) ModuleStateFirst moduleStateFirst;

}  // namespace

CTarnexApp theApp;
