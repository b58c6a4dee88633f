#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CopyEngine.h"
#include "RingLayout.h"
#include "TempTree.h"

namespace {

constexpr uint64_t kHour = 36000000000ull; // in FILETIME units
constexpr uint64_t kBaseTime = 132000000000000000ull;
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Records every request and, when asked, fails some of them.
class RecordingObserver : public ICopyIoObserver {
public:
    std::function<uint32_t(const CopyIoRequest&)> failWith;

    // failWith runs outside the lock, so that a request it delays holds up
    // only its own thread.
    uint32_t OnIoRequest(const CopyIoRequest& request) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(Entry{request, request.path ? request.path : L""});
        }
        return failWith ? failWith(request) : 0;
    }

    struct Entry {
        CopyIoRequest request;
        std::wstring path;
    };
    std::vector<Entry> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    std::mutex mutex_;
    std::vector<Entry> requests_;
};

CopyProgress RunToEnd(CCopyEngine& engine, const std::wstring& source, const std::wstring& destination) {
    engine.AddJob(source.c_str(), destination.c_str());
    CopyProgress progress = {};
    for (int waited = 0; waited < 120000; waited += 10) {
        engine.GetProgress(&progress);
        if (progress.runEnded)
            break;
        Sleep(10);
    }
    return progress;
}

void ExpectComplete(const CopyProgress& p, uint32_t files, uint64_t bytes) {
    EXPECT_NE(p.runEnded, 0u);
    EXPECT_EQ(p.errors, 0u);
    EXPECT_EQ(p.filesTotal, files);
    EXPECT_EQ(p.filesCopied, files);
    EXPECT_EQ(p.bytesTotal, bytes);
    EXPECT_EQ(p.bytesDone, bytes);
}

// Facts of every entry below root, taken before the copy: reading a file
// afterwards (as the engine and the comparison do) moves its access time.
using TreeFacts = std::map<std::wstring, FileFacts>;
TreeFacts Snapshot(const std::wstring& root) {
    TreeFacts facts;
    for (const std::wstring& entry : ListTree(root))
        facts[entry] = Facts(root + L"\\" + entry);
    return facts;
}

void ExpectSameFile(const FileFacts& from, const std::wstring& source, const std::wstring& copy) {
    FileFacts to = Facts(copy);
    ASSERT_TRUE(to.found) << copy.c_str();
    EXPECT_EQ(to.size, from.size);
    if (from.size > 0) {
        EXPECT_EQ(to.writeTime, from.writeTime);
        EXPECT_EQ(to.accessTime, from.accessTime);
        EXPECT_EQ(to.attributes & kKeptAttributes, from.attributes & kKeptAttributes);
    }
    EXPECT_TRUE(ReadAll(source) == ReadAll(copy)) << copy.c_str();
}

void ExpectCopyOf(const std::wstring& source, const TreeFacts& before, const std::wstring& copy) {
    std::vector<std::wstring> entries;
    for (const auto& entry : before)
        entries.push_back(entry.first);
    ASSERT_EQ(ListTree(copy), entries);
    for (const auto& entry : before) {
        if (entry.first.back() != L'\\')
            ExpectSameFile(entry.second, source + L"\\" + entry.first, copy + L"\\" + entry.first);
    }
}

} // namespace

TEST(CopyEngine, CopiesATreeExactlyWithTimesAndAttributes) {
    TempTree tree;
    const std::wstring src = tree.Path(L"src"), dst = tree.Path(L"dst");
    MakeDirs(src + L"\\nested\\empty\\folders");
    MakeDirs(src + L"\\.cache");
    MakeDirs(src + L"\\邮件");
    MakeDirs(dst);
    const uint64_t sizes[] = {0, 10, 511, 512, 65535, 65536, 1000000, 8388609};
    uint64_t total = 0;
    uint32_t files = 0;
    for (uint64_t size : sizes) {
        DWORD attributes = size == 511 ? FILE_ATTRIBUTE_READONLY : size == 65535 ? FILE_ATTRIBUTE_HIDDEN : 0;
        WritePatternFile(src + L"\\f" + std::to_wstring(size), size, uint32_t(size), kBaseTime + files * kHour,
                         attributes);
        total += size;
        ++files;
    }
    WritePatternFile(src + L"\\.profile", 1234, 7, kBaseTime + 100 * kHour);
    WritePatternFile(src + L"\\.cache\\state", 4096, 8, kBaseTime + 101 * kHour);
    WritePatternFile(src + L"\\邮件\\收件箱.msf", 3000, 9, kBaseTime + 102 * kHour, FILE_ATTRIBUTE_READONLY);
    total += 1234 + 4096 + 3000;
    files += 3;

    const TreeFacts before = Snapshot(src);
    CCopyEngine engine;
    RecordingObserver observer;
    engine.SetIoObserver(&observer);
    CopyProgress progress = RunToEnd(engine, src, dst);
    ExpectComplete(progress, files, total);
    ExpectCopyOf(src, before, dst);

    // Unbuffered requests must be sector-aligned in offset, length and
    // buffer; no request exceeds 8 MiB.
    int bigFileWrites = 0;
    for (const auto& entry : observer.Requests()) {
        const CopyIoRequest& r = entry.request;
        EXPECT_LE(r.length, 8u << 20);
        if (r.isWrite && entry.path.find(L"f8388609") != std::wstring::npos)
            ++bigFileWrites;
        if (r.isWrite && entry.path.find(L"f10") != std::wstring::npos && entry.path.size() >= 3 &&
            entry.path.compare(entry.path.size() - 3, 3, L"f10") == 0) {
            EXPECT_FALSE(r.unbuffered);
            EXPECT_EQ(r.length, 10u);
        }
        if (!r.unbuffered)
            continue;
        ASSERT_GE(r.sector, 512u);
        EXPECT_EQ(r.offset % r.sector, 0u) << entry.path.c_str();
        EXPECT_EQ(r.length % r.sector, 0u) << entry.path.c_str();
        EXPECT_EQ(reinterpret_cast<uintptr_t>(r.buffer) % r.sector, 0u) << entry.path.c_str();
    }
    EXPECT_GE(bigFileWrites, 2);
}

