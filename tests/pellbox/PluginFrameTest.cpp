#include "FakeInstallerStack.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

namespace {

struct CallerString {
    explicit CallerString(wchar_t* text) : text(text) {}
    ~CallerString() { delete[] text; }
    wchar_t* text;
};

} // namespace

TEST(PluginFrame, ExportWithoutArgumentPushesOneResultAndPopsNothing) {
    FakeInstallerStack stack;
    stack.Call(&NSISIsWow64);
    ASSERT_EQ(stack.Depth(), 1u);
    const std::wstring flag = stack.Pop();
    EXPECT_TRUE(flag == L"0" || flag == L"1") << flag.c_str();

    EXPECT_EQ(CallWithoutArgument(&NSISIsWow64), flag); // and leaves older entries alone
}

TEST(PluginFrame, EntryStoresTheHostValuesAndRegistersTheCallback) {
    FakeInstallerStack stack(777);
    FakeInstallerStack::registrations = 0;
    stack.Call(&NSISGetLocalTimeString);
    EXPECT_EQ(PluginFrame.string_size, 777);
    EXPECT_EQ(PluginFrame.stacktop, &stack.top);
    EXPECT_EQ(PluginFrame.variables, stack.variables);
    EXPECT_EQ(PluginFrame.extra, &stack.extra);
    EXPECT_EQ(FakeInstallerStack::registrations, 1);
    ASSERT_NE(FakeInstallerStack::registeredCallback, nullptr);
    EXPECT_NE(FakeInstallerStack::registeredModule, nullptr);
    EXPECT_EQ(FakeInstallerStack::registeredCallback(NSPIM_UNLOAD), 0u);
}

TEST(PluginFrame, IconRefreshLeavesStackAndFrameAlone) {
    FakeInstallerStack first(500);
    first.Call(&NSISIsWow64);
    first.Pop();
    const PluginFrameRecord before = PluginFrame;

    FakeInstallerStack stack(900);
    stack.Push(L"keep me");
    FakeInstallerStack::registrations = 0;
    stack.Call(&NSISRebuildIconCache);
    EXPECT_EQ(stack.Depth(), 1u);
    EXPECT_EQ(stack.Pop(), L"keep me");
    EXPECT_EQ(FakeInstallerStack::registrations, 0);
    EXPECT_EQ(PluginFrame.string_size, before.string_size);
    EXPECT_EQ(PluginFrame.stacktop, before.stacktop);
}

TEST(PluginFrame, ArgumentsAreCutToTheirBuffer) {
    const std::wstring dir = MakeScratchDirectory(L"arg");
    std::wstring exact = dir;
    exact.resize(259, L'a');
    CreateDirectoryW(exact.c_str(), nullptr);
    ASSERT_TRUE(PathExists(exact));
    // 259 characters arrive whole, so the folder is found and removed.
    EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, exact), L"1");
    EXPECT_FALSE(PathExists(exact));

    // A longer argument does not overrun the buffer, and its first 259
    // characters, which name the parent folder here, are not deleted.
    CreateDirectoryW(exact.c_str(), nullptr);
    EXPECT_EQ(CallWithArgument(&NSISDeleteFolder, exact + L"\\bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"), L"0");
    EXPECT_TRUE(PathExists(exact));
    RemoveDirectoryW(exact.c_str());
    RemoveDirectoryW(dir.c_str());

    // The URL text takes whatever the host's strings carry, and the encoding is cut only
    // at the host's limit, between whole escapes.
    FakeInstallerStack big(20000);
    big.Push(std::wstring(9000, L'x'));
    big.Call(&NSISUrlEncode);
    EXPECT_EQ(big.Pop(), std::wstring(9000, L'x'));
    big.Push(std::wstring(5000, L' '));
    big.Call(&NSISUrlEncode);
    EXPECT_EQ(big.Pop().size(), 15000u);
    FakeInstallerStack standard(8192);
    standard.Push(std::wstring(5000, L' '));
    standard.Call(&NSISUrlEncode);
    const std::wstring encoded = standard.Pop();
    EXPECT_EQ(encoded.size(), 8190u);
    EXPECT_EQ(encoded.substr(encoded.size() - 6), L"%20%20");
}

