#include "app/SettingsDialogInvocation.h"

#ifdef _WIN32

#include <afxwin.h>

#include "settings/Settings.h"
#include "ui/TarnexDlg.h"

int32_t RunSettingsDialog() {
    // Templates 23000, 17079, 17080 and the line-type bitmaps live in this
    // library, not in the host: make its module the resource source until
    // the dialog is gone.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    TarnexDlg dlg(nullptr);
    if (dlg.DoModal() == IDOK) {
        // The window is gone; SaveToRegistry uses the members only.
        dlg.SaveToRegistry();
        LoadSettings();
    }
    return 0;
}

#else

// Without a windowing platform the dialog cannot be created, which ends it
// as any failed opening does: nothing written, nothing reloaded.
int32_t RunSettingsDialog() {
    return 0;
}

#endif
