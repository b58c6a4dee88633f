#include "LaunchRules.h"
#include "ProcessControl.h"
#include "TestFolder.h"

#include <UniqueHandle.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

// The stand-in mail client is built into bin/ beside the test folder, a 64-bit
// build of it into bin/x64/.
enum class Architecture { Own, X64 };

std::wstring StandInClient(Architecture architecture = Architecture::Own) {
    std::wstring own = ProgramDirectoryPath(L"");
    return own + (architecture == Architecture::X64 ? L"..\\bin\\x64\\ostramail.exe" : L"..\\bin\\ostramail.exe");
}

// What a 32-bit program meets with a 64-bit process: its module list cannot be read.
std::wstring UnreadableModuleList(HANDLE) {
    return std::wstring();
}

bool RunsUnderWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// A started stand-in client; ended when the test is done with it, whatever
// the test's outcome, so no client outlives a failed test.
class StartedClient {
public:
    explicit StartedClient(HANDLE process) : process_(process) {}
    ~StartedClient() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 5000);
        }
    }
    StartedClient(StartedClient&&) = default;
    HANDLE get() const { return process_.get(); }
    explicit operator bool() const { return process_.valid(); }

private:
    Ostra::UniqueHandle process_;
};

StartedClient Start(const std::wstring& image) {
    wchar_t commandLine[] = L"ostramail.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(image.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return StartedClient(nullptr);
    CloseHandle(info.hThread);
    return StartedClient(info.hProcess);
}

bool WaitForLaunchRecord(const std::wstring& folder, std::string* record) {
    std::wstring path = folder + L"\\ostramail-launches.txt";
    for (int i = 0; i < 100; ++i) {
        Ostra::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        if (file) {
            char buffer[512] = {};
            DWORD got = 0;
            ReadFile(file.get(), buffer, sizeof(buffer) - 1, &got, nullptr);
            if (got > 0) {
                *record = std::string(buffer, got);
                return true;
            }
        }
        Sleep(50);
    }
    return false;
}

class ClientFolders : public ::testing::TestWithParam<Architecture> {
protected:
    TestFolder root{L"clients"};
    std::wstring here = root / L"program";
    std::wstring elsewhere = root / L"other";
    std::wstring client = here + L"\\ostramail.exe";
    std::wstring otherClient = elsewhere + L"\\ostramail.exe";

    // The 64-bit client is the other architecture only for a 32-bit test on
    // 64-bit Windows (under WOW64); elsewhere the first case covers it.
    void SetUp() override {
        if (GetParam() == Architecture::X64 && !RunsUnderWow64())
            GTEST_SKIP() << "no WOW64 here: a 64-bit client is not of the other architecture";
        const std::wstring standIn = StandInClient(GetParam());
        CreateDirectoryW(here.c_str(), nullptr);
        CreateDirectoryW(elsewhere.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(standIn.c_str(), client.c_str(), FALSE)) << "stand-in client missing";
        ASSERT_TRUE(CopyFileW(standIn.c_str(), otherClient.c_str(), FALSE));
    }
};

INSTANTIATE_TEST_SUITE_P(Architectures, ClientFolders, ::testing::Values(Architecture::Own, Architecture::X64),
                         [](const ::testing::TestParamInfo<Architecture>& info) {
                             return info.param == Architecture::X64 ? "Client64UnderWow64" : "OwnArchitecture";
                         });

} // namespace

TEST(ProgramDirectoryPath, NamesAFileBesideThisProgram) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring expected(module);
    expected.resize(expected.rfind(L'\\') + 1);
    EXPECT_EQ(ProgramDirectoryPath(L"ostramail.exe"), expected + L"ostramail.exe");
}

TEST(ListProcessIds, IncludesThisProcess) {
    auto ids = ListProcessIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), GetCurrentProcessId()), ids.end());
}

TEST_P(ClientFolders, NotRunningIsStoppedWithoutATerminate) {
    EXPECT_FALSE(IsClientRunning(client));
    EXPECT_FALSE(TerminateClient(client));
    DWORD before = GetTickCount();
    EXPECT_TRUE(EnsureClientStopped(client));
    EXPECT_LT(GetTickCount() - before, 2000u);
}

