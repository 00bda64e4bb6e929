// Colour swatch that shows the palette colour named by m_strColor. The owner
// binds it to a static control of its dialog (DDX_Control), writes
// m_strColor and invalidates so that it repaints.
#pragma once

#include <afxwin.h>

class StaticMainColor : public CStatic {
public:
    StaticMainColor() = default;
    ~StaticMainColor() override;

    // Name of the colour shown; a name outside the palette shows white.
    CString m_strColor;

protected:
    afx_msg void OnPaint();

    DECLARE_MESSAGE_MAP()
};
