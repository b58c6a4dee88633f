#include "MigrationSystem.h"

#include "DirectoryOps.h"
#include "FileIdentity.h"
#include "ProcessControl.h"
#include "ProfileRegistry.h"

#include <PathHelpers.h>

#include <cwchar>
#include <memory>
#include <new>

namespace {

const wchar_t kClientFileName[] = L"ostramail.exe";

} // namespace

std::wstring SystemErrorText(std::uint32_t error) {
    wchar_t text[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof(text) / sizeof(text[0]), nullptr);
    std::wstring out(text, length < sizeof(text) / sizeof(text[0]) ? length : 0);
    for (wchar_t& c : out)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    while (!out.empty() && out.back() == L' ')
        out.pop_back();
    return out;
}

std::wstring MigrationSystem::ReadProfileDirectory() {
    return ::ReadProfileDirectory();
}

bool MigrationSystem::RewriteProfilePath(const std::wstring& newDirectory) {
    return ::RewriteProfilePath(newDirectory);
}

bool MigrationSystem::RegistryCanHold(const std::wstring& path) {
    const std::wstring iniPath = ProfileRegistryPath(GetAppDataFolder());
    return !iniPath.empty() && ::RegistryCanHold(iniPath, path);
}

bool MigrationSystem::EnsureClientStopped() {
    std::wstring client = ProgramDirectoryPath(kClientFileName);
    return !client.empty() && ::EnsureClientStopped(client);
}

std::int32_t MigrationSystem::LaunchClient() {
    std::wstring client = ProgramDirectoryPath(kClientFileName);
    return client.empty() ? static_cast<std::int32_t>(0x8000FFFF) : ::LaunchClient(client);
}

bool MigrationSystem::DirectoryExists(const std::wstring& path) {
    return ::DirectoryExists(path);
}

bool MigrationSystem::CreateDirectoryPath(const std::wstring& path) {
    return ::CreateDirectoryPath(path);
}

bool MigrationSystem::IsExistingFolder(const std::wstring& path) {
    return ::IsExistingFolder(path);
}

std::wstring MigrationSystem::FullPath(const std::wstring& path) {
    return ::FullPath(path);
}

Ostra::IdentityAnswer MigrationSystem::IsSameFolder(const std::wstring& a, const std::wstring& b) {
    return Ostra::IsSameObject(::FullPath(a), ::FullPath(b));
}

Ostra::IdentityAnswer MigrationSystem::IsSameOrInsideFolder(const std::wstring& path, const std::wstring& folder) {
    // A destination not made yet lies where the nearest folder above it lies.
    std::wstring nearest = ::FullPath(path);
    Ostra::FileIdentity identity;
    for (int level = 0; level < 512 && !nearest.empty(); ++level) {
        switch (Ostra::ReadIdentity(nearest, &identity)) {
        case Ostra::IdentityRead::Read:
            return Ostra::IsSameOrInside(nearest, ::FullPath(folder));
        case Ostra::IdentityRead::Unreadable:
            return Ostra::IdentityAnswer::CantTell;
        case Ostra::IdentityRead::Missing:
            break;
        }
        const std::size_t cut = nearest.find_last_of(L"\\/");
        if (cut == std::wstring::npos || nearest.size() <= 3)
            return Ostra::IdentityAnswer::No; // not even its volume is there
        nearest.resize(cut < 3 ? 3 : cut);
    }
    return Ostra::IdentityAnswer::CantTell;
}

DestinationContents MigrationSystem::InspectDestination(const std::wstring& destination) {
    return ::InspectDestination(destination);
}

bool MigrationSystem::MarkUnfinishedCopy(const std::wstring& destination, const std::wstring& source) {
    return ::MarkUnfinishedCopy(destination, source);
}

bool MigrationSystem::ClearUnfinishedMark(const std::wstring& destination) {
    return ::ClearUnfinishedMark(destination);
}

MirrorOutcome MigrationSystem::RemoveWhatSourceLacks(const std::wstring& source, const std::wstring& copy) {
    MirrorOutcome outcome = ::RemoveWhatSourceLacks(source, copy);
    if (!outcome.complete)
        outcome.message = SystemErrorText(outcome.error);
    return outcome;
}

void MigrationSystem::StartCopy(const std::wstring& source, const std::wstring& destination, bool verify) {
    if (beforeCopy_)
        beforeCopy_();
    copyEngine_.SetVerify(verify);
    copyEngine_.AddJob(source.c_str(), destination.c_str());
}