TEST_P(ClientFolders, OnlyTheClientOfTheGivenPathIsFoundAndStopped) {
    auto other = Start(otherClient);
    ASSERT_TRUE(other);
    auto mine = Start(client);
    ASSERT_TRUE(mine);
    Sleep(300);

    EXPECT_TRUE(IsClientRunning(client));
    EXPECT_TRUE(IsClientRunning(root.path() + L"\\PROGRAM\\\\OstraMail.exe")) << "case and doubled separators";
    EXPECT_FALSE(IsClientRunning(root.path() + L"/program/ostramail.exe"));

    EXPECT_TRUE(EnsureClientStopped(client, 10));
    EXPECT_EQ(WaitForSingleObject(mine.get(), 5000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(mine.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsClientRunning(client));

    // The client from the other folder was left running.
    EXPECT_EQ(WaitForSingleObject(other.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(IsClientRunning(otherClient));
    TerminateProcess(other.get(), 0);
    WaitForSingleObject(other.get(), 5000);
}

TEST_P(ClientFolders, UnreadableModuleListFallsBackToTheImagePath) {
    auto other = Start(otherClient);
    auto mine = Start(client);
    ASSERT_TRUE(other && mine);
    Sleep(300);

    EXPECT_TRUE(IsClientRunning(root.path() + L"\\PROGRAM\\\\OstraMail.exe", UnreadableModuleList));
    EXPECT_FALSE(IsClientRunning(root.path() + L"\\program\\other.exe", UnreadableModuleList));
    EXPECT_TRUE(EnsureClientStopped(client, 10, UnreadableModuleList));
    EXPECT_EQ(WaitForSingleObject(mine.get(), 0), WAIT_OBJECT_0) << "ended before the answer";
    EXPECT_FALSE(IsClientRunning(client, UnreadableModuleList));
    EXPECT_EQ(WaitForSingleObject(other.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "other folder left alone";
    TerminateProcess(other.get(), 0);
    WaitForSingleObject(other.get(), 5000);
}

TEST_P(ClientFolders, EveryInstanceIsStoppedAndHasEndedOnReturn) {
    auto first = Start(client);
    auto second = Start(client);
    ASSERT_TRUE(first && second);
    Sleep(300);
    EXPECT_TRUE(TerminateClient(client));
    EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(IsClientRunning(client));
}

TEST_P(ClientFolders, LaunchStartsTheClientWithItsCommandLine) {
    EXPECT_EQ(LaunchClient(client), 0);
    std::string record;
    ASSERT_TRUE(WaitForLaunchRecord(here, &record));
    EXPECT_EQ(record, "-purgecaches -upgradestartup\n");
    EXPECT_TRUE(IsClientRunning(client));
    EXPECT_TRUE(TerminateClient(client));
    for (int i = 0; i < 50 && IsClientRunning(client); ++i)
        Sleep(100);
    EXPECT_FALSE(IsClientRunning(client));
}

TEST(LaunchClient, MissingProgramGivesTheSystemError) {
    EXPECT_EQ(static_cast<std::uint32_t>(LaunchClient(L"C:\\no such folder\\ostramail.exe")), 0x80070003u);
}

TEST(GetIntegrityLevel, ReadsOwnLevelAndRefusesMissingPlace) {
    DWORD level = 0;
    EXPECT_EQ(GetIntegrityLevel(GetCurrentProcessId(), &level), 0);
    EXPECT_TRUE(level == kIntegrityHigh || level == kIntegrityMedium || level == 0x1000 || level == 0x4000);
    EXPECT_EQ(GetIntegrityLevel(GetCurrentProcessId(), nullptr), kResultInvalidArg);
    level = 0;
    EXPECT_EQ(GetIntegrityLevel(0xFFFFFFF0u, &level), 0);
    EXPECT_EQ(level, kIntegrityHigh) << "unreadable level counts as high";
}
