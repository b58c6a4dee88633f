// The migration workflow of the main window, apart from the window itself:
// the start checks, the copy start, the progress polling, the completion and
// the restart of the mail client. The window supplies the two ports below.
#pragma once

#include "ProgressRules.h"

#include <string>

// What a chosen destination holds before a copy starts.
struct DestinationContents {
    enum class Kind {
        Missing,        // nothing of that name: it is created
        Empty,          // an existing folder with no entries
        LeftByEarlierRun, // holds the mark of a copy that did not complete
        Occupied,       // holds entries and no mark: someone's data
        NotAFolder,     // a file (or something that cannot be listed) holds the name
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
    virtual void LaunchClient() = 0;
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
extern const wchar_t kRedirectFailed[];
} // namespace MigrationText

class MigrationController {
public:
    enum class Phase { Idle, Copying, Finished };

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

private:
    // The refusal text for a destination, or null when the copy may go there.
    const wchar_t* CheckDestination(const std::wstring& destination);
    void StartCopy(const std::wstring& destination);
    void ShowSample(const CopySample& sample);

    IMigrationView& view_;
    IMigrationSystem& system_;
    std::wstring profileDirectory_;
    std::wstring copyDestination_;
    bool migrationFinished_ = false;
    Phase phase_ = Phase::Idle;
};
