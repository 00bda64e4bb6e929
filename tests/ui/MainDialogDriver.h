// Plays the user through real modal dialogs under Wine and keeps each test's
// registry apart. Headless: dialogs are driven by messages, not by input.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace uitest {

// Redirects HKEY_CURRENT_USER to a fresh scratch key for the lifetime of the
// object, so each test starts from an empty registry and leaves nothing.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The settings key of the command, read and written directly.
    void Set(const std::wstring& name, const std::wstring& text);
    std::optional<std::wstring> Get(const std::wstring& name) const;
    // Names of the values present under the settings key, sorted.
    std::vector<std::wstring> Names() const;
    // Removes every value, so that what is written afterwards stands out.
    void Clear();

private:
    HKEY scratch_ = nullptr;
};

// Steps run one per timer tick against the enabled, visible dialog on top
// (a picker while one is open, otherwise the main dialog). A step that opens a
// nested modal dialog returns when that one ends; the following steps run
// inside the nested loop meanwhile. A watchdog cancels every dialog still
// open after the time limit.
class DialogScript {
public:
    using Step = std::function<void(HWND top)>;

    DialogScript& Then(Step step);
    // Runs `modal` (which must run a modal loop) with the script active and
    // returns its result.
    INT_PTR Run(const std::function<INT_PTR()>& modal, DWORD limitMs = 10000);
    bool TimedOut() const { return timedOut_; }
    bool Finished() const { return next_ == steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);

    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD started_ = 0;
    DWORD limit_ = 0;
    bool timedOut_ = false;
};

// The enabled, visible dialog of this thread on top, or null.
HWND TopDialog();
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);

// Notifications as the controls send them.
void ClickButton(HWND dialog, int id);                 // real click: automatic buttons tick first
void ClickStatic(HWND dialog, int id);                 // STN_CLICKED from a notifying static
void ChooseComboItem(HWND dialog, int id, int index);  // selection, then CBN_SELCHANGE
void CloseBox(HWND dialog);                            // the caption's close box
void PressKey(HWND dialog, WPARAM key);                // posted to the focused control

int ComboSelection(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);

// True when `shown` has the same size and pixels as bitmap resource `id` of
// this program.
bool SameAsBitmapResource(HBITMAP shown, UINT id);
HBITMAP StaticImage(HWND dialog, int id);

}  // namespace uitest
