// The colour picker: 16 palette swatches in two rows of eight. A click
// selects, a double-click selects and confirms; Enter and Space confirm and
// Escape cancels wherever the focus is. The selection is framed in red.
#pragma once

#include <afxwin.h>

#include "res/PickerIds.h"
#include "ui/pickers/StaticBkColor.h"
#include "ui/pickers/SwatchPickerDlg.h"

// m_strCurrent is a colour name, "MAINCOLOR01" after construction.
class VkStColorDlg : public SwatchPickerDlg {
public:
    enum { IDD = IDD_COLOR_PICKER };

    explicit VkStColorDlg(CWnd* pParent = nullptr);
    ~VkStColorDlg() override;

    // Swatch id of a colour name (ignoring case); 17015 for any other name.
    static int ColorNameToId(const CString& name);

    StaticBkColor m_stSwatches[16];  // palette order

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnClickedColor01();
    afx_msg void OnClickedColor02();
    afx_msg void OnClickedColor03();
    afx_msg void OnClickedColor04();
    afx_msg void OnClickedColor05();
    afx_msg void OnClickedColor06();
    afx_msg void OnClickedColor07();
    afx_msg void OnClickedColor08();
    afx_msg void OnClickedColor09();
    afx_msg void OnClickedColor10();
    afx_msg void OnClickedColor11();
    afx_msg void OnClickedColor12();
    afx_msg void OnClickedColor13();
    afx_msg void OnClickedColor14();
    afx_msg void OnClickedColor15();
    afx_msg void OnClickedColor16();
    afx_msg void OnDblclkColor01();
    afx_msg void OnDblclkColor02();
    afx_msg void OnDblclkColor03();
    afx_msg void OnDblclkColor04();
    afx_msg void OnDblclkColor05();
    afx_msg void OnDblclkColor06();
    afx_msg void OnDblclkColor07();
    afx_msg void OnDblclkColor08();
    afx_msg void OnDblclkColor09();
    afx_msg void OnDblclkColor10();
    afx_msg void OnDblclkColor11();
    afx_msg void OnDblclkColor12();
    afx_msg void OnDblclkColor13();
    afx_msg void OnDblclkColor14();
    afx_msg void OnDblclkColor15();
    afx_msg void OnDblclkColor16();

    DECLARE_MESSAGE_MAP()
};
