// The migration workflow of the main window, apart from the window itself:
// the start checks, the copy start, the progress polling, the completion and
// the restart of the mail client. The window supplies the two ports below.
#pragma once

#include "ProgressRules.h"

#include <cstdint>
#include <string>
#include <vector>

// One file or folder the copy engine could not copy, for the migration log.
struct CopyFailureEntry {
    std::wstring path;
    std::uint32_t error = 0;
    std::wstring message; // the system's text for the error
};

// What a chosen destination holds before a copy starts.
struct DestinationContents {
    enum class Kind {
        Missing,          // nothing of that name: it is created
        Empty,            // an existing folder with no entries
        LeftByEarlierRun, // holds the mark of a copy that did not complete
        Occupied,         // holds entries and no mark: someone's data
        NotAFolder,       // a file (or something that cannot be listed) holds the name
    };
    Kind kind = Kind::Missing;
    std::wstring markedSource; // for LeftByEarlierRun: the profile that copy came from
};

// What the workflow shows and asks of the user.
class IMigrationView {
public:
    virtual void SetOldDirectoryText(const std::wstring& text) = 0;
    virtual std::wstring GetOldDirectoryText() const = 0;
    virtual void SetNewDirectoryText(const std::wstring& text) = 0;
    virtual std::wstring GetNewDirectoryText() const = 0;
    virtual void SetLogText(const std::wstring& text) = 0;
    virtual void SetProgressValue(int percent) = 0;
    // Idle: "立即迁移" enabled, cancel visible. Copying: "立即运行" disabled, cancel
    // hidden. Finished: "立即运行" enabled, cancel hidden.
    virtual void ShowIdleButtons() = 0;
    virtual void ShowCopyingButtons() = 0;
    virtual void ShowFinishedButtons() = 0;
    virtual void StartProgressTimer() = 0;
    virtual void StopProgressTimer() = 0;
    // Lets the user pick a folder; false when cancelled. The folder comes
    // without a trailing separator.
    virtual bool ChooseFolder(std::wstring* folder) = 0;
    virtual void CloseWindow() = 0;

protected:
    ~IMigrationView() = default;
};

// What the workflow does to the system.
class IMigrationSystem {
public:
    virtual std::wstring ReadProfileDirectory() = 0;
    virtual void RewriteProfilePath(const std::wstring& newDirectory) = 0;
    // True when the mail client beside this program is not (or no longer) running.
    virtual bool EnsureClientStopped() = 0;
    // The launch's result code (0 started).
    virtual std::int32_t LaunchClient() = 0;
    virtual bool DirectoryExists(const std::wstring& path) = 0;
    virtual bool CreateDirectoryPath(const std::wstring& path) = 0;
    // True for an existing folder (a link to one counts); false for a file or nothing.
    virtual bool IsExistingFolder(const std::wstring& path) = 0;
    // The full path with "." and ".." resolved and short names made long,
    // so that two spellings of one place compare equal.
    virtual std::wstring FullPath(const std::wstring& path) = 0;
    virtual DestinationContents InspectDestination(const std::wstring& destination) = 0;
    // The mark that tells a later run this folder holds an unfinished copy of
    // source. Cleared once the copy is complete, before the profile is redirected.
    virtual bool MarkUnfinishedCopy(const std::wstring& destination, const std::wstring& source) = 0;
    virtual void ClearUnfinishedMark(const std::wstring& destination) = 0;
    // Bytes and files below folder; false when some part could not be listed.
    virtual bool CountTree(const std::wstring& folder, std::uint64_t* bytes, std::uint32_t* files) = 0;
    // Free bytes for this user on the volume that path is (or would be) on.
    virtual bool FreeSpace(const std::wstring& path, std::uint64_t* bytes) = 0;
    virtual std::vector<CopyFailureEntry> CopyFailures() = 0;
    // The migration log: lines are appended as they happen, so a run that is
    // closed midway still leaves what it did. LogPath is empty until the first line.
    virtual void AppendLog(const std::wstring& line) = 0;
    virtual std::wstring LogPath() = 0;
    virtual std::wstring NowText() = 0; // local time, "2026-12-07 17:30:05"
    virtual void StartCopy(const std::wstring& source, const std::wstring& destination) = 0;
    virtual CopySample SampleProgress() = 0;

protected:
    ~IMigrationSystem() = default;
};

// Texts the workflow shows.
namespace MigrationText {
extern const wchar_t kProfileUnreadable[];
extern const wchar_t kNotInstalled[];
extern const wchar_t kNoNewDirectory[];
extern const wchar_t kSameDirectory[];
extern const wchar_t kInsideOldDirectory[];
extern const wchar_t kContainsOldDirectory[];
extern const wchar_t kProfileMissing[];
extern const wchar_t kDestinationOccupied[];
extern const wchar_t kPathTooLong[];
extern const wchar_t kCreateFailed[];
extern const wchar_t kCopying[];
extern const wchar_t kFinished[];
extern const wchar_t kIncomplete[];
extern const wchar_t kIncompleteSeeLog[];
extern const wchar_t kRedirectFailed[];
} // namespace MigrationText

class MigrationController {
public:
    enum class Phase { Idle, Copying, Finished };
    // How the last start ended, for a caller without a window.
    enum class Result {
        None,          // no start yet, or a copy still running
        Migrated,      // copied and redirected
        Incomplete,    // the copy or the redirect did not complete; nothing redirected
        Refused,       // no destination, or one the checks refuse
        ClientRunning, // the mail client could not be stopped
        NoSpace,       // the destination volume is too small
        NoProfile,     // no usable old profile
    };

    MigrationController(IMigrationView& view, IMigrationSystem& system) : view_(view), system_(system) {}

    // The window's controls exist: show where the profile lives now.
    void OnWindowReady();
    // "selectDir": the destination becomes <folder>\Profiles.
    void OnSelectDirectory();
    // "OkBtn": start checks and the copy, or after completion the restart.
    void OnStartClicked();
    // The progress timer ticked.
    void OnProgressTimer();

    Phase phase() const { return phase_; }
    const std::wstring& profileDirectory() const { return profileDirectory_; }
    const std::wstring& copyDestination() const { return copyDestination_; }
    bool migrationFinished() const { return migrationFinished_; }
    Result result() const { return result_; }

private:
    // The refusal text for a destination, or null when the copy may go there.
    const wchar_t* CheckDestination(const std::wstring& destination);
    bool CheckSpace(const std::wstring& destination);
    void Refuse(const std::wstring& text, Result result);
    void StartCopy(const std::wstring& destination);
    void ShowSample(const CopySample& sample);
    void LogRunEnd(const CopySample& sample, const wchar_t* outcome);
    void Log(const std::wstring& line) { system_.AppendLog(line); }

    IMigrationView& view_;
    IMigrationSystem& system_;
    std::wstring profileDirectory_;
    std::wstring copyDestination_;
    bool migrationFinished_ = false;
    Phase phase_ = Phase::Idle;
    Result result_ = Result::None;
    DestinationContents destinationContents_; // of the destination the checks last passed
    TimeLeftEstimator timeLeft_;
    bool precounted_ = false;
    std::uint64_t precountBytes_ = 0;
};
