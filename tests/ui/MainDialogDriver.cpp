#include "tests/ui/MainDialogDriver.h"

#include <algorithm>

namespace uitest {

namespace {

constexpr const wchar_t* kScratch = L"Software\\TarnexUiTestSandbox";
constexpr const wchar_t* kSettings = L"SOFTWARE\\Orlanwick\\VEK\\Tarnex";

DialogScript* g_running = nullptr;

BOOL CALLBACK CollectDialog(HWND window, LPARAM found) {
    wchar_t cls[16] = {};
    ::GetClassNameW(window, cls, 16);
    if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

std::vector<uint8_t> Pixels(HBITMAP bitmap, LONG& width, LONG& height) {
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof info, &info) == 0) {
        return {};
    }
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof request.bmiHeader;
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = -height;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bits(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), bits.data(),
                                 &request, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != height) {
        return {};
    }
    return bits;
}

}  // namespace

RegistrySandbox::RegistrySandbox() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &scratch_, nullptr);
    ::RegOverridePredefKey(HKEY_CURRENT_USER, scratch_);
}

RegistrySandbox::~RegistrySandbox() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegCloseKey(scratch_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
}

void RegistrySandbox::Set(const std::wstring& name, const std::wstring& text) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
}

std::optional<std::wstring> RegistrySandbox::Get(const std::wstring& name) const {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    const LONG result = ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer);
}

std::vector<std::wstring> RegistrySandbox::Names() const {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    ::RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
}

void RegistrySandbox::Clear() {
    for (const auto& name : Names()) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_ALL_ACCESS, &key) ==
            ERROR_SUCCESS) {
            ::RegDeleteValueW(key, name.c_str());
            ::RegCloseKey(key);
        }
    }
}

DialogScript& DialogScript::Then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

INT_PTR DialogScript::Run(const std::function<INT_PTR()>& modal, DWORD limitMs) {
    DialogScript* outer = g_running;
    g_running = this;
    started_ = ::GetTickCount();
    limit_ = limitMs;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 15, &DialogScript::Tick);
    const INT_PTR result = modal();
    ::KillTimer(nullptr, timer);
    g_running = outer;
    return result;
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogScript* script = g_running;
    HWND top = TopDialog();
    if (script == nullptr || top == nullptr) {
        return;
    }
    if (::GetTickCount() - script->started_ > script->limit_) {
        script->timedOut_ = true;
        ::PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (script->next_ < script->steps_.size()) {
        // Advance first: a step that opens a nested dialog lets the following
        // steps run from ticks inside that dialog's loop.
        const Step& step = script->steps_[script->next_++];
        step(top);
    }
}

HWND TopDialog() {
    // Enumeration runs top of the z-order first.
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ControlText(HWND dialog, int id) {
    return WindowText(::GetDlgItem(dialog, id));
}

void ClickButton(HWND dialog, int id) {
    ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void ClickStatic(HWND dialog, int id) {
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void ChooseComboItem(HWND dialog, int id, int index) {
    HWND combo = ::GetDlgItem(dialog, id);
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
}

void CloseBox(HWND dialog) {
    ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void PressKey(HWND dialog, WPARAM key) {
    HWND focus = ::GetFocus();
    ::PostMessageW(focus != nullptr ? focus : dialog, WM_KEYDOWN, key, 0);
}

int ComboSelection(HWND dialog, int id) {
    return static_cast<int>(::SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

bool IsChecked(HWND dialog, int id) {
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

HBITMAP StaticImage(HWND dialog, int id) {
    return reinterpret_cast<HBITMAP>(
        ::SendDlgItemMessageW(dialog, id, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

bool SameAsBitmapResource(HBITMAP shown, UINT id) {
    HBITMAP expected = ::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    LONG w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    const auto a = Pixels(shown, w1, h1);
    const auto b = Pixels(expected, w2, h2);
    ::DeleteObject(expected);
    return !a.empty() && w1 == w2 && h1 == h2 && a == b;
}

}  // namespace uitest
