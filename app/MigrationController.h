// The migration workflow of the main window, apart from the window itself:
// the start checks, the copy start, the progress polling, the completion and
// the restart of the mail client. The window supplies the two ports below.
#pragma once

#include "FileIdentity.h"
#include "ProgressRules.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One file or folder the copy engine could not copy, for the migration log.
struct CopyFailureEntry {
    std::wstring path;
    std::uint32_t error = 0; // 0 for the copy's own findings (message says what)
    std::wstring message;    // the system's text for the error, or the finding
};

// What removing the leftovers of an earlier, unfinished copy did.
struct MirrorOutcome {
    bool complete = true;      // everything the source lacks is gone from the copy
    std::uint32_t removed = 0; // files, folders and links removed
    std::wstring failedPath;   // the first that could not be removed
    std::uint32_t error = 0;   // and why
    std::wstring message;      // the system's text for error
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

// The control the user would press next; it gets the keyboard focus.
enum class NextControl {
    None,         // a copy is running: nothing to press
    ChooseFolder, // "..."
    Start,        // "立即迁移", or "立即运行" once finished
    Later,        // "以后再说": nothing can be done
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
    // Called after the buttons show the new state.
    virtual void FocusNext(NextControl control) = 0;
    virtual void StartProgressTimer() = 0;
    virtual void StopProgressTimer() = 0;
    // Lets the user pick a folder; false when cancelled. The folder comes
    // without a trailing separator.
    virtual bool ChooseFolder(std::wstring* folder) = 0;
    virtual void CloseWindow() = 0;
    // Asks a yes/no question; true for yes.
    virtual bool Confirm(const std::wstring& question) = 0;

protected:
    ~IMigrationView() = default;
};

// What the workflow does to the system.
class IMigrationSystem {
public:
    virtual std::wstring ReadProfileDirectory() = 0;
    // Points profiles.ini at newDirectory in one step; false when profiles.ini
    // was left as it was.
    virtual bool RewriteProfilePath(const std::wstring& newDirectory) = 0;
    // True when profiles.ini can store the path exactly (its encoding).
    virtual bool RegistryCanHold(const std::wstring& path) = 0;
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
    // Whether a and b name one existing folder, whatever names reach it
    // (another drive letter on the same folder, a link, a short name).
    virtual Ostra::IdentityAnswer IsSameFolder(const std::wstring& a, const std::wstring& b) = 0;
    // Whether path is folder or lies inside it, by the same identity; a path
    // that does not exist yet is answered for the nearest folder above it that does.
    virtual Ostra::IdentityAnswer IsSameOrInsideFolder(const std::wstring& path, const std::wstring& folder) = 0;
    virtual DestinationContents InspectDestination(const std::wstring& destination) = 0;
    // The mark that tells a later run this folder holds an unfinished copy of
    // source. Cleared once the profile has been redirected to the copy.
    virtual bool MarkUnfinishedCopy(const std::wstring& destination, const std::wstring& source) = 0;
    // True when the mark is gone.
    virtual bool ClearUnfinishedMark(const std::wstring& destination) = 0;
    // Bytes and files below folder, and (when longest is given) the length of
    // the longest path below it relative to it; false when some part could
    // not be listed. With a destination, a folder reached through a link that
    // is the destination or lies above it is left out, as the copy leaves it.
    virtual bool CountTree(const std::wstring& folder, std::uint64_t* bytes, std::uint32_t* files,
                           std::size_t* longest, const std::wstring& destination) = 0;
    // Free bytes for this user on the volume that path is (or would be) on.
    virtual bool FreeSpace(const std::wstring& path, std::uint64_t* bytes) = 0;
    virtual std::vector<CopyFailureEntry> CopyFailures() = 0;
    // Failures beyond the ones CopyFailures lists (the list is bounded).
    virtual std::uint32_t CopyFailuresNotListed() = 0;
    // The migration log: lines are appended as they happen, so a run that is
    // closed midway still leaves what it did. LogPath is empty until the first line.
    virtual void AppendLog(const std::wstring& line) = 0;
    virtual std::wstring LogPath() = 0;
    virtual std::wstring NowText() = 0; // local time, "2026-12-07 17:30:05"
    // verify: every copied file is read back and compared before the run can end complete.
    virtual void StartCopy(const std::wstring& source, const std::wstring& destination, bool verify) = 0;
    // Stops a running copy and waits for it; the file being written is removed.
    virtual void StopCopy() = 0;
    // Removes from copy, an unfinished copy of source an earlier run left,
    // whatever source no longer has (never following a link).
    virtual MirrorOutcome RemoveWhatSourceLacks(const std::wstring& source, const std::wstring& copy) = 0;
    virtual CopySample SampleProgress() = 0;

protected:
    ~IMigrationSystem() = default;
};

// Texts the workflow shows.
namespace MigrationText {
extern const wchar_t kReady[];
extern const wchar_t kProfileUnreadable[];
extern const wchar_t kNotInstalled[];
extern const wchar_t kNoNewDirectory[];
extern const wchar_t kSameDirectory[];
extern const wchar_t kInsideOldDirectory[];
extern const wchar_t kContainsOldDirectory[];
extern const wchar_t kProfileMissing[];
extern const wchar_t kProfileNotReadable[];
extern const wchar_t kDestinationOccupied[];
extern const wchar_t kPathTooLong[];
extern const wchar_t kCreateFailed[];
extern const wchar_t kCopying[];
extern const wchar_t kFinished[];
extern const wchar_t kIncomplete[];
extern const wchar_t kIncompleteSeeLog[];
extern const wchar_t kRedirectFailed[];
extern const wchar_t kRegistryCannotHold[];
extern const wchar_t kConfirmQuit[];
extern const wchar_t kVerifying[];
} // namespace MigrationText

// The longest full path the mail client can open (MAX_PATH without the terminator).
constexpr std::size_t kMaxClientPath = 259;

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
        Aborted,       // the user ended the copy; nothing redirected
    };

    MigrationController(IMigrationView& view, IMigrationSystem& system) : view_(view), system_(system) {}

    // The window's controls exist: show where the profile lives now.
    void OnWindowReady();
    // "selectDir": the destination becomes <folder>\Profiles, and the status
    // line says what holds for that choice (a refusal, or the ready text).
    void OnSelectDirectory();
    // "OkBtn": start checks and the copy, or after completion the restart.
    void OnStartClicked();
    // The progress timer ticked.
    void OnProgressTimer();
    // The window is asked to close (its close button, Alt+F4). True when it
    // may: during a copy only once the user confirms, and the copy is then
    // stopped and recorded as ended by the user.
    bool OnCloseRequested();

    // Whether the copy is read back and compared before the redirect (on unless turned off).
    void SetVerify(bool verify) { verify_ = verify; }

    Phase phase() const { return phase_; }
    const std::wstring& profileDirectory() const { return profileDirectory_; }
    const std::wstring& copyDestination() const { return copyDestination_; }
    bool migrationFinished() const { return migrationFinished_; }
    Result result() const { return result_; }

