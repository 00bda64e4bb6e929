#include "tests/ui/PickerDriver.h"

namespace pickertest {

namespace {

constexpr wchar_t kOwnerClass[] = L"TarnexPickerTestOwner";
constexpr UINT_PTR kWatchdog = 1;

void RegisterOwnerClass(WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
}

HWND g_paintTarget = nullptr;
int g_paints = 0;

LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_PAINT &&
        msg->hwnd == g_paintTarget) {
        ++g_paints;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

PickerRun::PickerRun() {
    RegisterOwnerClass(&OwnerProc);
    HWND hwnd = ::CreateWindowExW(0, kOwnerClass, L"owner", WS_OVERLAPPED | WS_CAPTION, 10, 10, 200,
                                  100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    owner_.Attach(hwnd);
}

PickerRun::~PickerRun() {
    HWND hwnd = owner_.Detach();
    ::DestroyWindow(hwnd);
}

PickerRun& PickerRun::Then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

INT_PTR PickerRun::Run(CDialog& dialog, UINT limitMs) {
    dialog_ = &dialog;
    ::SetTimer(owner_.m_hWnd, kWatchdog, limitMs, nullptr);
    const INT_PTR result = dialog.DoModal();
    ::KillTimer(owner_.m_hWnd, kWatchdog);
    dialog_ = nullptr;
    return result;
}

LRESULT CALLBACK PickerRun::OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<PickerRun*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (run != nullptr && message == WM_ENTERIDLE && run->dialog_ != nullptr) {
        HWND dialog = reinterpret_cast<HWND>(lParam);
        if (run->next_ == 0) {
            run->ownerWasDisabled_ = !::IsWindowEnabled(hwnd);
        }
        if (run->next_ < run->steps_.size()) {
            run->steps_[run->next_++](dialog);
            // Keeps the loop turning to the next idle even if the step
            // posted nothing.
            ::PostMessageW(dialog, WM_NULL, 0, 0);
        }
        return 0;
    }
    if (run != nullptr && message == WM_TIMER && wParam == kWatchdog && run->dialog_ != nullptr) {
        run->timedOut_ = true;
        ::KillTimer(hwnd, kWatchdog);
        run->dialog_->EndDialog(-2);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void Click(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

void DoubleClick(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    ::PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(4, 4));
    ::PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

void PressButton(HWND dialog, int buttonId) {
    ::PostMessageW(::GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

void PostKey(HWND target, WPARAM virtualKey) {
    const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(virtualKey), 0 /* MAPVK_VK_TO_VSC */);
    ::PostMessageW(target, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1 | (scan << 16)));
    ::PostMessageW(target, WM_KEYUP, virtualKey,
                   static_cast<LPARAM>(1 | (scan << 16) | (3U << 30)));
}

void Focus(HWND dialog, int controlId) {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, controlId)),
                   TRUE);
}

PaintCounter::PaintCounter(HWND window) {
    g_paintTarget = window;
    g_paints = 0;
    hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, &CountPaints, nullptr, ::GetCurrentThreadId());
}

PaintCounter::~PaintCounter() {
    ::UnhookWindowsHookEx(hook_);
    g_paintTarget = nullptr;
}

int PaintCounter::Count() const {
    return g_paints;
}

COLORREF PixelAt(HWND window, int x, int y) {
    HDC dc = ::GetDC(window);
    const COLORREF color = ::GetPixel(dc, x, y);
    ::ReleaseDC(window, dc);
    return color;
}

RECT ControlRect(HWND dialog, int controlId) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, controlId), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace pickertest
