// The framework layer's own behaviour as the dialogs rely on it: strings,
// radio groups, message-map chaining, the modal loop's pre-translation,
// run-time classes, module state and resource lookup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/ui/LayerTestIds.h"
#include "tests/ui/PickerDriver.h"

namespace {

using pickertest::PickerRun;

// ---------------------------------------------------------------- CString

TEST(CStringTest, FormatsWithTheSystemsRules) {
    const struct {
        CString got;
        const wchar_t* want;
    } cases[] = {
        {[] {
             CString s;
             s.Format(L"%d", -42);
             return s;
         }(),
         L"-42"},
        {[] {
             CString s;
             s.Format(L"%s=%d", L"d_point", 3);
             return s;
         }(),
         L"d_point=3"},
        {[] {
             CString s;
             s.Format(L"총 %d개", 12);
             return s;
         }(),
         L"총 12개"},
        {[] {
             CString s = L"a";
             s.AppendFormat(L"%02d", 7);
             return s;
         }(),
         L"a07"},
        {[] {
             CString s;
             s.Format(L"%s", L"");
             return s;
         }(),
         L""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.got, c.want);
    }
}

TEST(CStringTest, ComparesIgnoringCaseOnlyWhenAsked) {
    const CString name = L"MainColor05";
    EXPECT_EQ(name.CompareNoCase(L"MAINCOLOR05"), 0);
    EXPECT_EQ(name.CompareNoCase(L"maincolor05"), 0);
    EXPECT_NE(name.CompareNoCase(L"MAINCOLOR5"), 0);
    EXPECT_NE(name.CompareNoCase(L""), 0);
    EXPECT_NE(name.Compare(L"MAINCOLOR05"), 0);
    EXPECT_TRUE(name == L"MainColor05");
    EXPECT_TRUE(L"MainColor05" == name);
    EXPECT_FALSE(name == CString(L"MAINCOLOR05"));
    EXPECT_EQ(CString().CompareNoCase(L""), 0);
}

TEST(CStringTest, PartsAndSearchesStayInsideTheText) {
    const CString s = L"LINETYPE07";
    EXPECT_STREQ(s.Left(4), L"LINE");
    EXPECT_STREQ(s.Left(99), L"LINETYPE07");
    EXPECT_STREQ(s.Left(-1), L"");
    EXPECT_STREQ(s.Right(2), L"07");
    EXPECT_STREQ(s.Right(99), L"LINETYPE07");
    EXPECT_STREQ(s.Mid(8), L"07");
    EXPECT_STREQ(s.Mid(4, 4), L"TYPE");
    EXPECT_STREQ(s.Mid(20), L"");
    EXPECT_EQ(s.Find(L'E'), 3);
    EXPECT_EQ(s.Find(L'E', 4), 7);
    EXPECT_EQ(s.Find(L"07"), 8);
    EXPECT_EQ(s.Find(L"08"), -1);
    EXPECT_EQ(s.Find(L'E', 50), -1);
    CString t = L"a-b-c";
    EXPECT_EQ(t.Replace(L"-", L"--"), 2);
    EXPECT_STREQ(t, L"a--b--c");
    CString u = L"  x y  ";
    EXPECT_STREQ(u.Trim(), L"x y");
}

TEST(CStringTest, BufferWritesAreTakenUpToTheTerminator) {
    CString s = L"old";
    wchar_t* buffer = s.GetBuffer(16);
    wcscpy(buffer, L"MAINCOLOR02");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 11);
    EXPECT_STREQ(s, L"MAINCOLOR02");
    s.GetBuffer(0)[0] = L'm';
    s.ReleaseBuffer(4);
    EXPECT_STREQ(s, L"mAIN");
}

// ------------------------------------------------------------ radio groups

class RadioGroupsDlg : public CDialog {
public:
    RadioGroupsDlg() = default;
    int m_nUnit = 0;
    int m_nColor = 0;
    int m_nLone = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Radio(pDX, IDC_UNIT_A, m_nUnit);
        DDX_Radio(pDX, IDC_COLOR_A, m_nColor);
        DDX_Radio(pDX, IDC_LONE, m_nLone);
    }
};

