// CCopyEngine: copies a file or the contents of a directory tree into an
// existing directory on background threads. The owner adds a job and polls
// the progress record; the engine never calls back.
#pragma once

#include <windows.h>

#include "ContentHash.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The owner's copy of the engine's progress. Every figure comes from one
// GetProgress call; the 64-bit figures are each read whole. Bytes done never
// count sector padding, and a file's last bytes count only once the file is
// in place with its exact size, times and attributes: bytes done equal to
// bytes total with no errors means the whole tree has been copied.
struct CopyProgress {
    uint32_t filesTotal;  // files counted by AddJob for the run
    uint32_t filesCopied; // files written completely, with their exact size
    uint32_t errors;      // failures; a run with errors never counts as complete
    uint64_t bytesTotal;  // bytes counted by AddJob for the run
    uint64_t bytesDone;   // bytes of files in place (a failed file's bytes are taken back)
    uint32_t startTick;   // GetTickCount() when the run started
    double elapsedSeconds;
    double averageSpeed; // MiB per second over the whole run
    uint32_t lastSampleTick;
    double currentSpeed; // MiB per second of the last write
    uint64_t currentFileSize;
    uint64_t currentFileDone;
    const wchar_t* currentSourcePath;      // engine-owned buffer, changes while the copy runs
    const wchar_t* currentDestinationPath; // engine-owned buffer, changes while the copy runs
    uint32_t runEnded; // non-zero once the run has ended (also for a job of zero bytes or one refused)
    // The read-back of the copies, when the run verifies: non-zero while the
    // pass runs, and its figures (file bytes read back and compared).
    uint32_t verifying;
    uint64_t verifyBytesTotal;
    uint64_t verifyBytesDone;
    uint32_t verifyMs; // how long the read-back took, once it has ended
};

// The step of a file's copy that a request stands for. Reads and writes
// carry offset, length and buffer; the other steps only the path.
enum class CopyIoStep : uint32_t {
    Read,
    Write,
    CreateDestination, // opening or creating the destination file
    ReopenForTrim,     // the buffered reopen that cuts the sector padding off
    SetEnd,            // cutting the destination to its exact size
    SetTimes,
    SetAttributes,
    CloseDestination,
    DiscardPartial, // removing the destination of a file that failed
    VerifyRead,     // reading a finished copy back to compare it with what was read from its source
};

// One request as the engine issues it.
struct CopyIoRequest {
    bool isWrite;    // step is Write
    bool unbuffered; // the handle was opened with FILE_FLAG_NO_BUFFERING
    uint64_t offset;
    uint32_t length;
    const void* buffer;
    uint32_t sector;     // the alignment the request must respect when unbuffered
    const wchar_t* path; // the file read from or written to
    CopyIoStep step;
};

// Sees every request before it is issued, on the engine's reader and writer
// threads. Returns 0 to let the request go ahead, or a Win32 error code that
// the request then fails with instead.
class ICopyIoObserver {
public:
    virtual uint32_t OnIoRequest(const CopyIoRequest& request) = 0;

protected:
    ~ICopyIoObserver() = default;
};

// What kind of failure a CopyFailure is.
enum class CopyFailureKind : uint32_t {
    SystemError,             // a call failed: error is its Windows error code
    ChangedSinceCounted,     // the file, or with a folder's path something below it, is not what the count found
    ChangedWhileRead,        // the file was written to while it was read
    CaseTwin,                // its name differs only in case from otherPath's, which was copied (or tried) first
    DestinationIsSource,     // the file at the destination is the source (otherPath) itself, reached through a link
    VerifyFailed,            // the copy read back differs from what was read (error 0) or could not be read (error)
    DestinationInsideSource, // the job's destination (path) is its source (otherPath) or lies inside it
    DestinationLeadsElsewhere, // what was already at path is a link or has another name: nothing written through it
};

// One failure of a run: the file or folder concerned (without a long-path
// prefix; empty when none applies) and why: the Windows error code it failed
// with, or for the engine's own findings a kind other than SystemError (error
// is then 0).
struct CopyFailure {
    uint32_t error;
    std::wstring path;
    CopyFailureKind kind = CopyFailureKind::SystemError;
    std::wstring otherPath; // for CaseTwin and DestinationIsSource
};

struct CopyJob;
struct ChunkHeader;
struct FileRecord;

class CCopyEngine {
public:
    CCopyEngine();
    virtual ~CCopyEngine();

    CCopyEngine(const CCopyEngine&) = delete;
    CCopyEngine& operator=(const CCopyEngine&) = delete;