TEST(CopyEngine, CopiesPathsLongerThanMaxPath) {
    TempTree tree;
    std::wstring deep = tree.Path(L"src");
    for (int i = 0; i < 3; ++i)
        deep += L"\\" + std::wstring(100, wchar_t(L'a' + i));
    MakeDirs(deep);
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(deep + L"\\深处的文件.dat", 70000, 3, kBaseTime);
    ASSERT_GT(deep.size(), 300u);

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    // The source given already in long-path form works the same.
    CopyProgress progress = RunToEnd(engine, Long(tree.Path(L"src")), tree.Path(L"dst"));
    ExpectComplete(progress, 1, 70000);
    ExpectCopyOf(tree.Path(L"src"), before, tree.Path(L"dst"));
}

TEST(CopyEngine, OverwritesAReadOnlyCopyAlreadyAtTheDestination) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"src\\prefs.js"), 700, 1, kBaseTime);
    // Longer than the new file: what is left of it must not survive.
    WritePatternFile(tree.Path(L"dst\\prefs.js"), 100000, 2, kBaseTime, FILE_ATTRIBUTE_READONLY);

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    ExpectComplete(RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst")), 1, 700);
    ExpectCopyOf(tree.Path(L"src"), before, tree.Path(L"dst"));
}

TEST(CopyEngine, RefusesADestinationThatIsOrLiesInsideTheSource) {
    TempTree tree;
    MakeDirs(tree.Path(L"src\\Profiles"));
    WritePatternFile(tree.Path(L"src\\a.txt"), 300, 1, kBaseTime);
    CCopyEngine engine;
    // Inside it, onto it, and onto it in another spelling (a short name).
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(tree.Path(L"src\\Profiles").c_str(), shortName, MAX_PATH), 0u);
    for (const std::wstring& destination : {tree.Path(L"src\\Profiles"), tree.Path(L"src"), std::wstring(shortName)}) {
        CopyProgress progress = RunToEnd(engine, tree.Path(L"src"), destination);
        EXPECT_NE(progress.runEnded, 0u) << destination;
        EXPECT_EQ(progress.errors, 1u) << destination;
        EXPECT_EQ(progress.filesCopied, 0u) << destination;
        EXPECT_EQ(ListTree(tree.Path(L"src")), (std::vector<std::wstring>{L"Profiles\\", L"a.txt"})) << destination;
    }
}

TEST(CopyEngine, RefusesBadJobsWithAnErrorAndAnEndedRun) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"src\\a"), 10, 1);
    WritePatternFile(tree.Path(L"file"), 10, 1);
    WritePatternFile(tree.Path(L"big"), 9 * 1024 * 1024 + 1, 2);
    const std::vector<unsigned char> big = ReadAll(tree.Path(L"big"));
    const std::pair<std::wstring, std::wstring> jobs[] = {
        {tree.Path(L"missing"), tree.Path(L"dst")},
        {tree.Path(L"src"), tree.Path(L"file")},
        {tree.Path(L"src"), tree.Path(L"nowhere")},
        {tree.Path(L"big"), tree.Path()}, // a file into its own folder would overwrite itself
    };
    CCopyEngine engine;
    for (const auto& job : jobs) {
        CopyProgress progress = RunToEnd(engine, job.first, job.second);
        EXPECT_NE(progress.runEnded, 0u);
        EXPECT_EQ(progress.errors, 1u);
        EXPECT_EQ(progress.filesTotal, 0u);
        EXPECT_EQ(progress.bytesTotal, 0u);
        // Each refusal says where and why.
        const std::vector<CopyFailure> failures = engine.GetFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_FALSE(failures[0].path.empty());
        EXPECT_TRUE(failures[0].error != 0 || failures[0].kind != CopyFailureKind::SystemError);
    }
    EXPECT_EQ(ListTree(tree.Path(L"dst")).size(), 0u);
    EXPECT_TRUE(ReadAll(tree.Path(L"big")) == big);
}

