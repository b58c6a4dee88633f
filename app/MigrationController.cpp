#include "MigrationController.h"

#include "PathRules.h"

namespace MigrationText {
const wchar_t kProfileUnreadable[] = L"读取数据出错，请检查Ostra Mail 是否已安装，并初始化";
const wchar_t kNotInstalled[] = L"请先确认本地Ostra Mail已安装，已运行过";
const wchar_t kNoNewDirectory[] = L"请先选择新目录";
const wchar_t kSameDirectory[] = L"新目录不能与旧目录相同";
const wchar_t kInsideOldDirectory[] = L"新目录不能位于旧目录之内，请重新选择";
const wchar_t kContainsOldDirectory[] = L"新目录不能包含旧目录，请重新选择";
const wchar_t kProfileMissing[] = L"旧目录不存在或不是文件夹，请检查Ostra Mail配置";
const wchar_t kDestinationOccupied[] = L"新目录中已有数据，请选择空目录";
const wchar_t kPathTooLong[] = L"新目录路径过长，请重新选择";
const wchar_t kCreateFailed[] = L"创建目录失败，请重新选择";
const wchar_t kCopying[] = L"迁移进行中，请勿关闭";
const wchar_t kFinished[] = L"迁移已完成，旧数据未删除，请自行确认后删除";
const wchar_t kIncomplete[] = L"迁移未完成，Ostra Mail仍使用旧目录，请重新迁移";
const wchar_t kRedirectFailed[] = L"数据已复制，但profiles.ini未能更新，请重新迁移";
} // namespace MigrationText

using namespace MigrationText;

void MigrationController::OnWindowReady() {
    profileDirectory_ = system_.ReadProfileDirectory();
    view_.SetOldDirectoryText(profileDirectory_.empty() ? std::wstring(kProfileUnreadable) : profileDirectory_);
    if (!profileDirectory_.empty() && !system_.IsExistingFolder(profileDirectory_))
        view_.SetLogText(kProfileMissing);
    migrationFinished_ = false;
    phase_ = Phase::Idle;
}

void MigrationController::OnSelectDirectory() {
    // Once a copy has started the field names the folder the data goes to; a
    // click that still arrives on the disabled button must not change it.
    if (phase_ != Phase::Idle)
        return;
    std::wstring folder;
    if (!view_.ChooseFolder(&folder))
        return;
    std::wstring destination = DestinationForFolder(folder);
    if (!FitsPathBuffers(destination)) {
        view_.SetLogText(kPathTooLong);
        return;
    }
    view_.SetNewDirectoryText(destination);
}

void MigrationController::OnStartClicked() {
    // The button is disabled while copying; a click that still arrives must not
    // replace the running copy's message with a refusal.
    if (phase_ == Phase::Copying)
        return;
    if (profileDirectory_.empty()) {
        view_.SetLogText(kNotInstalled);
        return;
    }
    const std::wstring destination = view_.GetNewDirectoryText();
    if (destination.empty()) {
        view_.SetLogText(kNoNewDirectory);
        return;
    }
    if (destination == view_.GetOldDirectoryText()) {
        view_.SetLogText(kSameDirectory);
        return;
    }
    if (migrationFinished_) {
        system_.LaunchClient();
        view_.CloseWindow();
        return;
    }
    if (const wchar_t* refusal = CheckDestination(destination)) {
        view_.SetLogText(refusal);
        return;
    }
    if (!system_.EnsureClientStopped())
        return;
    // The client may have been holding the profile's folder in a changing state.
    if (!system_.IsExistingFolder(profileDirectory_)) {
        view_.SetLogText(kProfileMissing);
        return;
    }
    if (!system_.DirectoryExists(destination) && !system_.CreateDirectoryPath(destination + L"\\")) {
        view_.SetLogText(kCreateFailed);
        return;
    }
    if (!system_.MarkUnfinishedCopy(destination, system_.FullPath(profileDirectory_))) {
        view_.SetLogText(kCreateFailed);
        return;
    }
    StartCopy(destination);
}

