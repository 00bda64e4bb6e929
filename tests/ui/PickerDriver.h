// Drives the picker dialogs through their real modal loops, headless: the
// owner window runs one script step each time the dialog's loop goes idle
// (WM_ENTERIDLE), so every step sees the effects of the previous one.
#pragma once

#include <afxwin.h>

#include <functional>
#include <vector>

namespace pickertest {

class PickerRun {
public:
    using Step = std::function<void(HWND dialog)>;

    PickerRun();
    ~PickerRun();
    PickerRun(const PickerRun&) = delete;
    PickerRun& operator=(const PickerRun&) = delete;

    // The owner to construct the dialog with.
    CWnd* Owner() { return &owner_; }

    PickerRun& Then(Step step);
    // Runs dialog.DoModal() with the steps; a watchdog ends the dialog with -2
    // after `limitMs`.
    INT_PTR Run(CDialog& dialog, UINT limitMs = 5000);

    bool TimedOut() const { return timedOut_; }
    bool Finished() const { return next_ == steps_.size(); }
    // True while the dialog ran: the owner was disabled at the first step.
    bool OwnerWasDisabled() const { return ownerWasDisabled_; }

private:
    static LRESULT CALLBACK OwnerProc(HWND, UINT, WPARAM, LPARAM);

    CWnd owner_;
    CDialog* dialog_ = nullptr;
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool timedOut_ = false;
    bool ownerWasDisabled_ = false;
};

// Input as the controls receive it, posted through the modal loop.
void Click(HWND dialog, int controlId);
void DoubleClick(HWND dialog, int controlId);
void PressButton(HWND dialog, int buttonId);
void PostKey(HWND target, WPARAM virtualKey);
// Moves the focus as Tab would.
void Focus(HWND dialog, int controlId);

// Counts WM_PAINT messages taken from the queue for one window.
class PaintCounter {
public:
    explicit PaintCounter(HWND window);
    ~PaintCounter();
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    int Count() const;

private:
    HHOOK hook_ = nullptr;
};

// Colour of a client pixel of a shown window.
COLORREF PixelAt(HWND window, int x, int y);
// Rectangle of a control in its dialog's client coordinates (window rect).
RECT ControlRect(HWND dialog, int controlId);

}  // namespace pickertest
