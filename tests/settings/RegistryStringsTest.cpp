#include "settings/RegistryStrings.h"

#include "tests/settings/RegistrySandbox.h"

namespace {

const RegText kPath = TEXT("SOFTWARE\\Orlanwick\\VEK\\Tarnex");
const RegText kUntouched = TEXT("untouched");

class RegistryStrings : public RegistrySandbox {};

TEST_F(RegistryStrings, WrittenTextReadsBack) {
    for (const RegText& text :
         {RegText(TEXT("3")), RegText(TEXT("")), RegText(TEXT("\uAE30\uC900\uC810 MAINCOLOR02"))}) {
        ASSERT_EQ(RegWriteString(kPath, TEXT("value"), text), 0);
        RegText read = kUntouched;
        EXPECT_EQ(RegReadString(kPath, TEXT("value"), read), 0);
        EXPECT_EQ(read, text);
    }
}

TEST_F(RegistryStrings, WritesRegSzWithItsTerminatingNull) {
    ASSERT_EQ(RegWriteString(kPath, TEXT("d_point"), TEXT("12")), 0);
    std::optional<RawValue> raw = GetRaw(kPath, TEXT("d_point"));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->data, Utf16Bytes(TEXT("12"), true));
}

TEST_F(RegistryStrings, WriteCreatesMissingParentsAndReplacesOtherTypes) {
    ASSERT_FALSE(KeyExists(TEXT("SOFTWARE")));
    ASSERT_EQ(RegWriteString(kPath, TEXT("Color"), TEXT("1")), 0);
    EXPECT_TRUE(KeyExists(TEXT("SOFTWARE\\Orlanwick\\VEK")));

    PutRaw(kPath, TEXT("Color"), REG_BINARY, {1, 2, 3});
    ASSERT_EQ(RegWriteString(kPath, TEXT("Color"), TEXT("2")), 0);
    EXPECT_EQ(GetString(kPath, TEXT("Color")), RegText(TEXT("2")));
}

TEST_F(RegistryStrings, MissingKeyOrValueFailsAndLeavesTheOutputAlone) {
    RegText read = kUntouched;
    EXPECT_EQ(RegReadString(kPath, TEXT("d_point"), read), -1);
    EXPECT_EQ(read, kUntouched);

    PutString(kPath, TEXT("inchmm"), TEXT("1"));
    EXPECT_EQ(RegReadString(kPath, TEXT("d_point"), read), -1);
    EXPECT_EQ(read, kUntouched);
    EXPECT_FALSE(GetRaw(kPath, TEXT("d_point"))) << "a failed read must not create the value";
}

TEST_F(RegistryStrings, ReadsUpTo126CharactersAndRefusesLonger) {
    const RegText fits(126, TEXT('7'));
    PutString(kPath, TEXT("fits"), fits);
    RegText read;
    EXPECT_EQ(RegReadString(kPath, TEXT("fits"), read), 0);
    EXPECT_EQ(read, fits);

    PutString(kPath, TEXT("long"), RegText(127, TEXT('7')));
    read = kUntouched;
    EXPECT_EQ(RegReadString(kPath, TEXT("long"), read), -1);
    EXPECT_EQ(read, kUntouched);
}

struct TypedCase {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
    RegText text;
};

TEST_F(RegistryStrings, AnyTypeReadsAsUtf16UpToTheFirstNull) {
    const std::vector<TypedCase> cases = {
        {"binary, odd length, no null", REG_BINARY, {'4', 0, '2', 0, '7'}, TEXT("42")},
        {"binary with a null inside", REG_BINARY, {'A', 0, 0, 0, 'B', 0}, TEXT("A")},
        {"string without its null", REG_SZ, {'x', 0, 'y', 0}, TEXT("xy")},
        {"empty string value", REG_SZ, {}, TEXT("")},
        {"dword", REG_DWORD, {5, 0, 0, 0}, RegText(1, WCHAR(5))},
        {"single byte", REG_BINARY, {'9'}, TEXT("")},
        {"255 bytes", REG_BINARY, std::vector<BYTE>(255, 'a'), RegText(127, WCHAR(0x6161))},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(c.what);
        PutRaw(kPath, TEXT("value"), c.type, c.data);
        RegText read = kUntouched;
        EXPECT_EQ(RegReadString(kPath, TEXT("value"), read), 0);
        EXPECT_EQ(read, c.text);
        EXPECT_EQ(GetRaw(kPath, TEXT("value"))->type, c.type) << "reading must not rewrite";
    }
}

TEST_F(RegistryStrings, SlashAndBackslashReachTheSameKey) {
    ASSERT_EQ(RegWriteString(TEXT("SOFTWARE/Orlanwick/VEK/Tarnex"), TEXT("d_point"), TEXT("4")), 0);
    EXPECT_EQ(GetString(kPath, TEXT("d_point")), RegText(TEXT("4")));

    PutString(kPath, TEXT("inchmm"), TEXT("2"));
    RegText read;
    EXPECT_EQ(RegReadString(TEXT("SOFTWARE/Orlanwick\\VEK/Tarnex"), TEXT("inchmm"), read), 0);
    EXPECT_EQ(read, TEXT("2"));
}

TEST_F(RegistryStrings, NamesIgnoreCase) {
    PutString(kPath, TEXT("IsExploded"), TEXT("1"));
    RegText read;
    EXPECT_EQ(RegReadString(TEXT("software\\ORLANWICK\\vek\\tarnex"), TEXT("ISEXPLODED"), read), 0);
    EXPECT_EQ(read, TEXT("1"));

    ASSERT_EQ(
        RegWriteString(TEXT("Software\\orlanwick\\VEK\\TARNEX"), TEXT("isexploded"), TEXT("0")), 0);
    EXPECT_EQ(GetString(kPath, TEXT("IsExploded")), RegText(TEXT("0")));
}

TEST_F(RegistryStrings, UncreatableKeyFailsTheWrite) {
    EXPECT_EQ(RegWriteString(TEXT("\\SOFTWARE\\Tarnex"), TEXT("d_point"), TEXT("3")), -1);
    EXPECT_EQ(RegWriteString(TEXT("//SOFTWARE"), TEXT("d_point"), TEXT("3")), -1);
}

TEST_F(RegistryStrings, EveryKeyIsClosedOnEveryPath) {
    if (OpenKeys() < 0) {
        GTEST_SKIP() << "open keys cannot be counted here";
    }
    const int before = OpenKeys();
    RegText read;
    RegReadString(kPath, TEXT("d_point"), read);  // no key
    RegWriteString(kPath, TEXT("d_point"), TEXT("3"));
    RegReadString(kPath, TEXT("d_point"), read);  // read
    RegReadString(kPath, TEXT("missing"), read);  // no value
    PutString(kPath, TEXT("long"), RegText(200, TEXT('x')));
    RegReadString(kPath, TEXT("long"), read);  // too long
    RegWriteString(TEXT("\\bad"), TEXT("v"), TEXT("1"));
    EXPECT_EQ(OpenKeys(), before);
}

}  // namespace
