#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileIdentity.h"
#include "TempTree.h"

namespace {

using Ostra::IdentityAnswer;

std::wstring ShortName(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : L"";
}

} // namespace

TEST(FileIdentity, ComparesKindsOfIdentityByWhatBothHold) {
    Ostra::FileIdentity wide{0x1234567800000042ull, 7, 1, true};
    Ostra::FileIdentity narrow{0x42, 7, 0, false};
    EXPECT_TRUE(Ostra::IsSameIdentity(wide, narrow));
    EXPECT_TRUE(Ostra::IsSameVolume(wide, narrow));
    Ostra::FileIdentity otherHigh = wide;
    otherHigh.idHigh = 2;
    EXPECT_FALSE(Ostra::IsSameIdentity(wide, otherHigh));
    Ostra::FileIdentity otherVolume = narrow;
    otherVolume.volumeSerial = 0x43;
    EXPECT_FALSE(Ostra::IsSameIdentity(narrow, otherVolume));
    EXPECT_FALSE(Ostra::IsSameVolume(wide, otherVolume));
}

// Missing paths answer No, paths too long to hand to the system answer "can't
// tell", and a short name reaches the same object as its long name.
TEST(FileIdentity, AnswersSameAndInsideForEveryKindOfName) {
    TempTree tree;
    MakeDirs(tree.Path(L"Long Folder\\sub\\deep"));
    WritePatternFile(tree.Path(L"Long Folder\\file.txt"), 10, 1);
    const std::wstring top = tree.Path(L"Long Folder"), sub = tree.Path(L"Long Folder\\sub");
    const std::wstring deep = tree.Path(L"Long Folder\\sub\\deep"), missing = tree.Path(L"missing");
    const std::wstring tooLong = L"C:\\" + std::wstring(Ostra::kMaxIdentityPathUnits, L'x');
    const std::wstring shortTop = ShortName(top);
    ASSERT_NE(shortTop, L"");
    ASSERT_NE(shortTop, top);

    const struct {
        std::wstring a, b;
        IdentityAnswer same, inside; // a is b; a is b or lies inside it
    } cases[] = {
        {top, top, IdentityAnswer::Yes, IdentityAnswer::Yes},
        {shortTop, top, IdentityAnswer::Yes, IdentityAnswer::Yes},
        {deep, top, IdentityAnswer::No, IdentityAnswer::Yes},
        {shortTop + L"\\sub\\deep", Long(top), IdentityAnswer::No, IdentityAnswer::Yes},
        {top + L"\\file.txt", top, IdentityAnswer::No, IdentityAnswer::Yes},
        {top, sub, IdentityAnswer::No, IdentityAnswer::No},
        {missing, top, IdentityAnswer::No, IdentityAnswer::No},
        {top, missing, IdentityAnswer::No, IdentityAnswer::No},
        {tooLong, top, IdentityAnswer::CantTell, IdentityAnswer::CantTell},
        {top, tooLong, IdentityAnswer::CantTell, IdentityAnswer::CantTell},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ostra::IsSameObject(c.a, c.b), c.same) << c.a << L" | " << c.b;
        EXPECT_EQ(Ostra::IsSameOrInside(c.a, c.b), c.inside) << c.a << L" < " << c.b;
    }

    // The real folders above, up to the volume's root.
    std::vector<Ostra::FileIdentity> chain;
    ASSERT_TRUE(Ostra::ReadAncestry(shortTop + L"\\sub", &chain));
    EXPECT_EQ(Ostra::IsOneOf(Long(top), chain), IdentityAnswer::Yes);
    EXPECT_EQ(Ostra::IsOneOf(L"C:\\", chain), IdentityAnswer::Yes);
    EXPECT_EQ(Ostra::IsOneOf(deep, chain), IdentityAnswer::No);
    EXPECT_FALSE(Ostra::ReadAncestry(missing, &chain));

    EXPECT_EQ(Ostra::IsVolumeRootObject(L"C:\\"), IdentityAnswer::Yes);
    EXPECT_EQ(Ostra::IsVolumeRootObject(top), IdentityAnswer::No);
    EXPECT_EQ(Ostra::IsVolumeRootObject(missing), IdentityAnswer::No);
    EXPECT_EQ(Ostra::IsVolumeRootObject(tooLong), IdentityAnswer::CantTell);
}
