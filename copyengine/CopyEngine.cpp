#include "CopyEngine.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "ChunkLayout.h"
#include "ContentHash.h"
#include "FileIdentity.h"
#include "HandleFacts.h"
#include "PathHelpers.h"
#include "ProgressMath.h"
#include "RingLayout.h"
#include "UniqueHandle.h"
#include "WritePlan.h"

// The owner reads the 64-bit figures while the writer changes them: each must
// be loaded and stored whole, without a lock, also in a 32-bit process.
static_assert(std::atomic<uint64_t>::is_always_lock_free, "64-bit progress figures must be lock-free");

namespace {

constexpr size_t kRingSize = kStagingRingBytes;
constexpr size_t kGuardBytes = 4096;
constexpr uint32_t kMaxNameLength = 260;
// A chunk whose read keeps failing is retried this many times before the file
// is given up (the writer then fails it).
constexpr int kReadAttempts = 10;
constexpr DWORD kReadRetryPauseMs = 100;

enum ChunkKind : uint32_t { kFirstChunk = 0, kNextChunk = 1, kEndOfJob = 2 };

} // namespace

struct CopyJob {
    CopyJob* prev;
    CopyJob* next;
    wchar_t source[kCopyPathCapacity];
    wchar_t destination[kCopyPathCapacity];
    // The destination folder and the real folders above it, by identity: a
    // source folder that is one of them (reached through a link in the
    // source tree) is not copied, or the copy would copy itself.
    std::vector<Ostra::FileIdentity> destinationChain;
    // Asked of every folder the walk finds already at the destination: one
    // that is a link, or leads out of the destination, is not written through.
    std::unique_ptr<Ostra::SameOrInsideQuestion> insideDestination;
    // The destination, the folders above it and every folder the walk made
    // or entered below it, held open until the run ends (see HoldFolder).
    std::vector<Ostra::UniqueFile> heldFolders;
    uint32_t isDirectory;
    uint32_t countedFiles; // what AddJob's count found
    uint64_t countedBytes;
    uint32_t sourceSector;
    uint32_t destinationSector;
    uint32_t destinationKind;
};

struct FileRecord {
    uint64_t fileSize;
    FILETIME creationTime;
    FILETIME lastAccessTime;
    FILETIME lastWriteTime;
    uint32_t attributes;
    HANDLE sourceHandle;
    uint64_t fileIndex; // the source's index on its volume, 0 when unknown
    uint32_t recordSize;
    wchar_t name[kMaxNameLength + 1];
};

// Lies in the ring directly after its chunk's data. A first chunk carries
// the file's record and its destination and source paths after it, laid out
// by LayoutFirstChunk.
struct ChunkHeader {
    ChunkHeader* prev;
    ChunkHeader* next;
    uint32_t kind;
    unsigned char* data;
    uint32_t dataLength;    // bytes reserved for data, whole sectors
    uint32_t headerSize;    // from the header's start to the chunk's end
    uint32_t validLength;   // bytes the read actually placed in data
    uint32_t sourceChanged; // set on a file's last chunk when the source changed while it was read
    uint64_t fileHash;      // hash of the file's bytes up to the end of this chunk's data (when verifying)
};