std::vector<UINT> Checks(const CWnd& dlg) {
    std::vector<UINT> checks;
    for (int id : {IDC_UNIT_A, IDC_UNIT_B, IDC_UNIT_C, IDC_COLOR_A, IDC_COLOR_B, IDC_LONE}) {
        checks.push_back(dlg.IsDlgButtonChecked(id));
    }
    return checks;
}

TEST(DdxRadio, TowardsTheControlsChecksThePositionWithinTheGroupOnly) {
    RadioGroupsDlg dlg;
    dlg.m_nUnit = 1;
    dlg.m_nColor = 0;
    dlg.m_nLone = -1;
    ASSERT_TRUE(dlg.Create(IDD_RADIO_GROUPS));
    EXPECT_EQ(Checks(dlg), (std::vector<UINT>{0, 1, 0, 1, 0, 0}));

    // A position past the group's three radios checks none of them; the
    // controls after the group (up to the next group start) do not count.
    dlg.m_nUnit = 3;
    dlg.m_nColor = 1;
    EXPECT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(Checks(dlg), (std::vector<UINT>{0, 0, 0, 0, 1, 0}));
}

TEST(DdxRadio, FromTheControlsGivesThePositionOrMinusOne) {
    RadioGroupsDlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_RADIO_GROUPS));
    dlg.CheckRadioButton(IDC_UNIT_A, IDC_UNIT_C, IDC_UNIT_C);
    dlg.CheckRadioButton(IDC_COLOR_A, IDC_COLOR_B, IDC_COLOR_B);
    dlg.CheckDlgButton(IDC_LONE, BST_UNCHECKED);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_nUnit, 2);
    EXPECT_EQ(dlg.m_nColor, 1);
    EXPECT_EQ(dlg.m_nLone, -1);

    dlg.CheckDlgButton(IDC_UNIT_C, BST_UNCHECKED);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_nUnit, -1);
}

// ------------------------------------------------------------ message maps

class CommandBase : public CDialog {
public:
    CommandBase() : CDialog(IDD_COMMANDS) {}
    std::vector<const char*> calls;

protected:
    void OnOK() override { calls.push_back("OnOK"); }
    afx_msg void OnBase() { calls.push_back("base"); }
    afx_msg void OnSharedInBase() { calls.push_back("shared in base"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CommandBase, CDialog)
ON_BN_CLICKED(IDC_BASE_COMMAND, &CommandBase::OnBase)
ON_BN_CLICKED(IDC_SHARED_COMMAND, &CommandBase::OnSharedInBase)
END_MESSAGE_MAP()

class CommandDerived : public CommandBase {
public:
    CommandDerived() = default;
    int paints = 0;

protected:
    afx_msg void OnDerived() { calls.push_back("derived"); }
    afx_msg void OnSharedInDerived() { calls.push_back("shared in derived"); }
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        ++paints;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CommandDerived, CommandBase)
ON_BN_CLICKED(IDC_DERIVED_COMMAND, &CommandDerived::OnDerived)
ON_BN_CLICKED(IDC_SHARED_COMMAND, &CommandDerived::OnSharedInDerived)
ON_WM_PAINT()
END_MESSAGE_MAP()

TEST(MessageMaps, DerivedEntriesComeFirstAndBaseMapsAreChained) {
    CommandDerived dlg;
    ASSERT_TRUE(dlg.Create(IDD_COMMANDS));
    auto click = [&dlg](int id) { ::SendMessageW(dlg.GetDlgItem(id)->m_hWnd, BM_CLICK, 0, 0); };
    click(IDC_DERIVED_COMMAND);
    click(IDC_BASE_COMMAND);
    click(IDC_SHARED_COMMAND);
    click(IDOK);  // CDialog's entry, calling the virtual override
    // A notification code without an entry is not handled.
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BASE_COMMAND, BN_DOUBLECLICKED),
                    reinterpret_cast<LPARAM>(dlg.GetDlgItem(IDC_BASE_COMMAND)->m_hWnd));
    EXPECT_EQ(dlg.calls,
              (std::vector<const char*>{"derived", "base", "shared in derived", "OnOK"}));