CopySample MigrationSystem::SampleProgress() {
    CopyProgress progress = {};
    copyEngine_.GetProgress(&progress);
    CopySample sample;
    sample.runEnded = progress.runEnded != 0;
    sample.errors = progress.errors;
    sample.bytesTotal = progress.bytesTotal;
    sample.bytesDone = progress.bytesDone;
    sample.filesTotal = progress.filesTotal;
    sample.filesCopied = progress.filesCopied;
    sample.verifying = progress.verifying != 0;
    sample.verifyBytesTotal = progress.verifyBytesTotal;
    sample.verifyBytesDone = progress.verifyBytesDone;
    sample.verifyMs = progress.verifyMs;
    sample.tickMs = GetTickCount();
    return sample;
}

bool MigrationSystem::CountTree(const std::wstring& folder, std::uint64_t* bytes, std::uint32_t* files,
                                std::size_t* longest, const std::wstring& destination) {
    *bytes = 0;
    *files = 0;
    if (longest)
        *longest = 0;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[kCopyPathCapacity]);
    const std::wstring full = ::FullPath(folder);
    if (!path || full.size() + 1 > kCopyPathCapacity)
        return false;
    wcscpy(path.get(), full.c_str());
    AddLongPathPrefix(path.get(), kCopyPathCapacity);
    // The destination may not exist yet: the folders from its nearest
    // existing one up are what a link in the profile could lead back into.
    // A destination with no folder at all (a drive that is not there) has
    // nothing a link could lead into.
    std::vector<Ostra::FileIdentity> above;
    std::wstring existing = destination.empty() ? std::wstring() : ::FullPath(destination);
    while (!existing.empty() && !IsExistingFolder(existing)) {
        const std::size_t cut = existing.find_last_of(L'\\');
        std::wstring parent = cut == std::wstring::npos ? std::wstring() : existing.substr(0, cut);
        if (parent.size() == 2 && parent[1] == L':')
            parent += L'\\';
        existing = parent == existing ? std::wstring() : parent;
    }
    if (!existing.empty() && !Ostra::ReadAncestry(existing, &above))
        return false;
    return ::CountTree(path.get(), bytes, files, nullptr, above.empty() ? nullptr : &above, longest) != 0;
}

bool MigrationSystem::FreeSpace(const std::wstring& path, std::uint64_t* bytes) {
    // The destination may not exist yet: ask for the nearest folder that does.
    std::wstring folder = ::FullPath(path);
    for (int level = 0; level < 512 && !folder.empty(); ++level) {
        if (::IsExistingFolder(folder)) {
            ULARGE_INTEGER available = {};
            std::wstring asked = folder;
            if (asked.back() != L'\\')
                asked += L'\\';
            if (!GetDiskFreeSpaceExW(asked.c_str(), &available, nullptr, nullptr))
                return false;
            *bytes = available.QuadPart;
            return true;
        }
        std::size_t cut = folder.find_last_of(L'\\');
        if (cut == std::wstring::npos)
            return false;
        folder.resize(cut);
    }
    return false;
}

namespace {

std::wstring FailureText(const CopyFailure& failure) {
    switch (failure.kind) {
    case CopyFailureKind::SystemError:
        return SystemErrorText(failure.error);
    case CopyFailureKind::ChangedSinceCounted:
        return L"统计之后内容有变化，未复制";
    case CopyFailureKind::ChangedWhileRead:
        return L"复制期间文件被修改，未复制";
    case CopyFailureKind::CaseTwin:
        return L"与“" + failure.otherPath + L"”仅大小写不同，未复制";
    case CopyFailureKind::DestinationInsideSource:
        return L"目标文件夹就是旧目录“" + failure.otherPath + L"”或位于其中，未复制";
    case CopyFailureKind::VerifyFailed:
        return failure.error ? L"校验失败，无法读回：" + SystemErrorText(failure.error)
                             : L"校验失败，读回的内容与原文件不同";
    case CopyFailureKind::DestinationIsSource:
        return L"目标就是源文件“" + failure.otherPath + L"”本身（经由链接），未复制";
    case CopyFailureKind::DestinationLeadsElsewhere:
        return L"新目录中已有的此项是链接或另有其他名称，未写入";
    }
    return SystemErrorText(failure.error);
}

} // namespace

std::vector<CopyFailureEntry> MigrationSystem::CopyFailures() {
    std::vector<CopyFailureEntry> entries;
    for (const CopyFailure& failure : copyEngine_.GetFailures()) {
        const uint32_t error = failure.kind == CopyFailureKind::SystemError ? failure.error : 0;
        entries.push_back(CopyFailureEntry{failure.path, error, FailureText(failure)});
    }
    return entries;
}

void MigrationSystem::AppendLog(const std::wstring& line) {
    log_.Append(line);
}

std::wstring MigrationSystem::LogPath() {
    return log_.path();
}

std::wstring MigrationSystem::NowText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    swprintf(text, sizeof(text) / sizeof(text[0]), L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    return text;
}
