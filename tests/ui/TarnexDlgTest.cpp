// The main settings dialog driven as a user would under Wine: what it shows
// for stored settings, what each control writes, the pickers, and how the
// confirm-key branch hands the result to the active settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/ui/MainDialogDriver.h"
#include "state/CommandState.h"
#include "app/SettingsDialogInvocation.h"
#include "settings/Settings.h"
#include "ui/TarnexDlg.h"

using namespace uitest;

// Found by argument lookup: the record lives in the global namespace.
static bool operator==(const SettingsRecord& a, const SettingsRecord& b) {
    return a.d_point == b.d_point && a.inchmm == b.inchmm && a.IsExploded == b.IsExploded &&
           a.Color == b.Color && a.colorIndex == b.colorIndex && a.lineTypeCode == b.lineTypeCode;
}

static void PrintTo(const SettingsRecord& r, std::ostream* out) {
    *out << "{" << r.d_point << ", " << r.inchmm << ", " << r.IsExploded << ", " << r.Color << ", "
         << r.colorIndex << ", " << r.lineTypeCode << "}";
}

namespace {

using Values = std::map<std::wstring, std::wstring>;

const Values kDefaults = {
    {L"d_point", L"3"},           {L"inchmm", L"0"},
    {L"IsExploded", L"0"},        {L"Color", L"0"},
    {L"mColor1", L"MAINCOLOR02"}, {L"mLType1", L"LINETYPE07"},
};

// The defaults with some values changed.
Values DefaultsWith(const Values& changes) {
    Values values = kDefaults;
    for (const auto& [name, text] : changes) {
        values[name] = text;
    }
    return values;
}

class MainDialogTest : public ::testing::Test {
protected:
    INT_PTR Run(TarnexDlg& dialog, DialogScript& script) {
        const INT_PTR result = script.Run([&] { return dialog.DoModal(); });
        EXPECT_FALSE(script.TimedOut()) << "the dialog had to be closed by the watchdog";
        EXPECT_TRUE(script.Finished()) << "not every step ran";
        return result;
    }

    // Opens the dialog, runs `step` on it and closes it with the close box.
    void OpenThenClose(TarnexDlg& dialog, const DialogScript::Step& step) {
        DialogScript script;
        script.Then([&](HWND top) {
            step(top);
            CloseBox(top);
        });
        EXPECT_EQ(Run(dialog, script), IDCANCEL);
    }

    Values Stored() const {
        Values values;
        for (const auto& name : registry.Names()) {
            values[name] = registry.Get(name).value_or(L"?");
        }
        return values;
    }

    RegistrySandbox registry;
};

// --- Opening ---------------------------------------------------------------

TEST_F(MainDialogTest, FreshRegistryShowsDefaultsAndWritesThemBack) {
    TarnexDlg dialog;
    OpenThenClose(dialog, [&](HWND top) {
        EXPECT_EQ(WindowText(top), L"자리수변경");
        EXPECT_EQ(Stored(), kDefaults);

        ASSERT_EQ(::SendDlgItemMessageW(top, IDC_DECIMAL_PLACES, CB_GETCOUNT, 0, 0), 5);
        for (int i = 0; i < 5; ++i) {
            wchar_t item[8] = {};
            ::SendDlgItemMessageW(top, IDC_DECIMAL_PLACES, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                  reinterpret_cast<LPARAM>(item));
            EXPECT_EQ(std::wstring(item), std::to_wstring(i + 1));
        }
        EXPECT_EQ(ComboSelection(top, IDC_DECIMAL_PLACES), 2);  // "3"
        EXPECT_TRUE(IsChecked(top, IDC_UNIT_MM_TO_MM));
        EXPECT_FALSE(IsChecked(top, IDC_UNIT_INCH_TO_MM));
        EXPECT_FALSE(IsChecked(top, IDC_UNIT_MM_TO_INCH));
        EXPECT_FALSE(IsChecked(top, IDC_EXPLODED));
        EXPECT_TRUE(IsChecked(top, IDC_COLOR_KEEP));
        EXPECT_FALSE(IsChecked(top, IDC_COLOR_CHANGE));
        EXPECT_EQ(dialog.m_stMainColor.m_strColor, CString(L"MAINCOLOR02"));
        EXPECT_TRUE(SameAsBitmapResource(StaticImage(top, IDC_LINE_TYPE), 17052));
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(top, IDC_DECIMAL_PLACES));
    });
    EXPECT_EQ(dialog.m_nDPoint, 3);
    EXPECT_EQ(dialog.m_strLType, CString(L"LINETYPE07"));
}

