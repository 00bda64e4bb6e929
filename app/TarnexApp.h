// The application object the framework requires of a library that shows its
// own dialogs. It does nothing of its own beyond the framework's start-up.
#pragma once

#include <afxwin.h>

class CTarnexApp : public CWinApp {
public:
    CTarnexApp();
    ~CTarnexApp() override;

    // Base start-up only; settings are loaded at each command start, never
    // here, and no host function is called.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CTarnexApp theApp;
