// The library as the installer sees it: loaded from bin/, called with a stack
// built the way the NSIS host builds it. Argument order and the documents'
// shapes through a real installer are checked by the end-to-end test.
#include "Md5.h"
#include "StatsDocument.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct StackEntry {
    StackEntry* next;
    wchar_t text[1];
};

struct ExtraParameters {
    void* execFlags;
    void* executeCodeSegment;
    void* validateFilename;
    int(__stdcall* registerPluginCallback)(HMODULE, void*);
};

using NsisExport = void(__cdecl*)(HWND, int, wchar_t*, StackEntry**, ExtraParameters*);
using EventTwin = wchar_t*(__cdecl*)(const wchar_t*, const wchar_t*, int, int, const wchar_t*, const wchar_t*);

int callbacksRegistered = 0;
int __stdcall RegisterCallback(HMODULE, void*) {
    ++callbacksRegistered;
    return 0;
}

class FakeInstaller {
public:
    explicit FakeInstaller(int stringSize) : stringSize_(stringSize) {}
    ~FakeInstaller() {
        while (top_)
            Pop();
    }

    void Push(const std::wstring& text) {
        auto* entry =
            static_cast<StackEntry*>(GlobalAlloc(GPTR, sizeof(StackEntry*) + (text.size() + 1) * sizeof(wchar_t)));
        wcscpy(entry->text, text.c_str());
        entry->next = top_;
        top_ = entry;
    }
    std::wstring Pop() {
        StackEntry* entry = top_;
        top_ = entry->next;
        std::wstring text = entry->text;
        GlobalFree(entry);
        return text;
    }
    size_t Depth() const {
        size_t n = 0;
        for (StackEntry* e = top_; e; e = e->next)
            ++n;
        return n;
    }
    void Call(NsisExport function) {
        ExtraParameters extra = {nullptr, nullptr, nullptr, &RegisterCallback};
        wchar_t variables[8] = {};
        function(nullptr, stringSize_, variables, &top_, &extra);
    }

private:
    int stringSize_;
    StackEntry* top_ = nullptr;
};

class TallywickLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
        std::wstring dir(path);
        dir = dir.substr(0, dir.find_last_of(L"\\/"));
        module_ = LoadLibraryW((dir + L"\\..\\bin\\Tallywick.dll").c_str());
    }
    static void TearDownTestSuite() {
        if (module_)
            FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "Tallywick.dll not found beside the tests"; }

    // Through the generic function pointer type, which converts to any other.
    static NsisExport Export(const char* name) {
        return reinterpret_cast<NsisExport>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }
    static EventTwin Twin() {
        return reinterpret_cast<EventTwin>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_, "DLLGetOneEventStatistics")));
    }

    static Json::Value Parse(const std::wstring& text) {
        std::string narrow;
        for (wchar_t c : text) {
            EXPECT_LT(static_cast<unsigned>(c), 0x80u);
            narrow += static_cast<char>(c);
        }
        Json::Value value;
        Json::Reader reader;
        EXPECT_TRUE(reader.parse(narrow, value)) << narrow.substr(0, 200);
        return value;
    }

    static HMODULE module_;
};

HMODULE TallywickLibrary::module_ = nullptr;

} // namespace

TEST_F(TallywickLibrary, EventFromEmptyStackIsSignedWithCidZero) {
    FakeInstaller installer(8192);
    int registeredBefore = callbacksRegistered;
    installer.Call(Export("NSISGetOneEventStatistics"));
    EXPECT_EQ(callbacksRegistered, registeredBefore + 1);
    ASSERT_EQ(installer.Depth(), 1u);
    std::wstring text = installer.Pop();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), L'\n');

    Json::Value doc = Parse(text);
    EXPECT_EQ(doc["cid"].asInt(), 0);
    EXPECT_EQ(doc["protocol"].asInt(), 0);
    EXPECT_EQ(doc["uuid"].asString(), "");
    EXPECT_EQ(doc["ver"].asString(), "");
    Json::Value flow = doc["events"][0]["flow"][0];
    EXPECT_EQ(flow["event_id"].asString(), "");
    ASSERT_EQ(flow["happened"].size(), 1u);
    EXPECT_EQ(flow["happened"][0].asInt64(), doc["time"].asInt64());
    EXPECT_EQ(doc["time"].asInt64() % 1000, 0);
    std::string timeText = std::to_string(doc["time"].asInt64());
    EXPECT_EQ(doc["sign"].asString(), Tallywick::Md5Hex("0" + timeText + "zumquerbalt_!*^~"));
}

