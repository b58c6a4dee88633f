// What the migration does to the system: the profile registry, the client
// process, the folders, the copy engine and the log. Shared by the window and
// the unattended mode.
#pragma once

#include "MigrationController.h"
#include "MigrationLogFile.h"

#include <CopyEngine.h>

#include <functional>
#include <string>

class MigrationSystem : public IMigrationSystem {
public:
    MigrationSystem() = default;

    // Lets the copy engine ready its buffer while the window waits for the user.
    void PrepareCopyEngine() { copyEngine_.PrepareRing(); }

    // Runs on the calling thread just before the engine counts the tree.
    void SetBeforeCopy(std::function<void()> beforeCopy) { beforeCopy_ = std::move(beforeCopy); }

    std::wstring ReadProfileDirectory() override;
    bool RewriteProfilePath(const std::wstring& newDirectory) override;
    bool RegistryCanHold(const std::wstring& path) override;
    bool EnsureClientStopped() override;
    std::int32_t LaunchClient() override;
    bool DirectoryExists(const std::wstring& path) override;
    bool CreateDirectoryPath(const std::wstring& path) override;
    bool IsExistingFolder(const std::wstring& path) override;
    std::wstring FullPath(const std::wstring& path) override;
    Ostra::IdentityAnswer IsSameFolder(const std::wstring& a, const std::wstring& b) override;
    Ostra::IdentityAnswer IsSameOrInsideFolder(const std::wstring& path, const std::wstring& folder) override;
    DestinationContents InspectDestination(const std::wstring& destination) override;
    bool MarkUnfinishedCopy(const std::wstring& destination, const std::wstring& source) override;
    bool ClearUnfinishedMark(const std::wstring& destination) override;
    void StartCopy(const std::wstring& source, const std::wstring& destination, bool verify) override;
    void StopCopy() override { copyEngine_.Cancel(); }
    MirrorOutcome RemoveWhatSourceLacks(const std::wstring& source, const std::wstring& copy) override;
    CopySample SampleProgress() override;
    bool CountTree(const std::wstring& folder, std::uint64_t* bytes, std::uint32_t* files, std::size_t* longest,
                   const std::wstring& destination) override;
    bool FreeSpace(const std::wstring& path, std::uint64_t* bytes) override;
    std::vector<CopyFailureEntry> CopyFailures() override;
    std::uint32_t CopyFailuresNotListed() override { return copyEngine_.FailuresNotKept(); }
    void AppendLog(const std::wstring& line) override;
    std::wstring LogPath() override;
    std::wstring NowText() override;

private:
    CCopyEngine copyEngine_;
    MigrationLogFile log_;
    std::function<void()> beforeCopy_;
};

// The system's text for a Windows error code, on one line; empty when none.
std::wstring SystemErrorText(std::uint32_t error);