    dlg.ShowWindow(SW_SHOW);
    dlg.Invalidate(FALSE);
    dlg.UpdateWindow();
    EXPECT_GE(dlg.paints, 1);
}

// ------------------------------------------------ the modal loop's order

class KeyWatcher : public CDialog {
public:
    KeyWatcher(CWnd* parent) : CDialog(IDD_COMMANDS, parent) {}
    std::vector<std::pair<HWND, WPARAM>> keys;
    WPARAM passUp = 0;  // a key left to the windows above, not the dialog manager

    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN) {
            keys.emplace_back(pMsg->hwnd, pMsg->wParam);
            if (pMsg->wParam == VK_RETURN) {
                return TRUE;  // swallowed before the dialog manager sees it
            }
            if (pMsg->wParam == passUp) {
                return FALSE;
            }
        }
        return CDialog::PreTranslateMessage(pMsg);
    }
};

// A dialog between the run's owner and a modal one: watches keys like the
// modal one and passes the modal loop's idle notices on to the run's owner,
// which runs the steps.
class MiddleOwner : public KeyWatcher {
public:
    using KeyWatcher::KeyWatcher;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_ENTERIDLE) {
            return ::SendMessageW(::GetParent(m_hWnd), message, wParam, lParam);
        }
        return KeyWatcher::WindowProc(message, wParam, lParam);
    }
};

TEST(ModalLoop, PreTranslateSeesChildKeysBeforeTheDialogManager) {
    PickerRun run;
    KeyWatcher dlg(run.Owner());
    HWND button = nullptr;
    run.Then([&](HWND d) {
           button = ::GetDlgItem(d, IDC_DERIVED_COMMAND);
           pickertest::PostKey(button, VK_RETURN);
       })
        .Then([&](HWND d) {
            EXPECT_TRUE(::IsWindow(d));  // Enter was swallowed: still open
            pickertest::PostKey(button, VK_ESCAPE);
        });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
    EXPECT_FALSE(run.TimedOut());
    ASSERT_EQ(dlg.keys.size(), 2U);
    EXPECT_EQ(dlg.keys[0].first, button);
    EXPECT_EQ(dlg.keys[0].second, static_cast<WPARAM>(VK_RETURN));
    EXPECT_EQ(dlg.keys[1].second, static_cast<WPARAM>(VK_ESCAPE));
}

// The walk ends at the modal dialog: the window that owns it never sees its
// messages, even those the dialog lets through.
TEST(ModalLoop, PreTranslateStopsAtTheModalDialog) {
    PickerRun run;
    MiddleOwner middle(run.Owner());
    ASSERT_TRUE(middle.Create(IDD_COMMANDS, run.Owner()));
    KeyWatcher dlg(&middle);
    dlg.passUp = VK_F2;
    run.Then([&](HWND d) { pickertest::PostKey(::GetDlgItem(d, IDC_DERIVED_COMMAND), VK_F2); })
        .Then(
            [&](HWND d) { pickertest::PostKey(::GetDlgItem(d, IDC_DERIVED_COMMAND), VK_ESCAPE); });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
    EXPECT_FALSE(run.TimedOut());
    ASSERT_EQ(dlg.keys.size(), 2U);
    EXPECT_EQ(dlg.keys[0].second, static_cast<WPARAM>(VK_F2));
    EXPECT_TRUE(middle.keys.empty());
}

class MissingControlDlg : public CDialog {
public:
    explicit MissingControlDlg(CWnd* parent) : CDialog(IDD_COMMANDS, parent) {}
    CStatic m_missing;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 4242, m_missing); }
};

TEST(ModalLoop, FailedExchangeOrMissingTemplateEndsWithMinusOneAndFreesTheOwner) {
    {
        PickerRun run;
        MissingControlDlg dlg(run.Owner());
        EXPECT_EQ(run.Run(dlg), -1);
        EXPECT_TRUE(::IsWindowEnabled(run.Owner()->m_hWnd));
        EXPECT_EQ(dlg.m_hWnd, nullptr);
    }
    {
        PickerRun run;
        CDialog dlg(IDD_MISSING, run.Owner());
        EXPECT_EQ(run.Run(dlg), -1);
        EXPECT_TRUE(::IsWindowEnabled(run.Owner()->m_hWnd));
    }
}