TEST(PluginFrame, PathQueriesRefuseWhatDoesNotFitInBothForms) {
    // A held file of a running program's name is in use; doubled separators read as one, so the
    // first 259 characters of the padded folder alone would find it.
    const std::wstring dir = MakeScratchDirectory(L"long");
    WriteTextFile(dir + L"services.exe", "MZ");
    HANDLE holder =
        CreateFileW((dir + L"services.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::wstring padded = dir + std::wstring(300, L'\\');
    ASSERT_EQ(CallWithArgument(&NSISIsProcessRunningByDirectory, padded.substr(0, 259)), L"1");
    EXPECT_EQ(CallWithArgument(&NSISIsProcessRunningByDirectory, padded), L"0");
    EXPECT_EQ(DLLIsProcessRunningByDirectory(padded.c_str()), 0);
    for (auto query : {&NSISIsProcessRunningByFilePath, &NSISIsProcessRunningByFileName})
        EXPECT_EQ(CallWithArgument(query, padded + L"services.exe"), L"0");
    EXPECT_EQ(DLLIsProcessRunningByFilePath((padded + L"services.exe").c_str()), 0);
    EXPECT_EQ(DLLIsProcessRunningByFileName((std::wstring(300, L' ') + L"services.exe").c_str()), 0);
    CloseHandle(holder);
}

TEST(PluginFrame, WholeStringsArePushedWholeOrNotAtAll) {
    for (int stringSize : {1024, 8192}) {
        FakeInstallerStack stack(stringSize);
        stack.Call(&NSISIsWow64); // the frame now holds this stack
        stack.Pop();
        const size_t room = static_cast<size_t>(stringSize) - 1;
        for (size_t length : {room - 1, room, room + 1}) {
            PushWholeString(std::wstring(length, L'{'));
            ASSERT_EQ(stack.Depth(), 1u);
            EXPECT_EQ(stack.Pop().size(), length <= room ? length : 0u) << stringSize << " " << length;
        }
        // An argument as long as the host's strings arrives whole, past the 8,195-unit minimum too.
        stack.Push(std::wstring(room, L'a'));
        std::wstring argument;
        EXPECT_TRUE(PopWholeString(argument, 8196));
        EXPECT_EQ(argument.size(), room);
    }
}

TEST(PluginFrame, PushedResultsAreCutToStringSize) {
    FakeInstallerStack stack(8);
    stack.Call(&NSISGetAppUUID);
    EXPECT_EQ(stack.Pop().size(), 7u);

    FakeInstallerStack roomy(64);
    roomy.Call(&NSISGetAppUUID);
    EXPECT_EQ(roomy.Pop().size(), 32u);
}

TEST(PluginFrame, NullStackTopRunsWithEmptyArgumentAndPushesNothing) {
    FakeInstallerStack stack;
    EXPECT_NO_FATAL_FAILURE(NSISUrlEncode(nullptr, 1024, stack.variables, nullptr, &stack.extra));
    EXPECT_NO_FATAL_FAILURE(NSISDeleteFolder(nullptr, 1024, stack.variables, nullptr, nullptr));
    EXPECT_EQ(stack.Depth(), 0u);

    // An empty stack gives the empty argument: no folder named "" exists.
    stack.Call(&NSISDeleteFolder);
    EXPECT_EQ(stack.Pop(), L"0");
}

TEST(PluginFrame, NarrowTextIsCodePage936) {
    EXPECT_EQ(ToNarrowText(L"中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(FromNarrowText("\xD6\xD0\xCE\xC4"), L"中文");
    EXPECT_EQ(ToNarrowText(L"a\u0E01b"), "a?b"); // Thai is not in code page 936
    EXPECT_EQ(ToNarrowText(L""), "");
    EXPECT_EQ(FromNarrowText(std::string("ab\0cd", 5)), L"ab");
}

TEST(DllTwins, ReturnTheTextTheNsisExportPushes) {
    CallerString empty(DLLUrlEncode(L""));
    ASSERT_NE(empty.text, nullptr);
    EXPECT_EQ(empty.text[0], L'\0');

    CallerString nullArgument(DLLUrlEncode(nullptr));
    ASSERT_NE(nullArgument.text, nullptr);
    EXPECT_EQ(nullArgument.text[0], L'\0');

    CallerString encoded(DLLUrlEncode(L"中 a"));
    EXPECT_STREQ(encoded.text, CallWithArgument(&NSISUrlEncode, L"中 a").c_str());
    EXPECT_STREQ(encoded.text, L"%E4%B8%AD%20a");

    CallerString parent(DLLGetParentProcessName());
    EXPECT_STREQ(parent.text, CallWithoutArgument(&NSISGetParentProcessName).c_str());
    CallerString mac(DLLGetMacAddress());
    EXPECT_STREQ(mac.text, CallWithoutArgument(&NSISGetMacAddress).c_str());
    CallerString identity(DLLGetHardSNW());
    EXPECT_STREQ(identity.text, CallWithoutArgument(&NSISGetHardSNW).c_str());
    EXPECT_EQ(DLLIsWow64(), std::stoi(CallWithoutArgument(&NSISIsWow64)));
    EXPECT_EQ(DLLDeleteFolder(nullptr), 0);
}