private:
    // The refusal text for a destination, or null when the copy may go there.
    const wchar_t* CheckDestination(const std::wstring& destination);
    // The space and the longest path the copy will need at destination.
    bool CheckSpaceAndLength(const std::wstring& destination);
    void Refuse(const std::wstring& text, Result result);
    void StartCopy(const std::wstring& destination);
    void ShowSample(const CopySample& sample);
    void LogRunEnd(const CopySample& sample, const wchar_t* outcome);
    // A run that redirected nothing: the log's result line, the shown text, the idle buttons.
    void EndIncomplete(const CopySample& sample, const wchar_t* outcome, const std::wstring& shown);
    std::wstring IncompleteText();
    void Log(const std::wstring& line) { system_.AppendLog(line); }

    IMigrationView& view_;
    IMigrationSystem& system_;
    std::wstring profileDirectory_;
    std::wstring copyDestination_;
    bool migrationFinished_ = false;
    Phase phase_ = Phase::Idle;
    Result result_ = Result::None;
    DestinationContents destinationContents_; // of the destination the checks last passed
    bool overEarlierCopy_ = false;            // the running copy goes on over an unfinished one
    bool verify_ = true;
    TimeLeftEstimator timeLeft_;
    bool precounted_ = false;
    std::uint64_t precountBytes_ = 0;
};