const wchar_t* MigrationController::CheckDestination(const std::wstring& destination) {
    // A profile path naming a file or nothing would "complete" with a stray
    // file or an empty folder as the new profile.
    if (!system_.IsExistingFolder(profileDirectory_))
        return kProfileMissing;
    const std::wstring source = system_.FullPath(profileDirectory_);
    const std::wstring target = system_.FullPath(destination);
    // Copying a tree into itself would never end and could overwrite the
    // files being read.
    if (IsSameOrInside(target, source))
        return kInsideOldDirectory;
    // A destination holding the profile would get the profile's files loose
    // beside the profile folders, and "the old data" would then lie inside
    // the new one.
    if (IsSameOrInside(source, target))
        return kContainsOldDirectory;
    if (!FitsPathBuffers(destination))
        return kPathTooLong;
    const DestinationContents contents = system_.InspectDestination(destination);
    switch (contents.kind) {
    case DestinationContents::Kind::Missing:
    case DestinationContents::Kind::Empty:
        return nullptr;
    case DestinationContents::Kind::LeftByEarlierRun:
        // Only the same profile may go on over its own unfinished copy.
        if (IsSameDirectory(system_.FullPath(contents.markedSource), source))
            return nullptr;
        return kDestinationOccupied;
    case DestinationContents::Kind::Occupied:
        return kDestinationOccupied;
    case DestinationContents::Kind::NotAFolder:
        return kCreateFailed;
    }
    return kDestinationOccupied;
}

void MigrationController::StartCopy(const std::wstring& destination) {
    view_.ShowCopyingButtons();
    view_.SetProgressValue(0);
    view_.StartProgressTimer();
    view_.SetLogText(kCopying);
    copyDestination_ = destination;
    phase_ = Phase::Copying;
    system_.StartCopy(profileDirectory_, copyDestination_);
    // The count is done: show the first figures now rather than after a full
    // timer period (a tiny profile may even be finished already).
    OnProgressTimer();
}

void MigrationController::OnProgressTimer() {
    if (phase_ != Phase::Copying)
        return;
    ShowSample(system_.SampleProgress());
}

void MigrationController::ShowSample(const CopySample& sample) {
    view_.SetProgressValue(BarValueFor(sample));
    switch (ClassifySample(sample)) {
    case CopyState::Running:
        return;
    case CopyState::Complete:
        view_.StopProgressTimer();
        // A finished copy is no longer one a later run may continue.
        system_.ClearUnfinishedMark(copyDestination_);
        system_.RewriteProfilePath(copyDestination_);
        // The registry gives no answer of its own: read it back, so that a
        // file that could not be written is never reported as a finished move.
        if (const std::wstring now = system_.ReadProfileDirectory(); !IsSameDirectory(now, copyDestination_)) {
            // Part of the rewrite may have landed (a path the file's encoding
            // could not hold): point the client back at its old data.
            if (!IsSameDirectory(now, profileDirectory_))
                system_.RewriteProfilePath(profileDirectory_);
            // The copy stays one the next try may go on over.
            system_.MarkUnfinishedCopy(copyDestination_, system_.FullPath(profileDirectory_));
            view_.SetLogText(kRedirectFailed);
            phase_ = Phase::Idle;
            view_.ShowIdleButtons();
            return;
        }
        view_.SetLogText(kFinished);
        migrationFinished_ = true;
        phase_ = Phase::Finished;
        view_.ShowFinishedButtons();
        return;
    case CopyState::Incomplete:
        // Nothing was redirected: profiles.ini and the old data stay as they
        // were, and the user may start again.
        view_.StopProgressTimer();
        view_.SetLogText(kIncomplete);
        phase_ = Phase::Idle;
        view_.ShowIdleButtons();
        return;
    }
}
