// Opens one picker for a while, for pictures of it:
//   tarnex_picker_show color [name] [seconds]
//   tarnex_picker_show linetype [name] [seconds]
// The name is pre-selected as the settings dialog does (default: the
// settings' defaults, MAINCOLOR02 and LINETYPE07).
#include <afxwin.h>

#include <cwchar>
#include <cwctype>

#include "ui/pickers/VkStColorDlg.h"
#include "ui/pickers/VkStLTypeDlg.h"

namespace {

CDialog* g_dialog = nullptr;

void CALLBACK TimeUp(HWND, UINT, UINT_PTR, DWORD) {
    if (g_dialog != nullptr) {
        g_dialog->EndDialog(IDCANCEL);
    }
}

template <class Picker>
int Show(const wchar_t* name, UINT seconds) {
    Picker picker(nullptr);
    if (picker.m_strCurrent.CompareNoCase(name) != 0) {
        picker.m_strPrevious = picker.m_strCurrent;
        picker.m_strCurrent = name;
    }
    g_dialog = &picker;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, seconds * 1000, &TimeUp);
    const INT_PTR result = picker.DoModal();
    ::KillTimer(nullptr, timer);
    g_dialog = nullptr;
    return result == -1 ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool color = argc < 2 || std::wcscmp(argv[1], L"linetype") != 0;
    const wchar_t* name = argc >= 3 ? argv[2] : (color ? L"MAINCOLOR02" : L"LINETYPE07");
    const UINT seconds = argc >= 4 ? static_cast<UINT>(_wtoi(argv[3])) : 20;
    return color ? Show<VkStColorDlg>(name, seconds) : Show<VkStLTypeDlg>(name, seconds);
}
