// The main settings dialog: decimal places, unit conversion, exploding, and
// the line colour and line type given to converted figures. It reads the six
// settings from the registry when it opens and writes most changes at once,
// so a change persists even if the dialog is then closed without OK.
#pragma once

#include <afxwin.h>

#include "res/MainDialogIds.h"
#include "ui/pickers/StaticMainColor.h"

class TarnexDlg : public CDialog {
    DECLARE_DYNAMIC(TarnexDlg)

public:
    enum { IDD = IDD_TARNEX_DIALOG };

    explicit TarnexDlg(CWnd* pParent = nullptr);
    ~TarnexDlg() override;

    // Reads the six values into members and controls; a value that cannot be
    // read takes its default, which is written back at once. Always true.
    bool LoadFromRegistry();
    // Writes the six values from the members only (the window may be gone).
    // Always true: write failures are ignored.
    bool SaveToRegistry();
    // Shows the named line type's picture in the line-type swatch; a name
    // outside the table shows the first picture.
    void ShowLineTypeImage(CString name);

    CString m_strSubkey;
    CComboBox m_cbDecimalPlaces;
    int m_nDPoint;
    int m_nInchMm;
    int m_bExploded;
    int m_nColor;
    // Holds the current colour name (m_strColor); the dialog keeps no copy.
    StaticMainColor m_stMainColor;
    CString m_strLType;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnSelchangeDecimalPlaces();
    afx_msg void OnUnitMmToMm();
    afx_msg void OnUnitInchToMm();
    afx_msg void OnUnitMmToInch();
    afx_msg void OnExplodedClicked();
    afx_msg void OnColorKeep();
    afx_msg void OnColorChange();
    afx_msg void OnMainColorClicked();
    afx_msg void OnLineTypeClicked();
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()
};