TEST(ModalLoop, TemporaryWrappersLastWhileTheDialogRuns) {
    PickerRun run;
    CDialog dlg(IDD_COMMANDS, run.Owner());
    CWnd* first = nullptr;
    CWnd* again = nullptr;
    run.Then([&](HWND) { first = dlg.GetDlgItem(IDC_BASE_COMMAND); }).Then([&](HWND d) {
        again = dlg.GetDlgItem(IDC_BASE_COMMAND);
        EXPECT_EQ(first->m_hWnd, ::GetDlgItem(d, IDC_BASE_COMMAND));
        EXPECT_EQ(CWnd::FromHandlePermanent(first->m_hWnd), nullptr);
        pickertest::PostKey(::GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(run.Run(dlg), IDCANCEL);
    EXPECT_EQ(first, again);
}

// ---------------------------------------------------- opening position

// Moves itself in OnInitDialog when given a place.
class PlacedDlg : public CDialog {
public:
    PlacedDlg(UINT id, CWnd* owner, const POINT* place) : CDialog(id, owner), place_(place) {}

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (place_ != nullptr) {
            ::SetWindowPos(m_hWnd, nullptr, place_->x, place_->y, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return TRUE;
    }

private:
    const POINT* place_;
};

constexpr int kCentreSlackPx = 1;  // absolute: halving an odd size rounds

::testing::AssertionResult SameCentre(const RECT& a, const RECT& b) {
    const int dx = (a.left + a.right) - (b.left + b.right);
    const int dy = (a.top + a.bottom) - (b.top + b.bottom);
    if (std::abs(dx) <= 2 * kCentreSlackPx && std::abs(dy) <= 2 * kCentreSlackPx) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "centres differ by (" << dx / 2.0 << ", " << dy / 2.0 << ") px";
}

// Where a modal dialog opens, for an owner placed relative to the work area
// (fractions of its size) and shown or hidden.
TEST(ModalLoop, DialogsWithoutAPlaceOpenCentredOverTheirOwner) {
    enum class Want { OverOwner, OnWorkArea, InWorkAreaCorner, WherePlaced };
    const struct {
        const char* label;
        UINT templateId;
        double ownerLeft, ownerTop, ownerRight, ownerBottom;
        bool ownerShown;
        bool placedInInit;
        Want want;
    } cases[] = {
        {"shown owner", IDD_COMMANDS, 0.1, 0.1, 0.6, 0.7, true, false, Want::OverOwner},
        {"hidden owner", IDD_COMMANDS, 0.1, 0.1, 0.6, 0.7, false, false, Want::OnWorkArea},
        {"owner over the corner", IDD_COMMANDS, 0.9, 0.9, 1.2, 1.2, true, false,
         Want::InWorkAreaCorner},
        {"moved in OnInitDialog", IDD_COMMANDS, 0.1, 0.1, 0.6, 0.7, true, true, Want::WherePlaced},
        {"template centred by the system", IDD_SYSTEM_CENTRED, 0.1, 0.1, 0.6, 0.7, true, false,
         Want::OnWorkArea},
    };
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const int w = work.right - work.left;
    const int h = work.bottom - work.top;
    const POINT place{work.left + 37, work.top + 41};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        PickerRun run;
        HWND owner = run.Owner()->m_hWnd;
        const RECT ownerRect{work.left + static_cast<int>(c.ownerLeft * w),
                             work.top + static_cast<int>(c.ownerTop * h),
                             work.left + static_cast<int>(c.ownerRight * w),
                             work.top + static_cast<int>(c.ownerBottom * h)};
        ::MoveWindow(owner, ownerRect.left, ownerRect.top, ownerRect.right - ownerRect.left,
                     ownerRect.bottom - ownerRect.top, FALSE);
        if (c.ownerShown) {
            ::ShowWindow(owner, SW_SHOWNOACTIVATE);
        }
        PlacedDlg dlg(c.templateId, run.Owner(), c.placedInInit ? &place : nullptr);
        RECT got{};
        run.Then([&](HWND d) {
            ::GetWindowRect(d, &got);
            ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(run.Run(dlg), IDCANCEL);
        EXPECT_FALSE(run.TimedOut());
        switch (c.want) {
            case Want::OverOwner:
                EXPECT_TRUE(SameCentre(got, ownerRect));
                break;
            case Want::OnWorkArea:
                EXPECT_TRUE(SameCentre(got, work));
                break;
            case Want::InWorkAreaCorner:
                EXPECT_EQ(got.right, work.right);
                EXPECT_EQ(got.bottom, work.bottom);
                break;
            case Want::WherePlaced:
                EXPECT_EQ(got.left, place.x);
                EXPECT_EQ(got.top, place.y);
                break;
        }
    }
}

// ---------------------------------------------------------- combo boxes

TEST(ComboBox, SortedListAndSelectionOutsideTheList) {
    CDialog dlg(IDD_COMMANDS);
    ASSERT_TRUE(dlg.Create(IDD_COMMANDS));
    CComboBox combo;
    ASSERT_TRUE(combo.SubclassWindow(dlg.GetDlgItem(IDC_SORTED_COMBO)->m_hWnd));
    for (const wchar_t* item : {L"3", L"1", L"5", L"2", L"4"}) {
        combo.AddString(item);
    }
    EXPECT_EQ(combo.GetCount(), 5);
    CString text;
    combo.GetLBText(0, text);
    EXPECT_STREQ(text, L"1");
    EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    combo.SetCurSel(3);
    EXPECT_EQ(combo.GetCurSel(), 3);
    EXPECT_EQ(combo.SetCurSel(8), CB_ERR);  // outside the list: no selection
    EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    combo.SetCurSel(1);
    EXPECT_EQ(combo.SetCurSel(-1), CB_ERR);
    EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    combo.ResetContent();
    EXPECT_EQ(combo.GetCount(), 0);
}

// ------------------------------------------------------ run-time classes

TEST(RuntimeClass, KindsFollowTheClassChain) {
    CDialog dlg;
    CStatic text;
    EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_TRUE(dlg.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(text.IsKindOf(RUNTIME_CLASS(CDialog)));
    EXPECT_STREQ(dlg.GetRuntimeClass()->m_lpszClassName, "CDialog");
}

// ------------------------------------------------------- module state

TEST(ModuleState, ManageStateSwitchesTheResourceModuleForAScope) {
    AFX_MODULE_STATE* app = AfxGetModuleState();
    EXPECT_EQ(app, AfxGetAppModuleState());
    AFX_MODULE_STATE other(TRUE, reinterpret_cast<HINSTANCE>(0x1234));
    {
        AFX_MANAGE_STATE(&other);
        EXPECT_EQ(AfxGetModuleState(), &other);
        EXPECT_EQ(AfxGetResourceHandle(), reinterpret_cast<HINSTANCE>(0x1234));
        {
            AFX_MANAGE_STATE(AfxGetStaticModuleState());
            EXPECT_EQ(AfxGetResourceHandle(), ::GetModuleHandleW(nullptr));
        }
        EXPECT_EQ(AfxGetModuleState(), &other);
        // The current resource module even when only the executable has it.
        EXPECT_EQ(AfxFindResourceHandle(MAKEINTRESOURCEW(IDD_COMMANDS), MAKEINTRESOURCEW(5)),
                  reinterpret_cast<HINSTANCE>(0x1234));
        CDialog dlg;
        EXPECT_FALSE(dlg.Create(IDD_COMMANDS));
    }
    EXPECT_EQ(AfxGetModuleState(), app);
}

TEST(ModuleState, BitmapsLoadFromTheModuleThatHoldsThem) {
    CBitmap picture;
    ASSERT_TRUE(picture.LoadBitmap(17052));
    BITMAP info{};
    ASSERT_NE(picture.GetBitmap(&info), 0);
    EXPECT_EQ(info.bmWidth, 62);
    EXPECT_EQ(info.bmHeight, 23);
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(16999));
}

}  // namespace
