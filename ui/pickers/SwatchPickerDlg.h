// What the colour and line-type pickers share: the selected name and the one
// it replaced, the keys (Enter and Space confirm, Escape cancels wherever the
// focus is) and the red frame around the selected swatch. Each picker adds
// its swatches, its names and how a name maps to a swatch id.
#pragma once

#include <afxwin.h>

class SwatchPickerDlg : public CDialog {
public:
    // Makes `name` the selection when it differs (ignoring case) from the
    // current one: the current name becomes the previous one, `name` is kept
    // with its letter case, and the dialog repaints without erasing.
    void SelectName(const CString& name);

    CString m_strCurrent;   // the selected name
    CString m_strPrevious;  // the selection m_strCurrent last replaced

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // Swatch id of a name; any name gives some swatch.
    using NameToId = int (*)(const CString& name);

    SwatchPickerDlg(UINT nIDTemplate, CWnd* pParent, const CString& firstName, NameToId nameToId);
    ~SwatchPickerDlg() override;

    // A double-click: the swatch's name, then OK.
    void SelectAndConfirm(const CString& name);

    afx_msg void OnPaint();

    DECLARE_MESSAGE_MAP()

private:
    NameToId m_pfnNameToId;
};
