// Colour swatch of the colour picker: shows the palette colour that belongs
// to its own control id (17015 and 17032 to 17046); any other id is black.
#pragma once

#include <afxwin.h>

class StaticBkColor : public CStatic {
public:
    StaticBkColor() = default;
    ~StaticBkColor() override;

protected:
    afx_msg void OnPaint();

    DECLARE_MESSAGE_MAP()
};