    // Counts the job on the calling thread, queues it and starts the run in
    // the background; returns 1 always. A job that cannot be queued (missing
    // source, destination missing or not a directory, failed count) adds 1 to
    // the error count and, when no run is going, ends at once (runEnded set).
    // Called while a run is going, it first waits for that run to end.
    int AddJob(const wchar_t* source, const wchar_t* destination);

    // Copies the progress record without taking any lock. When the copy shows
    // runEnded, its other figures are the run's final ones.
    void GetProgress(CopyProgress* progress) const;

    // The failures of the current or last run, oldest first. At most
    // kMaxKeptFailures are kept (each path cut to kMaxFailurePath units); the
    // error count in the progress record counts them all.
    static constexpr size_t kMaxKeptFailures = 256;
    static constexpr size_t kMaxFailurePath = 1024;
    std::vector<CopyFailure> GetFailures() const;
    // Failures of the current or last run beyond the kept ones.
    uint32_t FailuresNotKept() const;

    // Stops the run, if one is going, and waits for it to end: the file being
    // written is removed rather than left partial, and the run ends with the
    // files done so far (runEnded set). Nothing happens without a run.
    void Cancel();

    // Has a background thread give the staging ring its memory now, so that
    // the next run does not take the pages one by one as it first uses them.
    // For an owner that waits for its user before the copy starts; a run
    // started meanwhile stops the thread and takes the pages not yet done.
    // Does nothing once a run has been started.
    void PrepareRing();

    // With verify on, every file copied is read back once the job's copy is
    // done and compared (by a 64-bit hash) with what was read from its source; a
    // difference or a read that fails is a failure. Set it only while no run
    // is going.
    void SetVerify(bool verify) { verify_ = verify; }

    // Diagnostics: every read and write request is shown to the observer.
    // Set it only while no run is going.
    void SetIoObserver(ICopyIoObserver* observer) { ioObserver_ = observer; }

private:
    struct WaitSlot {
        HANDLE event = nullptr;
        uint32_t state = 0; // 0 free, 2 a thread waits, 1 signalled
    };
    struct CopyGate {
        CRITICAL_SECTION lock;
        bool lockReady = false;
        WaitSlot slots[2];
        uint32_t waiters = 0;
        HANDLE readerFinished = nullptr;
    };
    struct Progress {
        std::atomic<uint32_t> filesTotal{0};
        std::atomic<uint32_t> filesCopied{0};
        std::atomic<uint32_t> errors{0};
        std::atomic<uint64_t> bytesTotal{0};
        std::atomic<uint64_t> bytesDone{0};
        std::atomic<uint32_t> startTick{0};
        std::atomic<double> elapsedSeconds{0};
        std::atomic<double> averageSpeed{0};
        std::atomic<uint32_t> lastSampleTick{0};
        std::atomic<double> currentSpeed{0};
        std::atomic<uint64_t> currentFileSize{0};
        std::atomic<uint64_t> currentFileDone{0};
        std::atomic<uint32_t> runEnded{0};
        std::atomic<uint32_t> verifying{0};
        std::atomic<uint64_t> verifyBytesTotal{0};
        std::atomic<uint64_t> verifyBytesDone{0};
        std::atomic<uint32_t> verifyMs{0};
    };
    // A finished copy to read back: its path, size and the hash of what
    // was read from its source.
    struct VerifyItem {
        std::wstring path;
        uint64_t size;
        uint64_t hash;
    };
    struct Region {
        Region* next;
        void* base;
    };

    static DWORD WINAPI JobThreadMain(void* engine);
    static DWORD WINAPI ReaderThreadMain(void* engine);
    static DWORD WINAPI WriterThreadMain(void* engine);
    static DWORD WINAPI PrefaultThreadMain(void* engine);

    void* AllocateRegion(size_t size);
    bool Ready() const;
    bool JobListEmpty() const;
    void ResetProgress();
    void RefuseJob(const wchar_t* path, uint32_t error, CopyFailureKind kind = CopyFailureKind::SystemError,
                   const wchar_t* otherPath = nullptr);
    void FinishPreviousRun();
    void FreeJobs();
    bool PrepareGate();
    void CloseGate();

    void RunJobs();
    void EndRun();
    void RunReader();
    // reachable is false below a destination folder that could not be made:
    // its files then fail one by one without being opened.
    bool WalkTree(const wchar_t* source, const wchar_t* destination, int depth, bool reachable);
    bool FillFileRecordFromPath(const wchar_t* path, const wchar_t* name);
    void FillFileRecord(const WIN32_FIND_DATAW& data, const wchar_t* name);
    bool CopyOneFile(const wchar_t* source, const wchar_t* destination);
    void ReadFileIntoChunks(HANDLE file, const wchar_t* source, const wchar_t* destination);
    bool SourceUnchanged(HANDLE file) const;
    bool ReadPieces(HANDLE file, uint64_t offset, void* data, uint32_t length, uint32_t* read);
    ChunkHeader* ReserveChunk(uint32_t headerBytes, uint64_t remaining);
    void AppendChunk(ChunkHeader* chunk);