TEST(CopyEngine, AFolderThatCannotBeCreatedIsAnErrorAndSoIsEachFileBelowIt) {
    TempTree tree;
    MakeDirs(tree.Path(L"src\\sub"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"src\\sub\\x"), 100, 1);
    WritePatternFile(tree.Path(L"src\\sub\\y"), 200, 2);
    WritePatternFile(tree.Path(L"src\\z"), 300, 3);
    WritePatternFile(tree.Path(L"dst\\sub"), 1, 4); // a file where the folder should go

    CCopyEngine engine;
    CopyProgress progress = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
    EXPECT_NE(progress.runEnded, 0u);
    EXPECT_EQ(progress.errors, 3u);
    EXPECT_EQ(progress.filesCopied, 1u);
    EXPECT_EQ(progress.bytesDone, 300u);
    EXPECT_EQ(Facts(tree.Path(L"dst\\sub")).size, 1u);
}

TEST(CopyEngine, EndsRunsOfNothingAndStartsAFreshRecordForTheNextRun) {
    TempTree tree;
    MakeDirs(tree.Path(L"src\\a\\b"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"single.bin"), 5000, 1, kBaseTime);

    const FileFacts single = Facts(tree.Path(L"single.bin"));
    CCopyEngine engine;
    ExpectComplete(RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst")), 0, 0);
    EXPECT_EQ(ListTree(tree.Path(L"dst")), (std::vector<std::wstring>{L"a\\", L"a\\b\\"}));

    // A single file goes into the destination under its own name.
    ExpectComplete(RunToEnd(engine, tree.Path(L"single.bin"), tree.Path(L"dst\\a")), 1, 5000);
    ExpectSameFile(single, tree.Path(L"single.bin"), tree.Path(L"dst\\a\\single.bin"));
}

// A file held open by another program is named and missed; the walk goes on
// past it, so that everything else is copied.
TEST(CopyEngine, ALockedSourceFileIsMissedAndTheRestIsCopied) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    for (int i = 0; i < 4; ++i)
        WritePatternFile(tree.Path(L"src\\f" + std::to_wstring(i)), 20000, i, kBaseTime);
    HANDLE lock = CreateFileW(Long(tree.Path(L"src\\f2")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    CopyProgress progress = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
    CloseHandle(lock);
    EXPECT_NE(progress.runEnded, 0u);
    EXPECT_GE(progress.errors, 1u);
    EXPECT_EQ(progress.bytesTotal, 80000u);
    EXPECT_EQ(progress.filesCopied, 3u);
    EXPECT_EQ(progress.bytesDone, 60000u);
    EXPECT_EQ(ListTree(tree.Path(L"dst")), (std::vector<std::wstring>{L"f0", L"f1", L"f3"}));
    for (const std::wstring& name : ListTree(tree.Path(L"dst")))
        ExpectSameFile(before.at(name), tree.Path(L"src\\" + name), tree.Path(L"dst\\" + name));
    const std::vector<CopyFailure> failures = engine.GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].error, uint32_t(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(failures[0].path, tree.Path(L"src\\f2"));
}

TEST(CopyEngine, AFileThatFailsAfterBeingCountedTakesItsBytesBack) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"src\\big"), 9000000, 1, kBaseTime);
    WritePatternFile(tree.Path(L"src\\small"), 3000, 2, kBaseTime);
    WritePatternFile(tree.Path(L"src\\unreadable"), 100000, 3, kBaseTime);

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    RecordingObserver observer;
    observer.failWith = [](const CopyIoRequest& r) -> uint32_t {
        std::wstring path = r.path;
        if (r.isWrite && path.find(L"big") != std::wstring::npos && r.offset > 0)
            return ERROR_WRITE_FAULT; // the second chunk, after 8 MiB were counted
        if (r.step == CopyIoStep::Read && path.find(L"unreadable") != std::wstring::npos)
            return ERROR_CRC;
        return 0;
    };
    engine.SetIoObserver(&observer);
    CopyProgress progress = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
    EXPECT_NE(progress.runEnded, 0u);
    EXPECT_EQ(progress.filesTotal, 3u);
    EXPECT_EQ(progress.filesCopied, 1u);
    EXPECT_GE(progress.errors, 2u);
    EXPECT_EQ(progress.bytesDone, 3000u);
    ExpectSameFile(before.at(L"small"), tree.Path(L"src\\small"), tree.Path(L"dst\\small"));
}