TEST_F(TallywickLibrary, LongArgumentsReachTheDocumentWhole) {
    FakeInstaller roomy(40000);
    roomy.Push(std::wstring(20000, L'p'));
    roomy.Push(L"v");
    roomy.Push(std::wstring(1000, L'7')); // integer argument longer than its buffer
    roomy.Push(L"1");
    roomy.Push(L"e");
    roomy.Push(L"u");
    roomy.Call(Export("NSISGetOneEventStatistics"));
    ASSERT_EQ(roomy.Depth(), 1u);
    Json::Value doc = Parse(roomy.Pop());
    EXPECT_EQ(doc["p"].asString(), std::string(20000, 'p'));

    FakeInstaller small(100);
    small.Call(Export("NSISGetOneEventStatistics"));
    ASSERT_EQ(small.Depth(), 1u);
    EXPECT_EQ(small.Pop(), L""); // no room for any document
}

// The survey with an answer of the given length, pushed onto a host with that string size.
std::wstring UninstallDocument(NsisExport uninstallExport, int stringSize, size_t answerLength) {
    FakeInstaller installer(stringSize);
    for (const wchar_t* text : {L"os", L"3.1.4", L"138", L"a@b.cn", L"10001"})
        installer.Push(text);
    installer.Push(std::wstring(answerLength, L'q'));
    for (const wchar_t* text : {L"3", L"", L"1", L"FEDCBA98"})
        installer.Push(text);
    installer.Call(uninstallExport);
    EXPECT_EQ(installer.Depth(), 1u);
    return installer.Depth() == 1 ? installer.Pop() : L"<stack damaged>";
}

TEST_F(TallywickLibrary, DocumentIsPushedWholeOrEmptyNearTheLimit) {
    const NsisExport survey = Export("NSISGetUnInstallStatistics");
    UninstallDocument(survey, 40000, 0); // the disk identity may arrive only after a first call
    const size_t base = UninstallDocument(survey, 40000, 0).size();
    ASSERT_GT(base, 100u);
    std::printf("the survey document with this machine's profile has %u characters\n", static_cast<unsigned>(base));
    int wholeCount = 0, emptyCount = 0;
    for (int stringSize : {1024, 8192}) {
        const size_t room = static_cast<size_t>(stringSize) - 1;
        for (size_t over : {size_t(2), size_t(1), size_t(0)}) { // near, at and one past the limit
            const size_t documentLength = room - 1 + over;
            if (documentLength < base)
                continue; // the machine's own profile is already longer
            const size_t answerLength = documentLength - base;
            const std::wstring pushed = UninstallDocument(survey, stringSize, answerLength);
            const std::wstring whole = UninstallDocument(survey, 40000, answerLength);
            if (whole.size() <= room) {
                ++wholeCount;
                EXPECT_EQ(pushed.size(), whole.size()) << stringSize << " " << answerLength;
                EXPECT_EQ(Parse(pushed)["events"][0]["payload"].size(), 1u);
            } else {
                ++emptyCount;
                EXPECT_EQ(pushed, L"") << stringSize << " " << answerLength;
            }
        }
    }
    EXPECT_GE(wholeCount, 2);
    EXPECT_GE(emptyCount, 1);
}

TEST_F(TallywickLibrary, PlainTwinReturnsTheDocumentWithNonAsciiEscaped) {
    wchar_t* text = Twin()(L"U", L"事件", 3, 4, L"版本", L"");
    ASSERT_NE(text, nullptr);
    std::wstring result(text);
    delete[] text;
    EXPECT_EQ(result.back(), L'\n');
    Json::Value doc = Parse(result);
    EXPECT_EQ(doc["ver"].asString(), u8"版本");
    EXPECT_EQ(doc["events"][0]["flow"][0]["event_id"].asString(), u8"事件");
    EXPECT_EQ(doc["cid"].asInt(), 3);
}

TEST_F(TallywickLibrary, NullStackIsHarmless) {
    ExtraParameters extra = {nullptr, nullptr, nullptr, &RegisterCallback};
    Export("NSISGetOneEventStatistics")(nullptr, 1024, nullptr, nullptr, &extra);
    Export("NSISGetUnInstallStatistics")(nullptr, 1024, nullptr, nullptr, &extra);
    SUCCEED();
}