// Template order is what makes the radio groups work, so it is checked as a
// whole: ids, labels and where groups start.
TEST_F(MainDialogTest, ControlsFollowTheTemplateOrderWithTheirLabels) {
    struct Expected {
        int id;
        const wchar_t* text;
        bool group;
    };
    const std::vector<Expected> expected = {
        {-1, L"◆. 자리수설정", true},
        {IDC_DECIMAL_PLACES, L"", false},
        {-1, L"◆. 단위설정", true},
        {IDC_UNIT_MM_TO_MM, L"mm->mm", true},
        {IDC_UNIT_INCH_TO_MM, L"inch->mm( x 25.4 )", false},
        {IDC_UNIT_MM_TO_INCH, L"mm->inch( / 25.4 )", false},
        {IDOK, L"확인", false},
        {IDC_EXPLODED, L"도형폭파(전체분할)후 자리수변경", false},
        {IDC_MAIN_COLOR, L"", false},
        {IDC_LINE_TYPE, L"", false},
        {IDC_COLOR_KEEP, L"선색변경 안함", true},
        {IDC_COLOR_CHANGE, L"선색변경 ", false},
        {-1, L"◆. 선색ㆍ선종", true},
    };
    TarnexDlg dialog;
    OpenThenClose(dialog, [&](HWND top) {
        size_t i = 0;
        for (HWND child = ::GetWindow(top, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT), ++i) {
            ASSERT_LT(i, expected.size());
            const auto style = ::GetWindowLongW(child, GWL_STYLE);
            EXPECT_EQ(static_cast<int>(static_cast<short>(::GetDlgCtrlID(child))), expected[i].id)
                << "control " << i;
            if (expected[i].id != IDC_DECIMAL_PLACES) {
                EXPECT_EQ(WindowText(child), expected[i].text) << "control " << i;
            }
            EXPECT_EQ((style & WS_GROUP) != 0, expected[i].group) << "control " << i;
        }
        EXPECT_EQ(i, expected.size());
        // No default push button: the OK button is an ordinary one.
        EXPECT_EQ(::GetWindowLongW(::GetDlgItem(top, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    });
}

// What stored texts look like in the dialog, and what the save after OK
// writes back for them.
struct StoredCase {
    const char* label;
    Values stored;
    // What the dialog shows: a fresh store's unless a case says otherwise.
    int comboSelection = 2;
    int unitRadio = IDC_UNIT_MM_TO_MM;
    bool exploded = false;
    int colorRadio = IDC_COLOR_KEEP;
    UINT lineTypeBitmap = 17052;
    Values savedAfterOk;  // the values checked after OK and the save

    friend void PrintTo(const StoredCase& c, std::ostream* out) { *out << c.label; }
};

class StoredValuesTest : public MainDialogTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValuesTest, AreShownAndWrittenBack) {
    const StoredCase& c = GetParam();
    for (const auto& [name, text] : c.stored) {
        registry.Set(name, text);
    }
    TarnexDlg dialog;
    DialogScript script;
    script.Then([&](HWND top) {
        EXPECT_EQ(ComboSelection(top, IDC_DECIMAL_PLACES), c.comboSelection);
        for (int id = IDC_UNIT_MM_TO_MM; id <= IDC_UNIT_MM_TO_INCH; ++id) {
            EXPECT_EQ(IsChecked(top, id), id == c.unitRadio) << "radio " << id;
        }
        EXPECT_EQ(IsChecked(top, IDC_EXPLODED), c.exploded);
        for (int id = IDC_COLOR_KEEP; id <= IDC_COLOR_CHANGE; ++id) {
            EXPECT_EQ(IsChecked(top, id), id == c.colorRadio) << "radio " << id;
        }
        EXPECT_TRUE(SameAsBitmapResource(StaticImage(top, IDC_LINE_TYPE), c.lineTypeBitmap));
        ClickButton(top, IDOK);
    });
    ASSERT_EQ(Run(dialog, script), IDOK);
    registry.Clear();
    EXPECT_TRUE(dialog.SaveToRegistry());
    const Values saved = Stored();
    for (const auto& [name, text] : c.savedAfterOk) {
        EXPECT_EQ(saved.count(name) ? saved.at(name) : L"(missing)", text) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    MainDialog, StoredValuesTest,
    ::testing::Values(
        StoredCase{
            .label = "ModesStored",
            .stored =
                {{L"d_point", L"5"}, {L"inchmm", L"2"}, {L"Color", L"1"}, {L"IsExploded", L"1"}},
            .comboSelection = 4,
            .unitRadio = IDC_UNIT_MM_TO_INCH,
            .exploded = true,
            .colorRadio = IDC_COLOR_CHANGE,
            .savedAfterOk =
                {{L"d_point", L"5"}, {L"inchmm", L"2"}, {L"Color", L"1"}, {L"IsExploded", L"1"}}},
        StoredCase{.label = "UnknownUnitModeIsNone",
                   .stored = {{L"inchmm", L"7"}},
                   .savedAfterOk = {{L"inchmm", L"0"}}},
        StoredCase{.label = "DecimalsOutsideTheListKeptAsStored",
                   .stored = {{L"d_point", L"9"}},
                   .comboSelection = -1,
                   .savedAfterOk = {{L"d_point", L"9"}}},
        StoredCase{.label = "NegativeAndZeroDecimalsKept",
                   .stored = {{L"d_point", L"-2"}, {L"inchmm", L"-1"}},
                   .comboSelection = -1,
                   .savedAfterOk = {{L"d_point", L"-2"}, {L"inchmm", L"0"}}},
        StoredCase{.label = "TextWithoutDigitsCountsAsZero",
                   .stored = {{L"d_point", L"abc"},
                              {L"inchmm", L"x1"},
                              {L"IsExploded", L"yes"},
                              {L"Color", L"on"}},
                   .comboSelection = -1,
                   .savedAfterOk = {{L"d_point", L"0"},
                                    {L"inchmm", L"0"},
                                    {L"IsExploded", L"0"},
                                    {L"Color", L"0"}}},
        StoredCase{.label = "LeadingNumberIsTaken",
                   .stored = {{L"d_point", L" +2mm"}, {L"inchmm", L"1.9"}, {L"Color", L"1x"}},
                   .comboSelection = 1,
                   .unitRadio = IDC_UNIT_INCH_TO_MM,
                   .colorRadio = IDC_COLOR_CHANGE,
                   .savedAfterOk = {{L"d_point", L"2"}, {L"inchmm", L"1"}, {L"Color", L"1"}}},
        StoredCase{.label = "AnyNonZeroExplodesAndOnlyOneChangesColour",
                   .stored = {{L"IsExploded", L"5"}, {L"Color", L"2"}},
                   .exploded = true,
                   .savedAfterOk = {{L"IsExploded", L"1"}, {L"Color", L"0"}}},
        StoredCase{.label = "LineTypeNameInLowerCase",
                   .stored = {{L"mLType1", L"linetype03"}},
                   .lineTypeBitmap = 17048,
                   .savedAfterOk = {{L"mLType1", L"linetype03"}}},
        StoredCase{.label = "LastLineType",
                   .stored = {{L"mLType1", L"LINETYPE10"}},
                   .lineTypeBitmap = 17055,
                   .savedAfterOk = {{L"mLType1", L"LINETYPE10"}}},
        StoredCase{.label = "NamesOutsideThePaletteKeptUnchanged",
                   .stored = {{L"mLType1", L"LINETYPE11"}, {L"mColor1", L"Sky Blue"}},
                   .lineTypeBitmap = 17046,
                   .savedAfterOk = {{L"mLType1", L"LINETYPE11"}, {L"mColor1", L"Sky Blue"}}}),
    [](const auto& param) { return std::string(param.param.label); });

TEST_F(MainDialogTest, OnlyMissingValuesAreWrittenAtOpening) {
    registry.Set(L"d_point", L"4");
    registry.Set(L"mColor1", L"MAINCOLOR09");
    TarnexDlg dialog;
    OpenThenClose(dialog, [&](HWND) {
        EXPECT_EQ(Stored(), DefaultsWith({{L"d_point", L"4"}, {L"mColor1", L"MAINCOLOR09"}}));
        EXPECT_EQ(dialog.m_stMainColor.m_strColor, CString(L"MAINCOLOR09"));
    });
}

// --- Controls --------------------------------------------------------------

// What each control writes, in one opening with inchmm 2 and Color 1
// stored: the radios and the decimals write all six values (the stored modes
// kept), the check box only its own.
TEST_F(MainDialogTest, EachControlWritesItsValues) {
    struct Write {
        const char* what;
        std::function<void(HWND)> act;
        int control;  // ticked (or, second click of the box, cleared) afterwards
        bool ticked;
        Values stored;  // everything stored afterwards
    };
    auto click = [](int id) { return [id](HWND top) { ClickButton(top, id); }; };
    const Values modes = {{L"d_point", L"4"}, {L"inchmm", L"2"}, {L"Color", L"1"}};
    auto with = [&](const wchar_t* name, const wchar_t* text) {
        Values values = DefaultsWith(modes);
        values[name] = text;
        return values;
    };
    const std::vector<Write> writes = {
        {"decimals item \"4\"", [](HWND top) { ChooseComboItem(top, IDC_DECIMAL_PLACES, 3); },
         IDC_UNIT_MM_TO_INCH, true, DefaultsWith(modes)},
        {"inch to mm", click(IDC_UNIT_INCH_TO_MM), IDC_UNIT_INCH_TO_MM, true,
         with(L"inchmm", L"1")},
        {"mm to inch", click(IDC_UNIT_MM_TO_INCH), IDC_UNIT_MM_TO_INCH, true,
         with(L"inchmm", L"2")},
        {"mm to mm", click(IDC_UNIT_MM_TO_MM), IDC_UNIT_MM_TO_MM, true, with(L"inchmm", L"0")},
        {"keep colour", click(IDC_COLOR_KEEP), IDC_COLOR_KEEP, true,
         DefaultsWith({{L"d_point", L"4"}})},
        {"change colour", click(IDC_COLOR_CHANGE), IDC_COLOR_CHANGE, true,
         DefaultsWith({{L"d_point", L"4"}, {L"Color", L"1"}})},
        {"explode", click(IDC_EXPLODED), IDC_EXPLODED, true, {{L"IsExploded", L"1"}}},
        {"explode again", click(IDC_EXPLODED), IDC_EXPLODED, false, {{L"IsExploded", L"0"}}},
    };
    registry.Set(L"inchmm", L"2");
    registry.Set(L"Color", L"1");
    TarnexDlg dialog;
    OpenThenClose(dialog, [&](HWND top) {
        for (const Write& write : writes) {
            registry.Clear();
            write.act(top);
            EXPECT_EQ(IsChecked(top, write.control), write.ticked)
                << "control " << write.control << " after " << write.what;
            EXPECT_EQ(Stored(), write.stored) << "stored after " << write.what;
        }
    });
    EXPECT_EQ(dialog.m_nDPoint, 4);
}

// The handler flips what it remembers, not what the box shows: a box ticked
// behind its back is ticked again by the next click.
TEST_F(MainDialogTest, CheckBoxFollowsTheMemberNotTheBox) {
    TarnexDlg dialog;
    OpenThenClose(dialog, [&](HWND top) {
        ::CheckDlgButton(top, IDC_EXPLODED, BST_CHECKED);
        ClickButton(top, IDC_EXPLODED);
        EXPECT_EQ(registry.Get(L"IsExploded").value_or(L""), L"1");
        EXPECT_TRUE(IsChecked(top, IDC_EXPLODED));
    });
    EXPECT_EQ(dialog.m_bExploded, 1);
}

// OK reads the radio groups back, so radios moved without a notification
// still count, each within its own group.
TEST_F(MainDialogTest, OkReadsBothRadioGroupsBack) {
    TarnexDlg dialog;
    DialogScript script;
    script.Then([&](HWND top) {
        ::CheckRadioButton(top, IDC_UNIT_MM_TO_MM, IDC_UNIT_MM_TO_INCH, IDC_UNIT_MM_TO_INCH);
        ::CheckRadioButton(top, IDC_COLOR_KEEP, IDC_COLOR_CHANGE, IDC_COLOR_CHANGE);
        ClickButton(top, IDOK);
    });
    ASSERT_EQ(Run(dialog, script), IDOK);
    EXPECT_EQ(dialog.m_nInchMm, 2);
    EXPECT_EQ(dialog.m_nColor, 1);
}

TEST_F(MainDialogTest, NoControlIsEverDisabled) {
    TarnexDlg dialog;
    DialogScript script;
    script.Then([&](HWND top) {
        for (int id : {IDC_COLOR_KEEP, IDC_COLOR_CHANGE}) {
            ClickButton(top, id);
            for (HWND child = ::GetWindow(top, GW_CHILD); child != nullptr;
                 child = ::GetWindow(child, GW_HWNDNEXT)) {
                EXPECT_TRUE(::IsWindowEnabled(child)) << ::GetDlgCtrlID(child);
            }
        }
        PressKey(top, VK_ESCAPE);
    });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
}

// --- Pickers ---------------------------------------------------------------

constexpr int kCentreSlackPx = 1;  // absolute: halving an odd size rounds

::testing::AssertionResult SameCentre(HWND window, const RECT& over) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int dx = (rect.left + rect.right) - (over.left + over.right);
    const int dy = (rect.top + rect.bottom) - (over.top + over.bottom);
    if (std::abs(dx) <= 2 * kCentreSlackPx && std::abs(dy) <= 2 * kCentreSlackPx) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "centres differ by (" << dx / 2.0 << ", " << dy / 2.0 << ") px";
}

// Opened without an owner the dialog sits in the middle of the work area; each
// picker opens over the middle of the dialog.
TEST_F(MainDialogTest, OpensCentredAndPickersOpenOverIt) {
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    TarnexDlg dialog;
    RECT main{};
    DialogScript script;
    script.Then([&](HWND top) {
        EXPECT_EQ(::GetWindow(top, GW_OWNER), nullptr);
        EXPECT_TRUE(SameCentre(top, work));
        ::GetWindowRect(top, &main);
    });
    for (int swatch : {IDC_MAIN_COLOR, IDC_LINE_TYPE}) {
        script.Then([swatch](HWND top) { ClickStatic(top, swatch); })
            .Then([&main, swatch](HWND picker) {
                EXPECT_TRUE(SameCentre(picker, main)) << "picker of " << swatch;
                PressKey(picker, VK_ESCAPE);
            });
    }
    script.Then([](HWND top) { CloseBox(top); });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
}

TEST_F(MainDialogTest, PickedColourAndLineTypeAreShownAndWrittenAlone) {
    TarnexDlg dialog;
    DialogScript script;
    script
        .Then([&](HWND top) {
            registry.Clear();
            ClickStatic(top, IDC_MAIN_COLOR);  // returns when the picker ends
            EXPECT_EQ(dialog.m_stMainColor.m_strColor, CString(L"MAINCOLOR06"));
            EXPECT_EQ(Stored(), (Values{{L"mColor1", L"MAINCOLOR06"}}));
        })
        .Then([&](HWND picker) {
            EXPECT_EQ(WindowText(picker), L"Color Property");
            ClickStatic(picker, 17036);  // "MAINCOLOR06"
            ClickButton(picker, IDOK);
        })
        .Then([&](HWND top) {
            registry.Clear();
            ClickStatic(top, IDC_LINE_TYPE);
            EXPECT_EQ(dialog.m_strLType, CString(L"LINETYPE03"));
            EXPECT_EQ(Stored(), (Values{{L"mLType1", L"LINETYPE03"}}));
            EXPECT_TRUE(SameAsBitmapResource(StaticImage(top, IDC_LINE_TYPE), 17048));
        })
        .Then([&](HWND picker) {
            EXPECT_EQ(WindowText(picker), L"Line Type Property");
            ClickStatic(picker, 17079);  // "LINETYPE03"
            ClickButton(picker, IDOK);
        })
        .Then([&](HWND top) { CloseBox(top); });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
}

// The dialog repaints its swatch after a pick; the colour is read back from
// the swatch control's own surface, one tick after the picker closed.
TEST_F(MainDialogTest, ColourSwatchRepaintsAfterAPick) {
    TarnexDlg dialog;
    auto swatchCentre = [](HWND top) {
        HWND swatch = ::GetDlgItem(top, IDC_MAIN_COLOR);
        RECT client{};
        ::GetClientRect(swatch, &client);
        HDC dc = ::GetDC(swatch);
        const COLORREF colour = ::GetPixel(dc, client.right / 2, client.bottom / 2);
        ::ReleaseDC(swatch, dc);
        return colour;
    };
    DialogScript script;
    script
        .Then([&](HWND top) {
            EXPECT_EQ(swatchCentre(top), RGB(0, 192, 255));  // MAINCOLOR02
            ClickStatic(top, IDC_MAIN_COLOR);
        })
        .Then([&](HWND picker) {
            ClickStatic(picker, 17036);  // "MAINCOLOR06"
            ClickButton(picker, IDOK);
        })
        .Then([&](HWND top) {
            EXPECT_EQ(swatchCentre(top), RGB(255, 0, 0));
            CloseBox(top);
        });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
}

// The picker starts from the dialog's names: confirming without a choice
// hands them back as they were, letter case included.
TEST_F(MainDialogTest, PickersStartFromTheCurrentNames) {
    registry.Set(L"mColor1", L"maincolor05");
    registry.Set(L"mLType1", L"linetype09");
    TarnexDlg dialog;
    DialogScript script;
    script.Then([&](HWND top) { ClickStatic(top, IDC_MAIN_COLOR); })
        .Then([&](HWND picker) { PressKey(picker, VK_RETURN); })
        .Then([&](HWND top) { ClickStatic(top, IDC_LINE_TYPE); })
        .Then([&](HWND picker) { PressKey(picker, VK_RETURN); })
        .Then([&](HWND top) { CloseBox(top); });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
    EXPECT_EQ(dialog.m_stMainColor.m_strColor, CString(L"maincolor05"));
    EXPECT_EQ(dialog.m_strLType, CString(L"linetype09"));
    EXPECT_EQ(registry.Get(L"mColor1").value_or(L""), L"maincolor05");
    EXPECT_EQ(registry.Get(L"mLType1").value_or(L""), L"linetype09");
}

TEST_F(MainDialogTest, CancelledPickersChangeAndWriteNothing) {
    TarnexDlg dialog;
    HBITMAP before = nullptr;
    DialogScript script;
    script
        .Then([&](HWND top) {
            registry.Clear();
            before = StaticImage(top, IDC_LINE_TYPE);
            ClickStatic(top, IDC_MAIN_COLOR);
        })
        .Then([&](HWND picker) {
            ClickStatic(picker, 17042);
            PressKey(picker, VK_ESCAPE);
        })
        .Then([&](HWND top) { ClickStatic(top, IDC_LINE_TYPE); })
        .Then([&](HWND picker) {
            ClickStatic(picker, 17085);
            ClickButton(picker, IDCANCEL);
        })
        .Then([&](HWND top) {
            EXPECT_TRUE(Stored().empty());
            EXPECT_EQ(dialog.m_stMainColor.m_strColor, CString(L"MAINCOLOR02"));
            EXPECT_EQ(dialog.m_strLType, CString(L"LINETYPE07"));
            EXPECT_EQ(StaticImage(top, IDC_LINE_TYPE), before);
            CloseBox(top);
        });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
}

// Each opening loads a picture into the line-type swatch and each pick
// replaces it: none of them may outlive the dialog.
TEST_F(MainDialogTest, LineTypePicturesAreReleased) {
    TarnexDlg dialog;
    HBITMAP first = nullptr;
    HBITMAP last = nullptr;
    DialogScript script;
    script
        .Then([&](HWND top) {
            first = StaticImage(top, IDC_LINE_TYPE);
            ClickStatic(top, IDC_LINE_TYPE);
        })
        .Then([&](HWND picker) {
            ClickStatic(picker, 17085);
            ClickButton(picker, IDOK);
        })
        .Then([&](HWND top) {
            last = StaticImage(top, IDC_LINE_TYPE);
            EXPECT_NE(last, first);
            EXPECT_EQ(::GetObjectType(first), 0u) << "the replaced picture was kept";
            EXPECT_EQ(::GetObjectType(last), static_cast<DWORD>(OBJ_BITMAP));
            CloseBox(top);
        });
    EXPECT_EQ(Run(dialog, script), IDCANCEL);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(::GetObjectType(last), 0u) << "the shown picture outlived the dialog";
}

// --- The confirm-key branch --------------------------------------------------

class SettingsDialogInvocationTest : public MainDialogTest {};

TEST_F(SettingsDialogInvocationTest, OkSavesAndReloadsTheActiveSettings) {
    LoadSettings();
    DialogScript script;
    script.Then([&](HWND top) {
        ChooseComboItem(top, IDC_DECIMAL_PLACES, 4);  // "5"
        ClickButton(top, IDC_UNIT_INCH_TO_MM);
        ClickButton(top, IDC_EXPLODED);
        ClickButton(top, IDC_COLOR_CHANGE);
        ClickButton(top, IDOK);
    });
    const INT_PTR result = script.Run([] { return static_cast<INT_PTR>(RunSettingsDialog()); });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(ActiveSettings, (SettingsRecord{5, 1, 1, 1, 1, 3}));
    EXPECT_EQ(
        Stored(),
        DefaultsWith(
            {{L"d_point", L"5"}, {L"inchmm", L"1"}, {L"IsExploded", L"1"}, {L"Color", L"1"}}));
}

// OK writes the whole set again: values removed while the dialog was open
// are back afterwards.
TEST_F(SettingsDialogInvocationTest, OkWritesAllSixOnceMore) {
    registry.Set(L"d_point", L"9");
    DialogScript script;
    script.Then([&](HWND top) {
        registry.Clear();
        ClickButton(top, IDOK);
    });
    EXPECT_EQ(script.Run([] { return static_cast<INT_PTR>(RunSettingsDialog()); }), 0);
    EXPECT_EQ(Stored(), DefaultsWith({{L"d_point", L"9"}}));
    EXPECT_EQ(ActiveSettings.d_point, 9);
}

TEST_F(SettingsDialogInvocationTest, PickedNamesWaitForTheNextLoadAfterTheCloseBox) {
    LoadSettings();
    const SettingsRecord before = ActiveSettings;
    DialogScript script;
    script.Then([&](HWND top) { ClickStatic(top, IDC_MAIN_COLOR); })
        .Then([&](HWND picker) {
            ClickStatic(picker, 17036);  // "MAINCOLOR06", host index 5
            ClickButton(picker, IDOK);
        })
        .Then([&](HWND top) { ClickStatic(top, IDC_LINE_TYPE); })
        .Then([&](HWND picker) {
            ClickStatic(picker, 17079);  // "LINETYPE03", host code 5
            ClickButton(picker, IDOK);
        })
        .Then([&](HWND top) { CloseBox(top); });
    EXPECT_EQ(script.Run([] { return static_cast<INT_PTR>(RunSettingsDialog()); }), 0);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(ActiveSettings, before);
    EXPECT_EQ(registry.Get(L"mColor1").value_or(L""), L"MAINCOLOR06");
    EXPECT_EQ(registry.Get(L"mLType1").value_or(L""), L"LINETYPE03");

    LoadSettings();
    EXPECT_EQ(ActiveSettings.colorIndex, 5);
    EXPECT_EQ(ActiveSettings.lineTypeCode, 5);
}

TEST_F(SettingsDialogInvocationTest, EscapeKeepsTheActiveSettingsButNotTheWrites) {
    LoadSettings();
    DialogScript script;
    script.Then([&](HWND top) {
        ChooseComboItem(top, IDC_DECIMAL_PLACES, 0);  // "1"
        PressKey(top, VK_ESCAPE);
    });
    EXPECT_EQ(script.Run([] { return static_cast<INT_PTR>(RunSettingsDialog()); }), 0);
    EXPECT_EQ(ActiveSettings.d_point, 3);
    EXPECT_EQ(registry.Get(L"d_point").value_or(L""), L"1");
}

}  // namespace