// Reads of a whole chunk shrink in 1 MiB steps while the system runs short of
// resources. Writes go out in requests of at most 1 MiB, so there is nothing
// smaller to try: a write refused that way fails its file, and nothing of the
// file is left.
TEST(CopyEngine, ShrinksRequestsWhenTheSystemRunsShortOfResources) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"src\\big"), 20000000, 1, kBaseTime);

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    RecordingObserver observer;
    observer.failWith = [](const CopyIoRequest& r) -> uint32_t {
        return r.length > 6u * 1024 * 1024 ? ERROR_NO_SYSTEM_RESOURCES : 0;
    };
    engine.SetIoObserver(&observer);
    ExpectComplete(RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst")), 1, 20000000);
    ExpectCopyOf(tree.Path(L"src"), before, tree.Path(L"dst"));
    bool sawShrunkRead = false;
    size_t writes = 0;
    for (const auto& entry : observer.Requests()) {
        if (entry.request.step == CopyIoStep::Read && entry.request.length == 6u * 1024 * 1024)
            sawShrunkRead = true;
        if (entry.request.step == CopyIoStep::Write) {
            ++writes;
            EXPECT_LE(entry.request.length, 1024u * 1024);
        }
    }
    EXPECT_TRUE(sawShrunkRead);
    EXPECT_GT(writes, 0u);

    const std::wstring again = tree.Path(L"again");
    MakeDirs(again);
    CCopyEngine refusing;
    RecordingObserver refusals;
    refusals.failWith = [](const CopyIoRequest& r) -> uint32_t {
        return r.step == CopyIoStep::Write && r.offset >= 4u * 1024 * 1024 ? ERROR_NO_SYSTEM_RESOURCES : 0;
    };
    refusing.SetIoObserver(&refusals);
    CopyProgress progress = RunToEnd(refusing, tree.Path(L"src"), again);
    EXPECT_NE(progress.runEnded, 0u);
    EXPECT_GE(progress.errors, 1u);
    EXPECT_EQ(progress.filesCopied, 0u);
    EXPECT_EQ(progress.bytesDone, 0u);
    EXPECT_TRUE(ListTree(again).empty());
}

// The owner takes bytes done equal to bytes total as the end of the copy, so
// that must never be seen before the file is in place with its exact size and
// times, and bytes done must never run past the total (sector padding).
TEST(CopyEngine, ProgressNeverRunsAheadOfTheFilesInPlace) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    WritePatternFile(tree.Path(L"src\\inbox"), 1000000, 1, kBaseTime);
    const FileFacts source = Facts(tree.Path(L"src\\inbox"));
    CCopyEngine engine;
    for (int run = 0; run < 10; ++run) {
        std::wstring dst = tree.Path(L"dst" + std::to_wstring(run));
        MakeDirs(dst);
        engine.AddJob(tree.Path(L"src").c_str(), dst.c_str());
        CopyProgress progress = {};
        bool checkedAtFull = false;
        do {
            engine.GetProgress(&progress);
            ASSERT_LE(progress.bytesDone, progress.bytesTotal);
            if (progress.bytesDone == progress.bytesTotal && progress.bytesTotal > 0 && !checkedAtFull) {
                FileFacts copy = Facts(dst + L"\\inbox");
                EXPECT_EQ(copy.size, source.size);
                EXPECT_EQ(copy.writeTime, source.writeTime);
                checkedAtFull = true;
            }
        } while (!progress.runEnded);
        EXPECT_TRUE(checkedAtFull);
        EXPECT_EQ(progress.errors, 0u);
    }
}