namespace {

constexpr uint32_t kChunkHeaderBytes = static_cast<uint32_t>((sizeof(ChunkHeader) + 7) / 8 * 8);

// The ring's layout is proved by a model that runs natively with this build's
// sizes: they must be the ones the model is given.
constexpr RecordGeometry kThisBuildGeometry = sizeof(void*) == 4 ? kRecordGeometry32 : kRecordGeometry64;
static_assert(kChunkHeaderBytes == kThisBuildGeometry.chunkHeaderBytes, "chunk header size differs from the model's");
static_assert(offsetof(FileRecord, name) == kThisBuildGeometry.recordNameOffset,
              "record layout differs from the model's");
static_assert(sizeof(FileRecord) == kThisBuildGeometry.recordBytes, "record size differs from the model's");

void CopyText(wchar_t* out, size_t capacity, const wchar_t* text) {
    size_t n = std::min(wcslen(text), capacity - 1);
    wmemcpy(out, text, n);
    out[n] = L'\0';
}

bool IsSamePath(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Full path without trailing backslashes (a drive root keeps its own).
bool MakeFullPath(const wchar_t* path, wchar_t* out, size_t capacity) {
    DWORD length = GetFullPathNameW(path, DWORD(capacity), out, nullptr);
    if (length == 0 || length >= capacity)
        return false;
    while (length > 3 && out[length - 1] == L'\\')
        out[--length] = L'\0';
    return true;
}

// True when the two paths may name one folder, and whenever that cannot be
// told. Equal identities decide it, except that a cloned volume repeats its
// original's serial number and file indexes: a file created in the first
// folder must also appear in the second. When no such file can be created (a
// read-only folder), the identities decide.
bool IsSameFolder(const wchar_t* first, const wchar_t* second) {
    const Ostra::IdentityAnswer same = Ostra::IsSameObject(first, second);
    if (same != Ostra::IdentityAnswer::Yes)
        return same == Ostra::IdentityAnswer::CantTell;
    wchar_t name[64];
    swprintf(name, 64, L"~copy-probe-%08lx-%08lx.tmp", GetCurrentProcessId(), GetTickCount());
    std::unique_ptr<wchar_t[]> probe(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    if (!probe || !JoinPath(probe.get(), kCopyPathCapacity, first, name))
        return true;
    Ostra::UniqueFile marker(CreateFileW(probe.get(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!marker)
        return true;
    return JoinPath(probe.get(), kCopyPathCapacity, second, name) &&
           GetFileAttributesW(probe.get()) != INVALID_FILE_ATTRIBUTES;
}

// The destination folder may reach into the source tree by another name (a
// link or junction, a drive substituted for a folder, a short name), where
// comparing the paths as text sees nothing. True when the destination is the
// source or lies inside it by identity, or when that cannot be told: either
// way the job is refused. Otherwise `chain` receives the identities of the
// destination and of the real folders above it, for the walk to leave out.
bool FindDestinationInSource(const wchar_t* source, const wchar_t* destination,
                             std::vector<Ostra::FileIdentity>* chain) {
    if (IsSameFolder(destination, source))
        return true;
    if (!Ostra::ReadAncestry(destination, chain))
        return true;
    Ostra::FileIdentity sourceIdentity;
    if (Ostra::ReadIdentity(source, &sourceIdentity) != Ostra::IdentityRead::Read)
        return true;
    for (const Ostra::FileIdentity& folder : *chain) {
        if (Ostra::IsSameIdentity(folder, sourceIdentity))
            return true;
    }
    return false;
}

// The folder part of a full file path, a drive root keeping its backslash.
bool ParentFolder(const wchar_t* path, wchar_t* out, size_t capacity) {
    const wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash)
        return false;
    size_t length = size_t(slash - path) + (slash > path && slash[-1] == L':' ? 1 : 0);
    if (length + 1 > capacity)
        return false;
    wmemcpy(out, path, length);
    out[length] = L'\0';
    return true;
}

// The names of one folder's entries, compared as the destination's file
// system compares them: case ignored.
class FolderNames {
public:
    // Null when no earlier name equals this one but for case (it is then
    // kept), else that earlier name. Without memory every name counts as new.
    const wchar_t* AddOrFindTwin(const wchar_t* name) {
        try {
            std::wstring key(name);
            if (!key.empty())
                CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
            auto added = seen_.emplace(std::move(key), std::wstring());
            if (!added.second)
                return added.first->second.c_str();
            added.first->second = name;
        } catch (...) {
        }
        return nullptr;
    }

private:
    std::unordered_map<std::wstring, std::wstring> seen_; // upper case -> as listed
};

// Opens a folder so that, while the handle is held, no one can rename, move
// or delete it: the handle asks for listing access (an open that asks only for
// attributes leaves its sharing unrecorded) and does not share deletion. The
// names the writer composes below a held folder so keep leading where they led
// when it was opened, whatever an unelevated program does to the tree. Opened
// as itself, a link is held as the link, never followed.
HANDLE OpenHeldFolder(const wchar_t* path, bool asItself) {
    return CreateFileW(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (asItself ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                       nullptr);
}

// True for a folder that is no link of any kind, asked of its own handle
// (basic information, which every file system answers).
bool IsPlainFolder(HANDLE folder) {
    FILE_BASIC_INFO basic;
    return GetFileInformationByHandleEx(folder, FileBasicInfo, &basic, sizeof basic) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Holds a folder for the rest of the job's run (see OpenHeldFolder). As
// itself, it must also be a plain folder: a link fails with error 0.
bool HoldFolder(CopyJob* job, const wchar_t* path, bool asItself) {
    Ostra::UniqueFile folder(OpenHeldFolder(path, asItself));
    if (!folder)
        return false;
    if (asItself && !IsPlainFolder(folder.get())) {
        SetLastError(0);
        return false;
    }
    try {
        job->heldFolders.push_back(std::move(folder));
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

// Holds the job's destination and each folder above it up to its volume
// root (a root cannot be moved). They are held as what their names lead to:
// the destination named may itself be a link its owner made. On failure
// path holds the folder that could not be held (kCopyPathCapacity units).
bool HoldDestinationChain(CopyJob* job, const wchar_t* volumeRoot, wchar_t* path) {
    wchar_t root[kVolumeRootCapacity + 8];
    if (wcslen(volumeRoot) >= kVolumeRootCapacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    wcscpy(root, volumeRoot);
    AddLongPathPrefix(root, kVolumeRootCapacity + 8);
    wcscpy(path, job->destination);
    const size_t rootLength = wcslen(root);
    size_t length = wcslen(path);
    for (;;) {
        while (length > rootLength && path[length - 1] == L'\\')
            path[--length] = L'\0';
        if (length <= rootLength || _wcsnicmp(path, root, rootLength) != 0)
            return true;
        if (!HoldFolder(job, path, false))
            return false;
        while (length > 0 && path[length - 1] != L'\\')
            --length;
        path[length] = L'\0';
    }
}

// Waits for a thread to end and closes its handle; nothing when there is none.
void JoinThread(HANDLE* thread) {
    if (!*thread)
        return;
    WaitForSingleObject(*thread, INFINITE);
    CloseHandle(*thread);
    *thread = nullptr;
}

void UnlinkAll(ChunkHeader* sentinel) {
    sentinel->next = sentinel;
    sentinel->prev = sentinel;
}

} // namespace

CCopyEngine::CCopyEngine() {
    jobs_ = new (std::nothrow) CopyJob;
    if (jobs_)
        jobs_->prev = jobs_->next = jobs_;
    queue_ = new (std::nothrow) ChunkHeader{};
    if (queue_)
        UnlinkAll(queue_);
    EnablePrivilege(L"SeBackupPrivilege");
    EnablePrivilege(L"SeRestorePrivilege");
    EnablePrivilege(L"SeCreateSymbolicLinkPrivilege");
    fileRecord_ = static_cast<FileRecord*>(AllocateRegion(sizeof(FileRecord)));
    ring_ = static_cast<unsigned char*>(AllocateRegion(kRingSize));
    if (ring_)
        ringSize_ = kRingSize;
    currentSource_ = static_cast<wchar_t*>(AllocateRegion(kCopyPathCapacity * sizeof(wchar_t)));
    currentDestination_ = static_cast<wchar_t*>(AllocateRegion(kCopyPathCapacity * sizeof(wchar_t)));
    writerDestination_ = static_cast<wchar_t*>(AllocateRegion(kCopyPathCapacity * sizeof(wchar_t)));
    writerSource_ = static_cast<wchar_t*>(AllocateRegion(kCopyPathCapacity * sizeof(wchar_t)));
    ResetProgress();
}

CCopyEngine::~CCopyEngine() {
    prefaultCancel_ = 1;
    stop_ = 1;
    JoinThread(&jobThread_);
    JoinThread(&ringPrefault_);
    FreeJobs();
    CloseGate();
    if (gate_.readerFinished)
        CloseHandle(gate_.readerFinished);
    delete jobs_;
    delete queue_;
    while (regions_) {
        Region* region = regions_;
        regions_ = region->next;
        VirtualFree(region->base, 0, MEM_RELEASE);
        delete region;
    }
}

void* CCopyEngine::AllocateRegion(size_t size) {
    // One spare page of address space stays uncommitted after the buffer so
    // that any overrun faults at once.
    void* base = VirtualAlloc(nullptr, size + kGuardBytes, MEM_RESERVE, PAGE_READWRITE);
    if (!base)
        return nullptr;
    Region* region = new (std::nothrow) Region{regions_, base};
    if (!region || !VirtualAlloc(base, size, MEM_COMMIT, PAGE_READWRITE)) {
        delete region;
        VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    regions_ = region;
    return base;
}

// Committed pages get memory only when first touched. Left to the copy, the
// ring's 8,192 first touches fall on the reader, one by one, while the
// writer waits for its first chunks (about 90 ms in a virtual machine, where
// a first touch costs the most). PrepareRing has a thread touch them while
// the owner waits for its user. The first run stops it where it has got to
// before the ring is used: the pages not reached yet are touched by the
// reader as before.
void CCopyEngine::PrepareRing() {
    // Never while a run may be using the ring: the thread writes into it.
    // After a run the ring has been touched anyway.
    if (!ring_ || ringPrefault_ || jobThread_)
        return;
    prefaultCancel_ = 0;
    ringPrefault_ = CreateThread(nullptr, 0, &CCopyEngine::PrefaultThreadMain, this, 0, nullptr);
}

DWORD WINAPI CCopyEngine::PrefaultThreadMain(void* engine) {
    auto* self = static_cast<CCopyEngine*>(engine);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize ? system.dwPageSize : 4096;
    volatile unsigned char* bytes = self->ring_;
    for (size_t offset = 0; offset < self->ringSize_ && !self->prefaultCancel_.load(std::memory_order_relaxed);
         offset += page)
        bytes[offset] = 0;
    return 0;
}

bool CCopyEngine::Ready() const {
    return jobs_ && queue_ && fileRecord_ && ring_ && currentSource_ && currentDestination_ && writerDestination_ &&
           writerSource_ && readHash_.valid();
}

void CCopyEngine::ResetProgress() {
    {
        std::lock_guard<std::mutex> hold(failuresLock_);
        failures_.clear();
        failuresNotKept_ = 0;
    }
    progress_.filesTotal = 0;
    progress_.filesCopied = 0;
    progress_.errors = 0;
    progress_.bytesTotal = 0;
    progress_.bytesDone = 0;
    progress_.startTick = 0;
    progress_.elapsedSeconds = 0;
    progress_.averageSpeed = 0;
    progress_.lastSampleTick = 0;
    progress_.currentSpeed = 0;
    progress_.currentFileSize = 0;
    progress_.currentFileDone = 0;
    progress_.runEnded = 0;
    progress_.verifying = 0;
    progress_.verifyBytesTotal = 0;
    progress_.verifyBytesDone = 0;
    progress_.verifyMs = 0;
    if (currentSource_)
        currentSource_[0] = L'\0';
    if (currentDestination_)
        currentDestination_[0] = L'\0';
}

void CCopyEngine::GetProgress(CopyProgress* progress) const {
    if (!progress)
        return;
    // Read first: the job thread sets it after every other figure is final,
    // so a copy that shows the run ended also shows its final figures.
    progress->runEnded = progress_.runEnded.load();
    progress->filesTotal = progress_.filesTotal.load();
    progress->filesCopied = progress_.filesCopied.load();
    progress->errors = progress_.errors.load();
    progress->bytesTotal = progress_.bytesTotal.load();
    progress->bytesDone = progress_.bytesDone.load();
    progress->startTick = progress_.startTick.load();
    progress->elapsedSeconds = progress_.elapsedSeconds.load();
    progress->averageSpeed = progress_.averageSpeed.load();
    progress->lastSampleTick = progress_.lastSampleTick.load();
    progress->currentSpeed = progress_.currentSpeed.load();
    progress->currentFileSize = progress_.currentFileSize.load();
    progress->currentFileDone = progress_.currentFileDone.load();
    progress->verifying = progress_.verifying.load();
    progress->verifyBytesTotal = progress_.verifyBytesTotal.load();
    progress->verifyBytesDone = progress_.verifyBytesDone.load();
    progress->verifyMs = progress_.verifyMs.load();
    progress->currentSourcePath = currentSource_;
    progress->currentDestinationPath = currentDestination_;
}

namespace {

// A path as a failure shows it: without a long-path prefix, cut to
// kMaxFailurePath units; empty for none.
std::wstring ShownPath(const wchar_t* path) {
    std::wstring shown;
    if (!path)
        return shown;
    std::unique_ptr<wchar_t[]> plain(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    try {
        if (plain && RemoveLongPathPrefix(path, plain.get(), kCopyPathCapacity))
            shown.assign(plain.get(), std::min(wcslen(plain.get()), CCopyEngine::kMaxFailurePath));
    } catch (...) {
        shown.clear();
    }
    return shown;
}

} // namespace

void CCopyEngine::CountError(const wchar_t* path) {
    CountFailure(path, GetLastError(), CopyFailureKind::SystemError);
}

void CCopyEngine::CountFailure(const wchar_t* path, uint32_t error, CopyFailureKind kind, const wchar_t* otherPath) {
    progress_.errors.fetch_add(1);
    std::wstring shown = ShownPath(path);
    std::lock_guard<std::mutex> hold(failuresLock_);
    // A read retried several times is one failure of one file.
    if (!failures_.empty() && failures_.back().error == error && failures_.back().kind == kind &&
        failures_.back().path == shown)
        return;
    if (failures_.size() >= kMaxKeptFailures) {
        ++failuresNotKept_;
        return;
    }
    try {
        failures_.push_back(CopyFailure{error, std::move(shown), kind, ShownPath(otherPath)});
    } catch (...) {
        // Out of memory: the failure is still counted.
    }
}

bool CCopyEngine::WithinCount(const wchar_t* path, uint64_t size) {
    const CopyJob* job = currentJob_;
    if (walkedFiles_ >= job->countedFiles || size > job->countedBytes - walkedBytes_) {
        CountFailure(path, 0, CopyFailureKind::ChangedSinceCounted);
        return false;
    }
    ++walkedFiles_;
    walkedBytes_ += size;
    return true;
}

std::vector<CopyFailure> CCopyEngine::GetFailures() const {
    std::lock_guard<std::mutex> hold(failuresLock_);
    return failures_;
}

uint32_t CCopyEngine::FailuresNotKept() const {
    std::lock_guard<std::mutex> hold(failuresLock_);
    return failuresNotKept_;
}

bool CCopyEngine::JobListEmpty() const {
    return !jobs_ || jobs_->next == jobs_;
}

void CCopyEngine::FreeJobs() {
    if (!jobs_)
        return;
    CopyJob* job = jobs_->next;
    while (job != jobs_) {
        CopyJob* next = job->next;
        delete job;
        job = next;
    }
    jobs_->prev = jobs_->next = jobs_;
    currentJob_ = nullptr;
}

void CCopyEngine::Cancel() {
    stop_ = 1;
    JoinThread(&jobThread_);
}

void CCopyEngine::FinishPreviousRun() {
    // The job list is not shared with a running job thread: a job added while
    // a run is going waits for that run to end.
    JoinThread(&jobThread_);
}

void CCopyEngine::RefuseJob(const wchar_t* path, uint32_t error, CopyFailureKind kind, const wchar_t* otherPath) {
    // Never "error 0": a refusal always says why.
    if (kind == CopyFailureKind::SystemError && error == 0)
        error = ERROR_INVALID_PARAMETER;
    CountFailure(path, error, kind, otherPath);
    if (!jobThread_ && JobListEmpty())
        progress_.runEnded = 1;
}

int CCopyEngine::AddJob(const wchar_t* source, const wchar_t* destination) {
    FinishPreviousRun();
    stop_ = 0;
    if (JobListEmpty())
        ResetProgress();
    if (!Ready() || !source || !destination) {
        RefuseJob(source, Ready() ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return 1;
    }

    std::unique_ptr<CopyJob> job(new (std::nothrow) CopyJob{});
    std::unique_ptr<wchar_t[]> fullSource(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    std::unique_ptr<wchar_t[]> fullDestination(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    wchar_t sourceRoot[kVolumeRootCapacity];
    wchar_t destinationRoot[kVolumeRootCapacity];
    // Paths given with the long-path prefix are taken without it first, so
    // that roots and prefixes come out the same either way.
    if (!job || !fullSource || !fullDestination || !MakeFullPath(source, fullSource.get(), kCopyPathCapacity) ||
        !MakeFullPath(destination, fullDestination.get(), kCopyPathCapacity) ||
        !RemoveLongPathPrefix(fullSource.get(), job->source, kCopyPathCapacity) ||
        !RemoveLongPathPrefix(fullDestination.get(), job->destination, kCopyPathCapacity) ||
        !GetVolumeRoot(job->source, sourceRoot) || !GetVolumeRoot(job->destination, destinationRoot) ||
        !AddLongPathPrefix(job->source, kCopyPathCapacity) || !AddLongPathPrefix(job->destination, kCopyPathCapacity)) {
        RefuseJob(source, job && fullSource && fullDestination ? ERROR_FILENAME_EXCED_RANGE : ERROR_NOT_ENOUGH_MEMORY);
        return 1;
    }

    const DWORD destinationAttributes = GetFileAttributesW(job->destination);
    if (destinationAttributes == INVALID_FILE_ATTRIBUTES || !(destinationAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        RefuseJob(job->destination,
                  destinationAttributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : DWORD(ERROR_DIRECTORY));
        return 1;
    }
    // The destination and the folders above it stay where they are until the
    // run ends: none of them can be moved aside for a link meanwhile.
    {
        std::unique_ptr<wchar_t[]> held(new (std::nothrow) wchar_t[kCopyPathCapacity]);
        if (!held || !HoldDestinationChain(job.get(), destinationRoot, held.get())) {
            const DWORD error = held ? GetLastError() : DWORD(ERROR_NOT_ENOUGH_MEMORY);
            RefuseJob(held ? held.get() : job->destination, error ? error : DWORD(ERROR_DIRECTORY));
            return 1;
        }
    }
    const DWORD sourceAttributes = GetFileAttributesW(job->source);
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES) {
        RefuseJob(job->source, GetLastError());
        return 1;
    }
    job->isDirectory = (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;

    uint64_t bytes = 0;
    uint32_t files = 0;
    if (job->isDirectory) {
        // Copying a tree onto itself would overwrite every file with itself,
        // and copying it into itself would copy the copy again.
        if (IsSameOrInsidePath(job->destination, job->source) ||
            FindDestinationInSource(job->source, job->destination, &job->destinationChain)) {
            RefuseJob(job->destination, 0, CopyFailureKind::DestinationInsideSource, job->source);
            return 1;
        }
        job->insideDestination.reset(new (std::nothrow) Ostra::SameOrInsideQuestion(job->destinationChain.front()));
        if (!job->insideDestination) {
            RefuseJob(source, ERROR_NOT_ENOUGH_MEMORY);
            return 1;
        }
        SetLastError(0);
        if (!CountTree(job->source, &bytes, &files, &stop_, &job->destinationChain)) {
            const DWORD error = GetLastError();
            RefuseJob(job->source, error ? error : DWORD(ERROR_CANT_ACCESS_FILE));
            return 1;
        }
    } else {
        // A file copied into its own folder, named there by this path or by
        // any other, would be truncated by its own copy while it is still
        // being read.
        const wchar_t* slash = wcsrchr(job->source, L'\\');
        if (!JoinPath(fullSource.get(), kCopyPathCapacity, job->destination, slash ? slash + 1 : job->source) ||
            IsSamePath(fullSource.get(), job->source) ||
            (ParentFolder(job->source, fullSource.get(), kCopyPathCapacity) &&
             IsSameFolder(job->destination, fullSource.get()))) {
            RefuseJob(job->destination, 0, CopyFailureKind::DestinationInsideSource, job->source);
            return 1;
        }
        files = 1;
        if (!GetFileSize64(job->source, &bytes)) {
            RefuseJob(job->source, GetLastError());
            return 1;
        }
    }

    job->sourceSector = GetSectorSize(sourceRoot);
    if (IsSameVolume(sourceRoot, destinationRoot)) {
        job->destinationSector = job->sourceSector;
        job->destinationKind = GetFileSystemKind(sourceRoot);
    } else {
        job->destinationSector = GetSectorSize(destinationRoot);
        job->destinationKind = GetFileSystemKind(destinationRoot);
    }

    job->countedFiles = files;
    job->countedBytes = bytes;
    progress_.filesTotal.fetch_add(files);
    progress_.bytesTotal.fetch_add(bytes);
    CopyJob* added = job.release();
    added->prev = jobs_->prev;
    added->next = jobs_;
    jobs_->prev->next = added;
    jobs_->prev = added;

    if (!jobThread_) {
        jobThread_ = CreateThread(nullptr, 0, &CCopyEngine::JobThreadMain, this, 0, nullptr);
        if (!jobThread_) {
            const DWORD error = GetLastError();
            FreeJobs();
            RefuseJob(nullptr, error);
        }
    }
    return 1;
}

DWORD WINAPI CCopyEngine::JobThreadMain(void* engine) {
    static_cast<CCopyEngine*>(engine)->RunJobs();
    return 0;
}

DWORD WINAPI CCopyEngine::ReaderThreadMain(void* engine) {
    static_cast<CCopyEngine*>(engine)->RunReader();
    return 0;
}

DWORD WINAPI CCopyEngine::WriterThreadMain(void* engine) {
    static_cast<CCopyEngine*>(engine)->RunWriter();
    return 0;
}

void CCopyEngine::CloseGate() {
    for (WaitSlot& slot : gate_.slots) {
        if (slot.event)
            CloseHandle(slot.event);
        slot.event = nullptr;
        slot.state = 0;
    }
    gate_.waiters = 0;
    if (gate_.lockReady)
        DeleteCriticalSection(&gate_.lock);
    gate_.lockReady = false;
}

bool CCopyEngine::PrepareGate() {
    CloseGate();
    InitializeCriticalSection(&gate_.lock);
    gate_.lockReady = true;
    for (WaitSlot& slot : gate_.slots) {
        slot.event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!slot.event)
            return false;
    }
    if (!gate_.readerFinished)
        gate_.readerFinished = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    UnlinkAll(queue_);
    heldChunk_ = nullptr;
    ringWrite_ = ringRead_ = 0;
    return gate_.readerFinished != nullptr;
}

void CCopyEngine::RunJobs() {
    // The ring is used from here on: the thread readying it stops first.
    prefaultCancel_ = 1;
    JoinThread(&ringPrefault_);
    if (!JobListEmpty()) {
        stop_ = 0;
        uint32_t now = GetTickCount();
        progress_.startTick = now;
        progress_.lastSampleTick = now;
        for (currentJob_ = jobs_->next; currentJob_ != jobs_ && !stop_; currentJob_ = currentJob_->next) {
            if (!PrepareGate()) {
                CountError();
                break;
            }
            writeAlignThreshold_ = WriteAlignThreshold(currentJob_->destinationKind);
            ioSector_ = std::max<uint32_t>({currentJob_->sourceSector, currentJob_->destinationSector, 512u});
            if (!readerThread_ && !writerThread_) {
                writerThread_ = CreateThread(nullptr, 0, &CCopyEngine::WriterThreadMain, this, 0, nullptr);
                if (writerThread_)
                    readerThread_ = CreateThread(nullptr, 0, &CCopyEngine::ReaderThreadMain, this, 0, nullptr);
                if (!writerThread_ || !readerThread_) {
                    CountError();
                    break;
                }
            }
            bool finished = false;
            while (!finished && !stop_)
                finished = WaitForSingleObject(gate_.readerFinished, 100) == WAIT_OBJECT_0;
            if (!finished)
                break;
            for (HANDLE* worker : {&readerThread_, &writerThread_})
                JoinThread(worker);
            // The workers have ended: the ring and the list are this thread's.
            if (verify_)
                VerifyCopies();
        }
    }
    EndRun();
}

void CCopyEngine::EndRun() {
    // The jobs are freed only once the workers have ended: a run stopped
    // early leaves them still reading the current job.
    stop_ = 1;
    while (readerThread_ || writerThread_) {
        if (gate_.lockReady) {
            EnterCriticalSection(&gate_.lock);
            GateWakeAll();
            LeaveCriticalSection(&gate_.lock);
        }
        for (HANDLE* worker : {&readerThread_, &writerThread_}) {
            if (*worker && WaitForSingleObject(*worker, 200) == WAIT_OBJECT_0) {
                CloseHandle(*worker);
                *worker = nullptr;
            }
        }
    }
    FreeJobs();
    progress_.runEnded = 1;
}

bool CCopyEngine::GateWait() {
    WaitSlot* slot = nullptr;
    for (WaitSlot& candidate : gate_.slots) {
        if (candidate.state == 0) {
            slot = &candidate;
            break;
        }
    }
    if (!slot)
        return false;
    slot->state = 2;
    ++gate_.waiters;
    LeaveCriticalSection(&gate_.lock);
    DWORD result = WaitForSingleObject(slot->event, 200);
    EnterCriticalSection(&gate_.lock);
    --gate_.waiters;
    slot->state = 0;
    return result == WAIT_OBJECT_0;
}

void CCopyEngine::GateWakeAll() {
    if (gate_.waiters == 0)
        return;
    uint32_t woken = 0;
    for (WaitSlot& slot : gate_.slots) {
        if (slot.state == 2) {
            SetEvent(slot.event);
            slot.state = 1;
            if (++woken == gate_.waiters)
                break;
        }
    }
}

// ---- Reader ----

void CCopyEngine::RunReader() {
    CopyJob* job = currentJob_;
    walkedFiles_ = 0;
    walkedBytes_ = 0;
    const uint32_t errorsBefore = progress_.errors.load();
    bool walked = false;
    if (job->isDirectory) {
        walked = WalkTree(job->source, job->destination, 0, true);
    } else {
        const wchar_t* name = wcsrchr(job->source, L'\\');
        if (!FillFileRecordFromPath(job->source, name ? name + 1 : job->source))
            CountError(job->source);
        else if (!JoinPath(currentDestination_, kCopyPathCapacity, job->destination, fileRecord_->name))
            CountFailure(job->source, ERROR_FILENAME_EXCED_RANGE, CopyFailureKind::SystemError);
        else if (WithinCount(job->source, fileRecord_->fileSize))
            walked = CopyOneFile(job->source, currentDestination_);
    }
    // Something counted was not met (a file deleted or cut short in a folder
    // the walk reached later): the copy cannot be complete, and unless a
    // failure already says why, the log must.
    if (walked && !stop_ && progress_.errors.load() == errorsBefore &&
        (walkedFiles_ != job->countedFiles || walkedBytes_ != job->countedBytes))
        CountFailure(job->source, 0, CopyFailureKind::ChangedSinceCounted);
    EnterCriticalSection(&gate_.lock);
    ChunkHeader* end = ReserveChunk(kChunkHeaderBytes, 0);
    if (end) {
        end->kind = kEndOfJob;
        AppendChunk(end);
    }
    LeaveCriticalSection(&gate_.lock);
    SetEvent(gate_.readerFinished);
}

bool CCopyEngine::WalkTree(const wchar_t* source, const wchar_t* destination, int depth, bool reachable) {
    // A folder that cannot be listed (changed since the count) ends the walk;
    // the files not reached stay uncopied, so it counts as an error.
    std::unique_ptr<wchar_t[]> sourcePath(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    std::unique_ptr<wchar_t[]> destinationPath(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    WIN32_FIND_DATAW data;
    Ostra::UniqueFind find;
    if (depth <= kMaxTreeDepth && sourcePath && destinationPath &&
        JoinPath(sourcePath.get(), kCopyPathCapacity, source, L"*.*"))
        find.reset(FindFirstFileW(sourcePath.get(), &data));
    if (!find) {
        if (depth > kMaxTreeDepth || !sourcePath || !destinationPath)
            SetLastError(depth > kMaxTreeDepth ? ERROR_FILENAME_EXCED_RANGE : ERROR_NOT_ENOUGH_MEMORY);
        CountError(source);
        return false;
    }
    // The names met in this folder: a source that tells case apart (a
    // case-sensitive folder, a share) can hold two names that the
    // destination takes for one, and the second would overwrite the first.
    FolderNames names;
    bool result = true;
    do {
        const wchar_t* name = data.cFileName;
        if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
            continue;
        if (!JoinPath(sourcePath.get(), kCopyPathCapacity, source, name)) {
            // Too long to name: this entry cannot be copied, the rest can.
            CountFailure(source, ERROR_FILENAME_EXCED_RANGE, CopyFailureKind::SystemError);
            continue;
        }
        if (const wchar_t* twin = names.AddOrFindTwin(name)) {
            std::unique_ptr<wchar_t[]> first(new (std::nothrow) wchar_t[kCopyPathCapacity]);
            const bool named = first && JoinPath(first.get(), kCopyPathCapacity, source, twin);
            CountFailure(sourcePath.get(), 0, CopyFailureKind::CaseTwin, named ? first.get() : twin);
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const Ostra::IdentityAnswer onTheWay = Ostra::IsOneOf(sourcePath.get(), currentJob_->destinationChain);
            if (onTheWay != Ostra::IdentityAnswer::No) {
                // Checked at the count; a folder that cannot be told apart
                // now has changed since and stays uncopied.
                if (onTheWay == Ostra::IdentityAnswer::CantTell)
                    CountFailure(sourcePath.get(), 0, CopyFailureKind::ChangedSinceCounted);
                continue;
            }
            if (!JoinPath(destinationPath.get(), kCopyPathCapacity, destination, name)) {
                CountFailure(sourcePath.get(), ERROR_FILENAME_EXCED_RANGE, CopyFailureKind::SystemError);
                continue;
            }
            bool made = reachable;
            if (made && !CreateDirectoryW(destinationPath.get(), nullptr)) {
                // A folder already there is what a copy over an earlier copy
                // finds; anything else in the way (a file of that name) means
                // the folder and everything below it are missing.
                DWORD attributes = GetFileAttributesW(destinationPath.get());
                if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    CountError(destinationPath.get());
                    made = false;
                } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                           currentJob_->insideDestination->Ask(destinationPath.get()) != Ostra::IdentityAnswer::Yes) {
                    // Someone else's link (or what cannot be told from one):
                    // the copy would land wherever it leads.
                    CountFailure(destinationPath.get(), 0, CopyFailureKind::DestinationLeadsElsewhere);
                    continue;
                }
            }
            // Held as itself until the run ends: a link put in its place
            // between its making (or the check above) and this open is
            // found here, and once held it cannot be swapped for one.
            if (made && !HoldFolder(currentJob_, destinationPath.get(), true)) {
                const DWORD error = GetLastError();
                CountFailure(destinationPath.get(), error, error ? CopyFailureKind::SystemError
                                                                 : CopyFailureKind::DestinationLeadsElsewhere);
                continue;
            }
            if (!WalkTree(sourcePath.get(), destinationPath.get(), depth + 1, made)) {
                result = false;
                break;
            }
        } else {
            // The listing already holds what the record needs; a file that
            // has gone since is found at its open.
            FillFileRecord(data, name);
            if (!WithinCount(sourcePath.get(), fileRecord_->fileSize))
                continue;
            if (!JoinPath(currentDestination_, kCopyPathCapacity, destination, name)) {
                CountFailure(sourcePath.get(), ERROR_FILENAME_EXCED_RANGE, CopyFailureKind::SystemError);
                continue;
            }
            if (!reachable) {
                // Below a folder that could not be made: each file fails
                // here, never opened by a name that nothing holds.
                CountFailure(currentDestination_, ERROR_PATH_NOT_FOUND, CopyFailureKind::SystemError);
                continue;
            }
            if (!CopyOneFile(sourcePath.get(), currentDestination_)) {
                result = false;
                break;
            }
        }
    } while (!stop_ && FindNextFileW(find.get(), &data));
    return result;
}

bool CCopyEngine::FillFileRecordFromPath(const wchar_t* path, const wchar_t* name) {
    WIN32_FIND_DATAW data;
    Ostra::UniqueFind find(FindFirstFileW(path, &data));
    if (!find)
        return false;
    FillFileRecord(data, name);
    return true;
}

void CCopyEngine::FillFileRecord(const WIN32_FIND_DATAW& data, const wchar_t* name) {
    FileRecord* record = fileRecord_;
    record->fileSize = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    record->creationTime = data.ftCreationTime;
    record->lastAccessTime = data.ftLastAccessTime;
    record->lastWriteTime = data.ftLastWriteTime;
    record->attributes = data.dwFileAttributes;
    record->sourceHandle = INVALID_HANDLE_VALUE;
    record->fileIndex = 0;
    CopyText(record->name, kMaxNameLength + 1, data.cFileName[0] ? data.cFileName : name);
    record->recordSize =
        static_cast<uint32_t>(RoundUp(offsetof(FileRecord, name) + (wcslen(record->name) + 1) * sizeof(wchar_t), 8));
    progress_.currentFileSize = record->fileSize;
    progress_.currentFileDone = 0;
}

bool CCopyEngine::CopyOneFile(const wchar_t* source, const wchar_t* destination) {
    // The ring carries on from the previous file's chunks, so that this file
    // is read while the writer still writes that one.
    maxReadPiece_ = kMaxPiece;
    CopyText(currentSource_, kCopyPathCapacity, source);
    Ostra::UniqueFile file(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        // A file gone since it was listed, or held by another program, cannot
        // be copied; the others still can. Going on means one retry after the
        // other program is closed finishes the copy, and every file missed is
        // named rather than hidden behind the first.
        CountError(source);
        return true;
    }
    fileRecord_->sourceHandle = file.get();
    // The writer compares it with the index of a destination file that is
    // already there: a link may make that file the source itself.
    if (!QueryFileIndex(file.get(), &fileRecord_->fileIndex))
        fileRecord_->fileIndex = 0;
    ReadFileIntoChunks(file.get(), source, destination);
    fileRecord_->sourceHandle = INVALID_HANDLE_VALUE;
    return true;
}

bool CCopyEngine::SourceUnchanged(HANDLE file) const {
    uint64_t size = 0;
    FILETIME writeTime;
    return QuerySizeAndWriteTime(file, &size, &writeTime) && size == fileRecord_->fileSize &&
           CompareFileTime(&writeTime, &fileRecord_->lastWriteTime) == 0;
}

void CCopyEngine::ReadFileIntoChunks(HANDLE file, const wchar_t* source, const wchar_t* destination) {
    const FileRecord* record = fileRecord_;
    FirstChunkLayout layout;
    if (!LayoutFirstChunk(kChunkHeaderBytes, record->recordSize, (wcslen(destination) + 1) * sizeof(wchar_t),
                          (wcslen(source) + 1) * sizeof(wchar_t), &layout)) {
        CountError(source);
        return;
    }
    int64_t remaining = static_cast<int64_t>(record->fileSize);
    uint64_t offset = 0;
    bool first = true;
    ContentHash& hash = readHash_;
    hash.Reset();
    for (;;) {
        EnterCriticalSection(&gate_.lock);
        ChunkHeader* chunk =
            ReserveChunk(first ? layout.headerBytes : kChunkHeaderBytes, remaining > 0 ? remaining : 0);
        LeaveCriticalSection(&gate_.lock);
        if (!chunk) {
            // Only a run being stopped reserves nothing.
            CountFailure(source, ERROR_OPERATION_ABORTED, CopyFailureKind::SystemError);
            return;
        }
        uint32_t read = 0;
        bool readOk = chunk->dataLength == 0;
        for (int attempt = 0; !readOk && attempt < kReadAttempts && !stop_; ++attempt) {
            if (attempt > 0)
                Sleep(kReadRetryPauseMs);
            readOk = ReadPieces(file, offset, chunk->data, chunk->dataLength, &read);
            if (!readOk)
                CountError(currentSource_);
        }
        if (!readOk)
            read = 0; // the writer sees the chunk short and fails the file
        if (verify_) {
            if (read > 0 && remaining > 0)
                hash.Add(chunk->data, static_cast<size_t>(std::min<int64_t>(read, remaining)));
            chunk->fileHash = hash.Value();
        }
        chunk->validLength = read;
        chunk->kind = first ? kFirstChunk : kNextChunk;
        if (first) {
            StoreFirstChunk(reinterpret_cast<unsigned char*>(chunk), layout, record, destination, source);
        }
        // A short read is the end of the file; reading on from there would
        // start at an offset that is not sector-aligned.
        const bool last = !readOk || read < chunk->dataLength || read == 0 || remaining - read <= 0 || stop_;
        // A file written to while it was read would arrive as a mix of old
        // and new blocks that it never held: its size or last write time
        // now differs from what was found before it was opened.
        if (last && readOk && !SourceUnchanged(file))
            chunk->sourceChanged = 1;
        EnterCriticalSection(&gate_.lock);
        AppendChunk(chunk);
        LeaveCriticalSection(&gate_.lock);
        first = false;
        remaining -= read;
        offset += read;
        if (last)
            return;
    }
}

bool CCopyEngine::ReadPieces(HANDLE file, uint64_t offset, void* data, uint32_t length, uint32_t* read) {
    uint32_t done = 0;
    auto* bytes = static_cast<unsigned char*>(data);
    while (!stop_) {
        uint32_t piece = std::min(length - done, maxReadPiece_);
        uint32_t got = 0;
        if (ReadRequest(file, offset + done, bytes + done, piece, &got)) {
            done += got;
            if (got < piece || piece == 0 || done == length)
                break;
            continue;
        }
        uint32_t lowered = GetLastError() == ERROR_NO_SYSTEM_RESOURCES ? LowerMaxPiece(maxReadPiece_, length) : 0;
        if (lowered == 0)
            return false;
        maxReadPiece_ = lowered;
    }
    *read = done;
    return !stop_ || done == length;
}

ChunkHeader* CCopyEngine::ReserveChunk(uint32_t headerBytes, uint64_t remaining) {
    ChunkPlacement place = PlaceChunk(ringSize_, ringWrite_, ioSector_, headerBytes, remaining, maxReadPiece_);
    while (queue_->next != queue_ && !stop_ && !IsChunkSpaceFree(place, ringRead_, ringWrite_, false))
        GateWait();
    if (stop_)
        return nullptr;
    ringRead_ = ReadPosAfterReserve(place, ringRead_, queue_->next == queue_);
    ringWrite_ = place.start + place.total;
    auto* chunk = reinterpret_cast<ChunkHeader*>(ring_ + place.start + place.dataLength);
    chunk->prev = chunk->next = nullptr;
    chunk->kind = kNextChunk;
    chunk->data = ring_ + place.start;
    chunk->dataLength = place.dataLength;
    chunk->headerSize = place.headerSize;
    chunk->validLength = 0;
    chunk->sourceChanged = 0;
    chunk->fileHash = 0;
    return chunk;
}

void CCopyEngine::AppendChunk(ChunkHeader* chunk) {
    chunk->prev = queue_->prev;
    chunk->next = queue_;
    queue_->prev->next = chunk;
    queue_->prev = chunk;
    GateWakeAll();
}

// ---- Writer ----

void CCopyEngine::RunWriter() {
    bool pending = false; // the held chunk was taken but not yet handled
    for (;;) {
        if (!pending && !TakeNextChunk())
            break;
        pending = false;
        if (heldChunk_->kind == kEndOfJob)
            break;
        if (heldChunk_->kind == kFirstChunk)
            pending = WriteOneFile();
        if (stop_)
            break;
    }
    EnterCriticalSection(&gate_.lock);
    heldChunk_ = nullptr;
    UnlinkAll(queue_);
    GateWakeAll();
    LeaveCriticalSection(&gate_.lock);
}

bool CCopyEngine::TakeNextChunk() {
    EnterCriticalSection(&gate_.lock);
    if (heldChunk_) {
        heldChunk_->prev->next = heldChunk_->next;
        heldChunk_->next->prev = heldChunk_->prev;
        ringRead_ = size_t(reinterpret_cast<unsigned char*>(heldChunk_) - ring_) + heldChunk_->headerSize;
        heldChunk_ = nullptr;
        // The reader may be waiting for exactly this space: waking it now,
        // not only once the queue is empty, keeps reading and writing
        // overlapped.
        GateWakeAll();
    }
    while (queue_->next == queue_ && !stop_)
        GateWait();
    if (queue_->next != queue_)
        heldChunk_ = queue_->next;
    bool taken = heldChunk_ && !stop_;
    LeaveCriticalSection(&gate_.lock);
    return taken;
}

bool CCopyEngine::WriteOneFile() {
    // The first chunk's ring space is reused once it is released, so what the
    // file needs later is copied out now.
    FileRecord record;
    FirstChunkView carried;
    if (!LoadFirstChunk(reinterpret_cast<const unsigned char*>(heldChunk_), kChunkHeaderBytes, heldChunk_->headerSize,
                        &record, offsetof(FileRecord, name) + sizeof(wchar_t), sizeof record, sizeof(wchar_t),
                        &carried)) {
        SetLastError(ERROR_INVALID_DATA);
        CountError();
        return false;
    }
    const wchar_t* destination = writerDestination_;
    const wchar_t* source = writerSource_;
    CopyText(writerDestination_, kCopyPathCapacity, reinterpret_cast<const wchar_t*>(carried.destination));
    CopyText(writerSource_, kCopyPathCapacity, reinterpret_cast<const wchar_t*>(carried.source));
    const CopyJob* job = currentJob_;
    const uint32_t sector = job->destinationSector;
    const uint64_t size = record.fileSize;
    const WriteMode mode = ChooseWriteMode(job->destinationKind, size, sector);
    const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (mode.unbuffered ? FILE_FLAG_NO_BUFFERING : 0);
    maxWritePiece_ = kMaxWritePiece;

    Ostra::UniqueFile file;
    // Set once this run has created the destination or may cut it: from
    // then on a failure removes it rather than leave a partial file.
    bool ours = false;
    int64_t counted = 0;
    int64_t heldBack = 0;
    bool pending = false;
    // why: the failure as the log shows it; Unreported when the reader has
    // already listed this file's failure (a read that kept failing).
    enum class Why { LastError, SourceChanged, DestinationIsSource, DestinationLeadsElsewhere, Unreported };
    auto fail = [&](Why why = Why::LastError) {
        const DWORD error = GetLastError();
        if (ours) {
            HANDLE handle = file.release();
            DiscardPartial(&handle, destination);
        }
        AddProgress(-counted);
        if (why == Why::LastError)
            CountFailure(destination, error, CopyFailureKind::SystemError);
        else if (why == Why::SourceChanged)
            CountFailure(source, 0, CopyFailureKind::ChangedWhileRead);
        else if (why == Why::DestinationIsSource)
            CountFailure(destination, 0, CopyFailureKind::DestinationIsSource, source);
        else if (why == Why::DestinationLeadsElsewhere)
            CountFailure(destination, 0, CopyFailureKind::DestinationLeadsElsewhere);
        return pending;
    };
    if (heldChunk_->sourceChanged)
        return fail(Why::SourceChanged); // a file of one chunk that changed while it was read

    bool existed = false;
    DestinationFinding finding = DestinationFinding::Usable;
    file.reset(OpenDestination(destination, record, source, flags, &existed, &finding));
    if (!file)
        return fail(finding == DestinationFinding::IsSource           ? Why::DestinationIsSource
                    : finding == DestinationFinding::LeadsElsewhere ? Why::DestinationLeadsElsewhere
                                                                      : Why::LastError);
    ours = true;

    if (existed || size > heldChunk_->dataLength) {
        // An earlier copy is cut to the new length at once. A new file of
        // several chunks is extended to its length first, so that a full
        // disk is met before any data is written.
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(mode.unbuffered ? RoundUp(size, sector) : size);
        // Every write names its own offset: the file pointer is left here.
        bool extended = SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
        if (!extended && (existed || GetLastError() == ERROR_DISK_FULL))
            return fail();
    }

    int64_t remaining = static_cast<int64_t>(size);
    uint64_t offset = 0;
    bool wroteAny = false;
    while (remaining > 0 && !stop_) {
        ChunkHeader* chunk = heldChunk_;
        uint64_t needed = std::min<uint64_t>(uint64_t(remaining), chunk->dataLength);
        if (chunk->sourceChanged)
            return fail(Why::SourceChanged);
        if (chunk->validLength < needed)
            return fail(Why::Unreported); // the reader could not read it and said so
        uint32_t length = WriteLength(chunk->dataLength, remaining, mode.unbuffered, sector);
        uint32_t written = 0;
        if (!WritePieces(file.get(), offset, chunk->data, length, mode.unbuffered, &written))
            return fail();
        if (written < length) {
            SetLastError(stop_ ? ERROR_OPERATION_ABORTED : ERROR_WRITE_FAULT);
            return fail();
        }
        // Only file bytes count, never sector padding; and the last chunk's
        // bytes count once the file is complete, so that bytes done equal to
        // bytes total means every file is in place.
        int64_t net = std::min<int64_t>(length, remaining);
        wroteAny = true;
        offset += length;
        remaining -= length;
        if (remaining <= 0) {
            heldBack = net;
            break;
        }
        AddProgress(net);
        counted += net;
        if (stop_)
            break;
        // The file's chunks end early only when the run is being stopped.
        SetLastError(ERROR_OPERATION_ABORTED);
        if (!TakeNextChunk())
            return fail();
        if (heldChunk_->kind != kNextChunk) {
            pending = true;
            return fail();
        }
    }
    if (remaining > 0) {
        SetLastError(ERROR_OPERATION_ABORTED);
        return fail();
    }

    if (mode.trim && wroteAny) {
        // Cut the sector padding off through a buffered handle. Opened by
        // name again, so a link put in the file's place is opened as itself.
        file.reset();
        DWORD bufferedFlags = (flags & ~DWORD(FILE_FLAG_NO_BUFFERING)) | FILE_FLAG_OPEN_REPARSE_POINT;
        for (int attempt = 0; attempt < 10 && !stop_; ++attempt) {
            if (StepRejected(CopyIoStep::ReopenForTrim, destination))
                break;
            file.reset(CreateFileW(destination, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   bufferedFlags, nullptr));
            if (file || GetLastError() != ERROR_SHARING_VIOLATION)
                break;
            Sleep(DWORD(attempt * attempt * 10));
        }
        if (!file)
            return fail();
    }
    if (wroteAny) {
        // Only a padded file can be longer than its size: the others were
        // written (or cut or extended) to exactly that size.
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        if (mode.trim && (StepRejected(CopyIoStep::SetEnd, destination) ||
                          !SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())))
            return fail();
        // Times and attributes go through the open handle in one call:
        // setting attributes by name would open the file a second time.
        if (StepRejected(CopyIoStep::SetTimes, destination) || StepRejected(CopyIoStep::SetAttributes, destination) ||
            !SetTimesAndAttributes(file.get(), record))
            return fail();
    }
    // Data still held back by the system can fail to reach the disk at the
    // close; then the file is not in place either.
    bool closeRefused = StepRejected(CopyIoStep::CloseDestination, destination);
    if (!CloseHandle(file.release()) || closeRefused)
        return fail();
    if (verify_) {
        try {
            verifyItems_.push_back(VerifyItem{destination, size, heldChunk_->fileHash});
        } catch (...) {
            // A copy that cannot be read back later cannot be called verified.
            CountFailure(destination, ERROR_NOT_ENOUGH_MEMORY, CopyFailureKind::SystemError);
            return false;
        }
    }
    progress_.filesCopied.fetch_add(1);
    AddProgress(heldBack);
    return false;
}

// ---- Verify ----

void CCopyEngine::VerifyCopies() {
    uint64_t total = 0;
    for (const VerifyItem& item : verifyItems_)
        total += item.size;
    progress_.verifyBytesTotal.fetch_add(total);
    progress_.verifying = 1;
    const uint32_t started = GetTickCount();
    // Two threads take the files in turn, each reading into its own part of
    // the ring: hashing one file's data overlaps reading the other's.
    verifyNext_ = 0;
    HANDLE helper = CreateThread(nullptr, 0, &CCopyEngine::VerifyThreadMain, this, 0, nullptr);
    VerifyFrom(ring_, true);
    JoinThread(&helper);
    progress_.verifyMs.fetch_add(ElapsedTicks(GetTickCount(), started));
    progress_.verifying = 0;
    std::vector<VerifyItem>().swap(verifyItems_);
}

DWORD WINAPI CCopyEngine::VerifyThreadMain(void* engine) {
    auto* self = static_cast<CCopyEngine*>(engine);
    self->VerifyFrom(self->ring_ + kMaxPiece, false);
    return 0;
}

void CCopyEngine::VerifyFrom(unsigned char* buffer, bool shown) {
    for (;;) {
        const size_t index = verifyNext_.fetch_add(1);
        if (index >= verifyItems_.size())
            return;
        const VerifyItem& item = verifyItems_[index];
        if (stop_) {
            // Copied but not read back: the run must not look complete.
            CountFailure(item.path.c_str(), ERROR_OPERATION_ABORTED, CopyFailureKind::VerifyFailed);
            return;
        }
        if (shown)
            CopyText(currentDestination_, kCopyPathCapacity, item.path.c_str());
        VerifyOne(item, buffer);
    }
}

void CCopyEngine::VerifyOne(const VerifyItem& item, unsigned char* buffer) {
    const CopyJob* job = currentJob_;
    // Unbuffered, the disk is read rather than the system's cache of what
    // was just written; a share is read through its ordinary path.
    const bool unbuffered = job->destinationKind != kKindNetwork;
    const uint32_t sector = std::max<uint32_t>(job->destinationSector, 512u);
    // Others may open it meanwhile: whatever they change shows as a difference.
    Ostra::UniqueFile file(CreateFileW(item.path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN | (unbuffered ? FILE_FLAG_NO_BUFFERING : 0), nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        CountFailure(item.path.c_str(), GetLastError(), CopyFailureKind::VerifyFailed);
        return;
    }
    ContentHash hash;
    if (!hash.valid()) {
        CountFailure(item.path.c_str(), ERROR_NOT_ENOUGH_MEMORY, CopyFailureKind::VerifyFailed);
        return;
    }
    uint64_t offset = 0;
    const bool sameSize = uint64_t(size.QuadPart) == item.size;
    while (sameSize && offset < item.size && !stop_) {
        const uint64_t left = item.size - offset;
        const uint32_t piece =
            static_cast<uint32_t>(std::min<uint64_t>(kMaxPiece, unbuffered ? RoundUp(left, sector) : left));
        uint32_t got = 0;
        if (!ReadRequest(file.get(), offset, buffer, piece, &got, CopyIoStep::VerifyRead, item.path.c_str())) {
            CountFailure(item.path.c_str(), GetLastError(), CopyFailureKind::VerifyFailed);
            return;
        }
        const uint64_t counted = std::min<uint64_t>(got, left);
        if (counted == 0)
            break; // shorter than it was when it was written
        hash.Add(buffer, static_cast<size_t>(counted));
        offset += counted;
        progress_.verifyBytesDone.fetch_add(counted);
    }
    if (stop_ && sameSize && offset < item.size) {
        CountFailure(item.path.c_str(), ERROR_OPERATION_ABORTED, CopyFailureKind::VerifyFailed);
        return;
    }
    if (!sameSize || offset != item.size || hash.Value() != item.hash)
        CountFailure(item.path.c_str(), 0, CopyFailureKind::VerifyFailed);
}

bool CCopyEngine::SetTimesAndAttributes(HANDLE file, const FileRecord& record) {
    // The attributes a file can be given; the others (compressed, sparse,
    // encrypted, reparse point) describe how it is stored.
    constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    auto asLarge = [](const FILETIME& time) {
        LARGE_INTEGER value;
        value.LowPart = time.dwLowDateTime;
        value.HighPart = static_cast<LONG>(time.dwHighDateTime);
        return value;
    };
    FILE_BASIC_INFO basic = {};
    basic.CreationTime = asLarge(record.creationTime);
    basic.LastAccessTime = asLarge(record.lastAccessTime);
    basic.LastWriteTime = asLarge(record.lastWriteTime);
    basic.FileAttributes = record.attributes & kSettable;
    if (basic.FileAttributes == 0)
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL; // 0 would leave the new file's attributes as they are
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

namespace {

// Whether writing through this handle would change what another name shows:
// a file with more than one name, or a link (opened as itself). Unreadable
// facts count as such a file.
// (Asked without the volume serial, which is slow to ask on some systems.)
bool LeadsElsewhere(HANDLE file) {
    FILE_STANDARD_INFO standard;
    FILE_BASIC_INFO basic;
    return !GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) ||
           standard.NumberOfLinks > 1 ||
           !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
           (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

} // namespace

HANDLE CCopyEngine::OpenDestination(const wchar_t* path, const FileRecord& record, const wchar_t* source, DWORD flags,
                                    bool* existed, DestinationFinding* finding) {
    // Opened without being cut: a file already there may be the source
    // itself, reached through a link to its folder or a hard link. A link
    // already there is opened as itself, never followed.
    const DWORD access = GENERIC_WRITE | DELETE;
    flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    if (StepRejected(CopyIoStep::CreateDestination, path))
        return INVALID_HANDLE_VALUE;
    Ostra::UniqueFile file(CreateFileW(path, access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, flags, nullptr));
    DWORD error = GetLastError();
    if (!file && error == ERROR_ACCESS_DENIED) {
        // A read-only copy already there refuses writing until its
        // attributes are cleared, unless it is the source, whose attributes
        // stay as they are.
        Ostra::UniqueFile present(CreateFileW(path, FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!present)
            return INVALID_HANDLE_VALUE;
        if (IsSourceItself(present.get(), record, source)) {
            *finding = DestinationFinding::IsSource;
            return INVALID_HANDLE_VALUE;
        }
        // Clearing the attributes of a file with another name would clear
        // them for that name too.
        if (LeadsElsewhere(present.get())) {
            *finding = DestinationFinding::LeadsElsewhere;
            return INVALID_HANDLE_VALUE;
        }
        present.reset();
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        file.reset(CreateFileW(path, access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, flags, nullptr));
        error = GetLastError();
    }
    if (!file)
        return INVALID_HANDLE_VALUE;
    *existed = error == ERROR_ALREADY_EXISTS;
    if (*existed && IsSourceItself(file.get(), record, source)) {
        *finding = DestinationFinding::IsSource;
        return INVALID_HANDLE_VALUE;
    }
    if (*existed && LeadsElsewhere(file.get())) {
        *finding = DestinationFinding::LeadsElsewhere;
        return INVALID_HANDLE_VALUE;
    }
    return file.release();
}

bool CCopyEngine::IsSourceItself(HANDLE destination, const FileRecord& record, const wchar_t* source) {
    uint64_t index = 0;
    if (record.fileIndex != 0 && QueryFileIndex(destination, &index) && index != record.fileIndex)
        return false;
    // Equal indexes may still be two files on two volumes: only then is the
    // source opened again, by name, to compare the volumes as well. When it
    // cannot be, or it is no longer the file that was read, the destination
    // is taken to be the source.
    Ostra::UniqueFile sourceFile(CreateFileW(source, FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    uint64_t sourceIndex = 0;
    if (!sourceFile ||
        (record.fileIndex != 0 && (!QueryFileIndex(sourceFile.get(), &sourceIndex) || sourceIndex != record.fileIndex)))
        return true;
    return CouldBeSameFile(sourceFile.get(), destination);
}

void CCopyEngine::DiscardPartial(HANDLE* file, const wchar_t* path) {
    // The observer stands in for a file that cannot be removed.
    const bool refused = StepRejected(CopyIoStep::DiscardPartial, path);
    if (*file != INVALID_HANDLE_VALUE) {
        FILE_DISPOSITION_INFO disposition = {TRUE};
        bool marked =
            !refused && SetFileInformationByHandle(*file, FileDispositionInfo, &disposition, sizeof disposition);
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
        if (marked)
            return;
    }
    if (!refused) {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(path))
            return;
    }
    // Still there (held open elsewhere, or protected): moved out of the way
    // so that its name never shows a partial file, and removed at restart.
    // The name itself is never scheduled, since a later copy may put a
    // complete file there.
    std::unique_ptr<wchar_t[]> aside(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    wchar_t suffix[40];
    swprintf(suffix, 40, L".%08lx%08lx.partial", GetCurrentThreadId(), GetTickCount());
    if (!aside || wcslen(path) + wcslen(suffix) + 1 > kCopyPathCapacity)
        return;
    wcscpy(aside.get(), path);
    wcscat(aside.get(), suffix);
    SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
    if (MoveFileExW(path, aside.get(), 0))
        MoveFileExW(aside.get(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool CCopyEngine::WritePieces(HANDLE file, uint64_t offset, const void* data, uint32_t length, bool unbuffered,
                              uint32_t* written) {
    uint32_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (done != length && !stop_) {
        uint32_t piece = std::min(length - done, maxWritePiece_);
        uint32_t put = 0;
        if (WriteRequest(file, offset + done, bytes + done, piece, unbuffered, &put)) {
            done += put;
            if (put < piece)
                break; // a short write: the caller sees done < length
            continue;
        }
        uint32_t lowered = GetLastError() == ERROR_NO_SYSTEM_RESOURCES ? LowerMaxPiece(maxWritePiece_, length) : 0;
        if (lowered == 0)
            return false;
        maxWritePiece_ = lowered;
    }
    *written = done;
    return true;
}

void CCopyEngine::AddProgress(int64_t bytes) {
    progress_.bytesDone.fetch_add(static_cast<uint64_t>(bytes));
    progress_.currentFileDone.fetch_add(static_cast<uint64_t>(bytes));
    if (bytes <= 0)
        return;
    uint32_t now = GetTickCount();
    double elapsed = ElapsedTicks(now, progress_.startTick) / 1000.0;
    double average = MiBPerSecond(double(progress_.bytesDone.load()), elapsed);
    progress_.elapsedSeconds = elapsed;
    progress_.averageSpeed = average;
    double interval = ElapsedTicks(now, progress_.lastSampleTick) / 1000.0;
    progress_.currentSpeed = interval > 0 ? MiBPerSecond(double(bytes), interval) : average;
    progress_.lastSampleTick = now;
}

// ---- The one place each direction of I/O goes through ----

namespace {

OVERLAPPED OverlappedAt(uint64_t offset) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// A diagnostic observer may record a request or fail it with an error code.
bool RejectedByObserver(ICopyIoObserver* observer, const CopyIoRequest& request) {
    if (!observer)
        return false;
    DWORD error = observer->OnIoRequest(request);
    if (!error)
        return false;
    SetLastError(error);
    return true;
}

} // namespace

bool CCopyEngine::ReadRequest(HANDLE file, uint64_t offset, void* buffer, uint32_t length, uint32_t* read,
                              CopyIoStep step, const wchar_t* path) {
    if (RejectedByObserver(ioObserver_,
                           {false, true, offset, length, buffer, ioSector_, path ? path : currentSource_, step}))
        return false;
    OVERLAPPED at = OverlappedAt(offset);
    DWORD got = 0;
    BOOL ok = ReadFile(file, buffer, length, &got, &at);
    if (!ok && GetLastError() == ERROR_HANDLE_EOF) {
        ok = TRUE;
        got = 0;
    }
    *read = got;
    return ok != FALSE;
}

bool CCopyEngine::WriteRequest(HANDLE file, uint64_t offset, const void* buffer, uint32_t length, bool unbuffered,
                               uint32_t* written) {
    if (RejectedByObserver(ioObserver_, {true, unbuffered, offset, length, buffer, currentJob_->destinationSector,
                                         writerDestination_, CopyIoStep::Write}))
        return false;
    OVERLAPPED at = OverlappedAt(offset);
    DWORD put = 0;
    BOOL ok = WriteFile(file, buffer, length, &put, &at);
    *written = put;
    return ok != FALSE;
}

bool CCopyEngine::StepRejected(CopyIoStep step, const wchar_t* path) {
    return RejectedByObserver(ioObserver_, {false, false, 0, 0, nullptr, 0, path, step});
}
