// The line-type picker: the ten line-type pictures, selected and confirmed
// as in the colour picker (click, double-click, Enter, Space, Escape), with
// the selection framed in red.
#pragma once

#include <afxwin.h>

#include "res/PickerIds.h"

class VkStLTypeDlg : public CDialog {
public:
    enum { IDD = IDD_LINETYPE_PICKER };

    explicit VkStLTypeDlg(CWnd* pParent = nullptr);
    ~VkStLTypeDlg() override;

    // As VkStColorDlg::SelectName.
    void SelectName(const CString& name);
    // Swatch id of a line-type name (ignoring case); 17016 for any other name.
    static int LineTypeNameToId(const CString& name);

    CString m_strCurrent;   // the selected line-type name
    CString m_strPrevious;  // the selection m_strCurrent last replaced

    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Sets the ten pictures into the swatches.
    BOOL OnInitDialog() override;

protected:
    afx_msg void OnPaint();
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