// Two files of four full chunks and a short one: while the writer is still on
// the second file's first chunk, the reader fills the ring and places the
// short last chunk at the ring's start, which must wait for that first chunk
// instead of overwriting it.
TEST(CopyEngine, AReaderFarAheadNeverOverwritesAChunkNotYetWritten) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    for (const wchar_t* name : {L"src\\a", L"src\\b"}) {
        WritePatternFile(tree.Path(name), 33u << 20, 1, kBaseTime);
        // The pattern repeats every 16 MiB: make the last MiB differ from the first.
        HANDLE file = CreateFileW(Long(tree.Path(name)).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::vector<unsigned char> tail(1u << 20, 0x5A);
        DWORD written = 0;
        SetFilePointer(file, 32 << 20, nullptr, FILE_BEGIN);
        WriteFile(file, tail.data(), DWORD(tail.size()), &written, nullptr);
        FILETIME time = {static_cast<DWORD>(kBaseTime), static_cast<DWORD>(kBaseTime >> 32)};
        SetFileTime(file, &time, &time, &time);
        CloseHandle(file);
    }

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    RecordingObserver observer;
    observer.failWith = [](const CopyIoRequest& r) -> uint32_t {
        if (r.isWrite && r.offset == 0)
            Sleep(700);
        return 0;
    };
    engine.SetIoObserver(&observer);
    ExpectComplete(RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst")), 2, 66u << 20);
    ExpectCopyOf(tree.Path(L"src"), before, tree.Path(L"dst"));
}

// Chunks are placed by their sizes alone: eight files of one size, whose data
// and one sector for the header take 1/8 of the ring each, put the eighth
// file's first chunk, record and paths included, into the ring's last bytes
// (its data ends one sector before the end). The writer must take back only
// what the reader stored there, never a whole record reaching past the ring.
TEST(CopyEngine, AFirstChunkInTheRingsLastBytesIsReadBackWithinTheRing) {
    constexpr uint32_t kFiles = 8;
    constexpr uint64_t kSector = 512;
    constexpr uint64_t kSize = kStagingRingBytes / kFiles - kSector - 100;
    static_assert(kStagingRingBytes % (kFiles * kSector) == 0, "each file's share must be whole sectors");
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    for (uint32_t i = 0; i < kFiles; ++i)
        WritePatternFile(tree.Path(L"src\\f" + std::to_wstring(i)), kSize, 40 + i, kBaseTime + i * kHour);

    const TreeFacts before = Snapshot(tree.Path(L"src"));
    CCopyEngine engine;
    RecordingObserver observer;
    engine.SetIoObserver(&observer);
    ExpectComplete(RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst")), kFiles, kFiles * kSize);
    ExpectCopyOf(tree.Path(L"src"), before, tree.Path(L"dst"));

    // The case this test is about did happen: the reads show where each
    // chunk's data lay, the first at the ring's start.
    const unsigned char* ringStart = nullptr;
    uint64_t lastDataEnd = 0;
    for (const auto& entry : observer.Requests()) {
        const CopyIoRequest& r = entry.request;
        if (r.step != CopyIoStep::Read)
            continue;
        ASSERT_EQ(r.sector, kSector);
        const auto* data = static_cast<const unsigned char*>(r.buffer);
        if (!ringStart)
            ringStart = data;
        lastDataEnd = std::max<uint64_t>(lastDataEnd, uint64_t(data - ringStart) + r.length);
    }
    EXPECT_EQ(lastDataEnd, kStagingRingBytes - kSector);
}

TEST(CopyEngine, CanBeDestroyedWhileARunIsGoing) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    for (int i = 0; i < 4; ++i)
        WritePatternFile(tree.Path(L"src\\f" + std::to_wstring(i)), 12000000, i, kBaseTime);
    DWORD started = GetTickCount();
    {
        CCopyEngine engine;
        engine.AddJob(tree.Path(L"src").c_str(), tree.Path(L"dst").c_str());
        Sleep(20);
    }
    EXPECT_LT(GetTickCount() - started, 5000u);
}

// Files and folders that disappear between the count and the copy are
// errors, never a run that silently ends short.
TEST(CopyEngine, CountsWhatVanishedAfterTheCountAsErrors) {
    TempTree tree;
    MakeDirs(tree.Path(L"src\\sub"));
    MakeDirs(tree.Path(L"dst"));
    const std::wstring names[] = {L"a", L"b", L"sub\\c", L"sub\\d"};
    for (const std::wstring& name : names)
        WritePatternFile(tree.Path(L"src\\" + name), 1000, 1, kBaseTime);

    CCopyEngine engine;
    RecordingObserver observer;
    std::wstring firstRead;
    observer.failWith = [&](const CopyIoRequest& r) -> uint32_t {
        if (r.step == CopyIoStep::Read && firstRead.empty()) {
            firstRead = r.path;
            for (const std::wstring& name : names) {
                std::wstring path = Long(tree.Path(L"src\\" + name));
                if (firstRead != path)
                    DeleteFileW(path.c_str());
            }
            RemoveDirectoryW(Long(tree.Path(L"src\\sub")).c_str());
        }
        return 0;
    };
    engine.SetIoObserver(&observer);
    CopyProgress progress = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
    EXPECT_NE(progress.runEnded, 0u);
    EXPECT_EQ(progress.filesTotal, 4u);
    EXPECT_EQ(progress.filesCopied, 1u);
    EXPECT_EQ(progress.bytesDone, 1000u);
    EXPECT_GE(progress.errors, 1u);
}

// A tree changed after the count, in a folder the walk has not reached yet:
// the run is incomplete, its figures never pass the count, and a failure says
// where (the file, or the tree when only something missing shows it).
TEST(CopyEngine, ATreeChangedAfterTheCountEndsIncompleteAndSaysWhere) {
    enum class Change { Deleted, Added, Grown };
    for (Change change : {Change::Deleted, Change::Added, Change::Grown}) {
        SCOPED_TRACE(int(change));
        TempTree tree;
        MakeDirs(tree.Path(L"src\\x"));
        MakeDirs(tree.Path(L"src\\y"));
        MakeDirs(tree.Path(L"dst"));
        WritePatternFile(tree.Path(L"src\\x\\f"), 1000, 1, kBaseTime);
        WritePatternFile(tree.Path(L"src\\y\\f"), 1000, 2, kBaseTime);

        CCopyEngine engine;
        RecordingObserver observer;
        std::wstring other;
        observer.failWith = [&](const CopyIoRequest& r) -> uint32_t {
            if (r.step != CopyIoStep::Read || !other.empty())
                return 0;
            // Each folder holds one file: the one not being read is not reached yet.
            other = tree.Path(std::wstring(r.path).find(L"\\x\\") != std::wstring::npos ? L"src\\y" : L"src\\x");
            if (change == Change::Deleted)
                DeleteFileW(Long(other + L"\\f").c_str());
            else if (change == Change::Added)
                WritePatternFile(other + L"\\g", 1000, 3, kBaseTime);
            else
                WritePatternFile(other + L"\\f", 1500, 4, kBaseTime);
            return 0;
        };
        engine.SetIoObserver(&observer);
        const CopyProgress p = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
        EXPECT_NE(p.runEnded, 0u);
        EXPECT_EQ(p.filesTotal, 2u);
        EXPECT_EQ(p.bytesTotal, 2000u);
        EXPECT_LE(p.bytesDone, p.bytesTotal);
        EXPECT_LE(p.filesCopied, p.filesTotal);
        EXPECT_GE(p.errors, 1u);
        const std::vector<CopyFailure> failures = engine.GetFailures();
        ASSERT_FALSE(failures.empty());
        const std::wstring named = change == Change::Deleted ? tree.Path(L"src") : other + L"\\";
        bool said = false;
        for (const CopyFailure& failure : failures) {
            EXPECT_TRUE(failure.kind != CopyFailureKind::SystemError || failure.error != 0) << failure.path.c_str();
            said |= failure.kind == CopyFailureKind::ChangedSinceCounted && failure.path.rfind(named, 0) == 0;
        }
        EXPECT_TRUE(said) << failures.front().path.c_str();
    }
}

TEST(CopyEngine, NamesEachFailedFileWithItsErrorOnceAndStartsEachRunWithoutOld) {
    TempTree tree;
    MakeDirs(tree.Path(L"src"));
    MakeDirs(tree.Path(L"dst"));
    WritePatternFile(tree.Path(L"src\\locked"), 5000, 1, kBaseTime);
    HANDLE lock =
        CreateFileW(Long(tree.Path(L"src\\locked")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    CCopyEngine engine;
    CopyProgress progress = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
    CloseHandle(lock);
    EXPECT_GE(progress.errors, 1u);
    const std::vector<CopyFailure> failures = engine.GetFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].error, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(failures[0].path, tree.Path(L"src\\locked")) << "shown without the long-path prefix";

    progress = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
    EXPECT_EQ(progress.errors, 0u);
    EXPECT_TRUE(engine.GetFailures().empty());
}

namespace {

// Overwrites a file in place, as a program that keeps it open would: shared,
// without truncating, then a new write time.
void RewriteInPlace(const std::wstring& path, uint64_t size, uint64_t writeTime) {
    HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> block(1 << 20, 0xA5);
    for (uint64_t done = 0; done < size;) {
        DWORD piece = DWORD(std::min<uint64_t>(block.size(), size - done)), written = 0;
        WriteFile(file, block.data(), piece, &written, nullptr);
        done += piece;
    }
    FILETIME time = {static_cast<DWORD>(writeTime), static_cast<DWORD>(writeTime >> 32)};
    SetFileTime(file, &time, &time, &time);
    CloseHandle(file);
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A tree of one file that spans two chunks, is not a whole number of sectors
// (so it is padded, reopened and cut) and is read-only (so its attributes are
// set), beside a small file that copies normally.
struct FaultTree {
    TempTree tree;
    std::wstring src = tree.Path(L"src"), dst = tree.Path(L"dst");
    std::vector<unsigned char> victimBytes;
    FaultTree() {
        MakeDirs(src);
        MakeDirs(dst);
        WritePatternFile(src + L"\\victim", 9000001, 1, kBaseTime, FILE_ATTRIBUTE_READONLY);
        WritePatternFile(src + L"\\other", 5000, 2, kBaseTime);
        victimBytes = ReadAll(src + L"\\victim");
    }
};

} // namespace

// Whichever step of a file's copy fails, the file is an error, nothing of it
// is left at the destination, the run never claims completion and it ends.
TEST(CopyEngine, EveryFailingStepLeavesNoPartialFileBehind) {
    struct Case {
        const char* name;
        std::function<bool(const CopyIoRequest&)> matches;
    };
    auto step = [](CopyIoStep s) { return [s](const CopyIoRequest& r) { return r.step == s; }; };
    const Case cases[] = {
        {"create", step(CopyIoStep::CreateDestination)},
        {"first write", [](const CopyIoRequest& r) { return r.step == CopyIoStep::Write && r.offset == 0; }},
        {"middle write", [](const CopyIoRequest& r) { return r.step == CopyIoStep::Write && r.offset > 0; }},
        {"trim reopen", step(CopyIoStep::ReopenForTrim)},
        {"final end of file", step(CopyIoStep::SetEnd)},
        {"times", step(CopyIoStep::SetTimes)},
        {"attributes", step(CopyIoStep::SetAttributes)},
        {"close", step(CopyIoStep::CloseDestination)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FaultTree tree;
        CCopyEngine engine;
        RecordingObserver observer;
        std::atomic<int> injected{0};
        observer.failWith = [&](const CopyIoRequest& r) -> uint32_t {
            if (!EndsWith(r.path, L"\\victim") || !c.matches(r))
                return 0;
            ++injected;
            return ERROR_WRITE_FAULT;
        };
        engine.SetIoObserver(&observer);
        CopyProgress progress = RunToEnd(engine, tree.src, tree.dst);
        EXPECT_NE(progress.runEnded, 0u);
        EXPECT_GE(injected.load(), 1);
        EXPECT_GE(progress.errors, 1u);
        EXPECT_EQ(progress.filesCopied, 1u);
        EXPECT_EQ(progress.bytesDone, 5000u);
        EXPECT_EQ(ListTree(tree.dst), std::vector<std::wstring>{L"other"});
        EXPECT_TRUE(ReadAll(tree.src + L"\\victim") == tree.victimBytes);
    }
}

// A failed file replaces an earlier copy of itself only with nothing: the
// old copy was cut when the new one started.
TEST(CopyEngine, AFailedCopyOverAnEarlierCopyLeavesNeither) {
    FaultTree tree;
    WritePatternFile(tree.dst + L"\\victim", 20000000, 3, kBaseTime);
    CCopyEngine engine;
    RecordingObserver observer;
    observer.failWith = [](const CopyIoRequest& r) -> uint32_t {
        return r.step == CopyIoStep::Write && r.offset > 0 && EndsWith(r.path, L"\\victim") ? ERROR_DISK_FULL : 0;
    };
    engine.SetIoObserver(&observer);
    CopyProgress progress = RunToEnd(engine, tree.src, tree.dst);
    EXPECT_GE(progress.errors, 1u);
    EXPECT_EQ(ListTree(tree.dst), std::vector<std::wstring>{L"other"});
}

// A partial file that cannot be removed is moved out of its name and left to
// be removed at restart.
TEST(CopyEngine, APartialFileThatCannotBeRemovedIsMovedAsideForRestart) {
    FaultTree tree;
    CCopyEngine engine;
    RecordingObserver observer;
    observer.failWith = [](const CopyIoRequest& r) -> uint32_t {
        if (!EndsWith(r.path, L"\\victim"))
            return 0;
        bool fail = (r.step == CopyIoStep::Write && r.offset > 0) || r.step == CopyIoStep::DiscardPartial;
        return fail ? ERROR_ACCESS_DENIED : 0;
    };
    engine.SetIoObserver(&observer);
    CopyProgress progress = RunToEnd(engine, tree.src, tree.dst);
    EXPECT_GE(progress.errors, 1u);
    std::vector<std::wstring> left = ListTree(tree.dst);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0], L"other");
    const std::wstring aside = left[1];
    EXPECT_EQ(aside.compare(0, 7, L"victim."), 0);
    EXPECT_TRUE(EndsWith(aside, L".partial"));

    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                            KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    std::vector<wchar_t> pending(1 << 16);
    DWORD bytes = DWORD(pending.size() * sizeof(wchar_t));
    LONG status = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(pending.data()), &bytes);
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
    bool scheduled = false;
    for (const wchar_t* entry = pending.data(); *entry; entry += wcslen(entry) + 1) {
        if (EndsWith(entry, aside))
            scheduled = true;
    }
    EXPECT_TRUE(scheduled);
}

// A source written to while it is read fails, whether the change falls into
// a file of one chunk or into the second chunk of a larger one; the file's
// counted bytes are taken back and nothing of it is left.
TEST(CopyEngine, ASourceChangedWhileItIsReadIsNeverCopied) {
    for (uint64_t size : {uint64_t(300000), uint64_t(12000000)}) {
        SCOPED_TRACE(size);
        TempTree tree;
        const std::wstring src = tree.Path(L"src"), dst = tree.Path(L"dst");
        MakeDirs(src);
        MakeDirs(dst);
        WritePatternFile(src + L"\\inbox", size, 1, kBaseTime);
        WritePatternFile(src + L"\\calm", 7000, 2, kBaseTime);
        CCopyEngine engine;
        RecordingObserver observer;
        bool rewritten = false;
        observer.failWith = [&](const CopyIoRequest& r) -> uint32_t {
            bool lastPiece = size < 8u * 1024 * 1024 || r.offset > 0;
            if (r.step == CopyIoStep::Read && EndsWith(r.path, L"\\inbox") && lastPiece && !rewritten) {
                rewritten = true;
                // Another program rewrites the mailbox in place: same size,
                // new contents, a new write time.
                RewriteInPlace(src + L"\\inbox", size, kBaseTime + kHour);
            }
            return 0;
        };
        engine.SetIoObserver(&observer);
        CopyProgress progress = RunToEnd(engine, src, dst);
        EXPECT_TRUE(rewritten);
        EXPECT_NE(progress.runEnded, 0u);
        EXPECT_GE(progress.errors, 1u);
        EXPECT_EQ(progress.filesCopied, 1u);
        EXPECT_EQ(progress.bytesDone, 7000u);
        EXPECT_EQ(ListTree(dst), std::vector<std::wstring>{L"calm"});
    }
}

// A destination file that is a hard link to its source is the source: it is
// neither cut nor written, and its attributes stay as they are.
TEST(CopyEngine, NeverWritesOverADestinationThatIsTheSourceItself) {
    TempTree tree;
    const std::wstring src = tree.Path(L"src"), dst = tree.Path(L"dst");
    MakeDirs(src);
    MakeDirs(dst);
    WritePatternFile(src + L"\\mbox", 9000001, 1, kBaseTime);
    WritePatternFile(src + L"\\locked.msf", 3000, 2, kBaseTime, FILE_ATTRIBUTE_READONLY);
    if (!CreateHardLinkW(Long(dst + L"\\mbox").c_str(), Long(src + L"\\mbox").c_str(), nullptr) ||
        !CreateHardLinkW(Long(dst + L"\\locked.msf").c_str(), Long(src + L"\\locked.msf").c_str(), nullptr)) {
        GTEST_SKIP() << "hard links cannot be made here";
    }
    const TreeFacts before = Snapshot(src);
    const std::vector<unsigned char> mbox = ReadAll(src + L"\\mbox");
    CCopyEngine engine;
    for (int run = 0; run < 2; ++run) { // a second run over the first must not succeed either
        CopyProgress progress = RunToEnd(engine, src, dst);
        EXPECT_NE(progress.runEnded, 0u);
        EXPECT_EQ(progress.errors, 2u);
        EXPECT_EQ(progress.filesCopied, 0u);
        EXPECT_EQ(progress.bytesDone, 0u);
        EXPECT_TRUE(ReadAll(src + L"\\mbox") == mbox);
        EXPECT_EQ(Facts(src + L"\\mbox").writeTime, before.at(L"mbox").writeTime);
        EXPECT_EQ(Facts(src + L"\\locked.msf").attributes & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(Facts(src + L"\\locked.msf").size, 3000u);
    }
}

// While a file is written, no folder on its way (made by the run, the
// destination, or one above it) can be moved aside for a link; once the run
// has ended they can.
TEST(CopyEngine, NoFolderOnTheWayToAFileCanBeMovedAsideDuringTheRun) {
    TempTree tree;
    const std::wstring top = tree.Path(L"out"), dst = top + L"\\dst", src = tree.Path(L"src");
    MakeDirs(src + L"\\a\\b");
    MakeDirs(dst);
    WritePatternFile(src + L"\\a\\b\\deep", 5000, 1, kBaseTime);
    const TreeFacts before = Snapshot(src);
    const std::wstring onTheWay[] = {dst + L"\\a\\b", dst + L"\\a", dst, top};
    std::vector<std::wstring> moved;
    CCopyEngine engine;
    RecordingObserver observer;
    observer.failWith = [&](const CopyIoRequest& r) -> uint32_t {
        if (r.step == CopyIoStep::CreateDestination) {
            for (const std::wstring& folder : onTheWay) {
                if (MoveFileW(Long(folder).c_str(), Long(folder + L"-aside").c_str()))
                    moved.push_back(folder);
            }
        }
        return 0;
    };
    engine.SetIoObserver(&observer);
    ExpectComplete(RunToEnd(engine, src, dst), 1, 5000);
    EXPECT_TRUE(moved.empty()) << ::testing::PrintToString(moved);
    ExpectCopyOf(src, before, dst);
    EXPECT_TRUE(MoveFileW(Long(dst + L"\\a").c_str(), Long(dst + L"\\a2").c_str()));
}

// With verify on, every copy is read back and compared with what was read
// from its source: a byte changed on the disk after the copy, a read-back
// that fails and a copy cut short behind the engine's back each leave the run
// incomplete with the file named; an undisturbed run reads back every byte.
TEST(CopyEngine, VerifyReadsEveryCopyBackAndNamesEachThatDiffers) {
    enum class Fault { None, FlippedByte, ReadFails, Shortened };
    for (Fault fault : {Fault::None, Fault::FlippedByte, Fault::ReadFails, Fault::Shortened}) {
        SCOPED_TRACE(int(fault));
        TempTree tree;
        MakeDirs(tree.Path(L"src\\sub"));
        MakeDirs(tree.Path(L"dst"));
        const uint64_t sizes[] = {0, 700, 65536, 9000001};
        uint64_t total = 0;
        for (uint64_t size : sizes) {
            WritePatternFile(tree.Path(L"src\\sub\\f" + std::to_wstring(size)), size, uint32_t(size + 3), kBaseTime);
            total += size;
        }
        const std::wstring victim = Long(tree.Path(L"dst\\sub\\f9000001"));

        CCopyEngine engine;
        engine.SetVerify(true);
        RecordingObserver observer;
        bool done = false;
        observer.failWith = [&](const CopyIoRequest& r) -> uint32_t {
            if (r.step != CopyIoStep::VerifyRead || std::wstring(r.path) != victim || done)
                return 0;
            done = true;
            if (fault == Fault::ReadFails)
                return ERROR_CRC;
            HANDLE file = CreateFileW(victim.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (fault == Fault::FlippedByte) {
                LARGE_INTEGER at;
                at.QuadPart = 8400000;
                SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
                DWORD written = 0;
                const unsigned char flipped = 0x5A;
                WriteFile(file, &flipped, 1, &written, nullptr);
            } else if (fault == Fault::Shortened) {
                LARGE_INTEGER at;
                at.QuadPart = 5000000;
                SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
                SetEndOfFile(file);
            }
            CloseHandle(file);
            return 0;
        };
        engine.SetIoObserver(&observer);
        const CopyProgress p = RunToEnd(engine, tree.Path(L"src"), tree.Path(L"dst"));
        EXPECT_EQ(p.bytesDone, total) << "the copy itself completed";
        EXPECT_EQ(p.verifyBytesTotal, total);
        if (fault == Fault::None) {
            ExpectComplete(p, 4, total);
            EXPECT_EQ(p.verifyBytesDone, total);
            continue;
        }
        EXPECT_GE(p.errors, 1u);
        const std::vector<CopyFailure> failures = engine.GetFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].kind, CopyFailureKind::VerifyFailed);
        EXPECT_EQ(failures[0].path, tree.Path(L"dst\\sub\\f9000001"));
        EXPECT_EQ(failures[0].error, fault == Fault::ReadFails ? uint32_t(ERROR_CRC) : 0u);
    }
}