    void RunWriter();
    bool TakeNextChunk();
    bool WriteOneFile();
    // Why OpenDestination refused a file already there: it is the source
    // itself (a link), or writing it would change another name's file.
    enum class DestinationFinding { Usable, IsSource, LeadsElsewhere };
    HANDLE OpenDestination(const wchar_t* path, const FileRecord& record, const wchar_t* source, DWORD flags,
                           bool* existed, DestinationFinding* finding);
    static bool SetTimesAndAttributes(HANDLE file, const FileRecord& record);
    bool IsSourceItself(HANDLE destination, const FileRecord& record, const wchar_t* source);
    void DiscardPartial(HANDLE* file, const wchar_t* path);
    bool StepRejected(CopyIoStep step, const wchar_t* path);
    bool WritePieces(HANDLE file, uint64_t offset, const void* data, uint32_t length, bool unbuffered,
                     uint32_t* written);
    void AddProgress(int64_t bytes);
    // Counts a failure and keeps it with the calling thread's last error.
    void CountError(const wchar_t* path = nullptr);
    void CountFailure(const wchar_t* path, uint32_t error, CopyFailureKind kind, const wchar_t* otherPath = nullptr);
    // False, with the file counted as changed, when copying it would take
    // the run's files or bytes past what the job's count found.
    bool WithinCount(const wchar_t* path, uint64_t size);

    bool GateWait();
    void GateWakeAll();

    bool ReadRequest(HANDLE file, uint64_t offset, void* buffer, uint32_t length, uint32_t* read,
                     CopyIoStep step = CopyIoStep::Read, const wchar_t* path = nullptr);
    static DWORD WINAPI VerifyThreadMain(void* engine);
    void VerifyCopies();
    // Reads back the files not yet taken, into buffer (kMaxPiece bytes of the
    // ring); shown: this thread names the file in the progress record.
    void VerifyFrom(unsigned char* buffer, bool shown);
    void VerifyOne(const VerifyItem& item, unsigned char* buffer);
    bool WriteRequest(HANDLE file, uint64_t offset, const void* buffer, uint32_t length, bool unbuffered,
                      uint32_t* written);

    // Job list (sentinel-headed circle) and the job being run.
    CopyJob* jobs_ = nullptr;
    CopyJob* currentJob_ = nullptr;
    CopyGate gate_;
    std::atomic<uint32_t> stop_{0};
    uint32_t writeAlignThreshold_ = 131072;
    Progress progress_;
    uint32_t ioSector_ = 512;
    ChunkHeader* queue_ = nullptr; // sentinel of the chunk queue
    ChunkHeader* heldChunk_ = nullptr;
    uint32_t maxReadPiece_ = 8388608;
    uint32_t maxWritePiece_ = 1048576;
    HANDLE readerThread_ = nullptr;
    HANDLE writerThread_ = nullptr;
    HANDLE jobThread_ = nullptr;
    HANDLE ringPrefault_ = nullptr; // joined by the job thread, or by the destructor once none runs
    std::atomic<uint32_t> prefaultCancel_{0};
    Region* regions_ = nullptr;
    wchar_t* currentSource_ = nullptr;
    wchar_t* currentDestination_ = nullptr;
    wchar_t* writerDestination_ = nullptr; // destination of the file the writer is writing
    wchar_t* writerSource_ = nullptr;      // and its source
    // What the reader's walk of the current job has met so far.
    uint32_t walkedFiles_ = 0;
    uint64_t walkedBytes_ = 0;
    FileRecord* fileRecord_ = nullptr;
    unsigned char* ring_ = nullptr;
    size_t ringSize_ = 0;
    size_t ringWrite_ = 0;
    size_t ringRead_ = 0;
    ICopyIoObserver* ioObserver_ = nullptr;
    mutable std::mutex failuresLock_;
    std::vector<CopyFailure> failures_;
    uint32_t failuresNotKept_ = 0; // under failuresLock_
    bool verify_ = false;
    // Filled by the writer during a job, read back by the job thread after it.
    std::vector<VerifyItem> verifyItems_;
    std::atomic<size_t> verifyNext_{0}; // the next item a read-back thread takes
    ContentHash readHash_;              // the reader's, of the file it reads
};
