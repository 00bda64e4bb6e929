// The line-type picker: the ten line-type pictures, selected, confirmed and
// framed in red as every SwatchPickerDlg (click, double-click, Enter, Space,
// Escape).
#pragma once

#include <afxwin.h>

#include "res/PickerIds.h"
#include "ui/pickers/SwatchPickerDlg.h"

// m_strCurrent is a line-type name, "LINETYPE01" after construction.
class VkStLTypeDlg : public SwatchPickerDlg {
public:
    enum { IDD = IDD_LINETYPE_PICKER };

    explicit VkStLTypeDlg(CWnd* pParent = nullptr);
    ~VkStLTypeDlg() override;

    // Swatch id of a line-type name (ignoring case); 17016 for any other name.
    static int LineTypeNameToId(const CString& name);

    // Sets the ten pictures into the swatches.
    BOOL OnInitDialog() override;

protected:
    afx_msg void OnClickedLineType01();
    afx_msg void OnClickedLineType02();
    afx_msg void OnClickedLineType03();
    afx_msg void OnClickedLineType04();
    afx_msg void OnClickedLineType05();
    afx_msg void OnClickedLineType06();
    afx_msg void OnClickedLineType07();
    afx_msg void OnClickedLineType08();
    afx_msg void OnClickedLineType09();
    afx_msg void OnClickedLineType10();
    afx_msg void OnDblclkLineType01();
    afx_msg void OnDblclkLineType02();
    afx_msg void OnDblclkLineType03();
    afx_msg void OnDblclkLineType04();
    afx_msg void OnDblclkLineType05();
    afx_msg void OnDblclkLineType06();
    afx_msg void OnDblclkLineType07();
    afx_msg void OnDblclkLineType08();
    afx_msg void OnDblclkLineType09();
    afx_msg void OnDblclkLineType10();

    DECLARE_MESSAGE_MAP()

private:
    // The pictures set into the swatches; the controls do not release them,
    // so the dialog does when it is destroyed.
    HBITMAP m_hPictures[10] = {};
};
