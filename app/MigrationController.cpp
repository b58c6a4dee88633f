#include "MigrationController.h"

#include "PathRules.h"

#include <cwchar>

namespace MigrationText {
const wchar_t kReady[] = L"请先关闭Ostra Mail,再进行迁移。如果长时间没变化，请关闭，重新运行迁移。";
const wchar_t kProfileUnreadable[] = L"读取数据出错，请检查Ostra Mail 是否已安装，并初始化";
const wchar_t kNotInstalled[] = L"请先确认本地Ostra Mail已安装，已运行过";
const wchar_t kNoNewDirectory[] = L"请先选择新目录";
const wchar_t kSameDirectory[] = L"新目录不能与旧目录相同";
const wchar_t kInsideOldDirectory[] = L"新目录不能位于旧目录之内，请重新选择";
const wchar_t kContainsOldDirectory[] = L"新目录不能包含旧目录，请重新选择";
const wchar_t kProfileMissing[] = L"旧目录不存在或不是文件夹，请检查Ostra Mail配置";
const wchar_t kProfileNotReadable[] = L"旧目录中有无法读取的文件夹，请检查后重新迁移";
const wchar_t kDestinationOccupied[] = L"新目录中已有数据，请选择空目录";
const wchar_t kPathTooLong[] = L"新目录路径过长，请重新选择";
const wchar_t kCreateFailed[] = L"创建目录失败，请重新选择";
const wchar_t kCopying[] = L"迁移进行中，请勿关闭";
const wchar_t kFinished[] = L"迁移已完成，旧数据未删除，请自行确认后删除";
const wchar_t kIncomplete[] = L"迁移未完成，Ostra Mail仍使用旧目录，请重新迁移";
const wchar_t kIncompleteSeeLog[] = L"迁移未完成，请重新迁移。日志：%LOCALAPPDATA%\\Ostra Mail\\Movara";
const wchar_t kRedirectFailed[] = L"数据已复制，但profiles.ini未能更新，请重新迁移";
const wchar_t kRegistryCannotHold[] = L"新目录路径含有profiles.ini无法保存的字符，请重新选择";
const wchar_t kConfirmQuit[] = L"迁移尚未完成，确定要退出吗？";
const wchar_t kVerifying[] = L"正在校验";
} // namespace MigrationText

using namespace MigrationText;

namespace {

const wchar_t kIncompleteOutcome[] = L"结果：迁移未完成，profiles.ini未改动，Ostra Mail仍使用旧目录";
const wchar_t kCompletedOutcome[] = L"结果：迁移已完成，profiles.ini已指向新目录";

} // namespace

void MigrationController::OnWindowReady() {
    profileDirectory_ = system_.ReadProfileDirectory();
    view_.SetOldDirectoryText(profileDirectory_.empty() ? std::wstring(kProfileUnreadable) : profileDirectory_);
    if (!profileDirectory_.empty() && !system_.IsExistingFolder(profileDirectory_))
        view_.SetLogText(kProfileMissing);
    // profiles.ini already names a copy that still carries its mark: the run
    // that made it ended between the redirect and the mark's removal. The
    // copy is complete (only a complete copy is ever redirected to).
    if (!profileDirectory_.empty() &&
        system_.InspectDestination(profileDirectory_).kind == DestinationContents::Kind::LeftByEarlierRun &&
        system_.ClearUnfinishedMark(profileDirectory_))
        Log(L"已清除迁移完成后遗留的未完成标记：" + profileDirectory_);
    migrationFinished_ = false;
    phase_ = Phase::Idle;
    view_.FocusNext(profileDirectory_.empty() ? NextControl::Later : NextControl::ChooseFolder);
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
        view_.FocusNext(NextControl::ChooseFolder);
        return;
    }
    view_.SetNewDirectoryText(destination);
    // Whatever the line said about an earlier choice (no space there, a
    // refusal) no longer holds.
    const wchar_t* refusal = profileDirectory_.empty() ? kNotInstalled : CheckDestination(destination);
    if (refusal) {
        view_.SetLogText(refusal);
        view_.FocusNext(refusal == kNotInstalled || refusal == kProfileMissing ? NextControl::Later
                                                                               : NextControl::ChooseFolder);
        return;
    }
    // With the profile's size known from an earlier start, the new volume's
    // room is told at once; the start checks it again in full.
    std::uint64_t available = 0;
    const std::uint64_t needed = SpaceNeededFor(precountBytes_);
    if (precounted_ && system_.FreeSpace(destination, &available) && available < needed) {
        view_.SetLogText(NotEnoughSpaceText(needed, available));
        view_.FocusNext(NextControl::ChooseFolder);
        return;
    }
    view_.SetLogText(kReady);
    view_.FocusNext(NextControl::Start);
}

void MigrationController::OnStartClicked() {
    // The button is disabled while copying; a click that still arrives must not
    // replace the running copy's message with a refusal.
    if (phase_ == Phase::Copying)
        return;
    const std::wstring destination = view_.GetNewDirectoryText();
    if (!migrationFinished_) {
        Log(L"—— 开始迁移：" + system_.NowText());
        Log(L"旧目录：" + profileDirectory_);
        Log(L"新目录：" + destination);
    }
    if (profileDirectory_.empty()) {
        Refuse(kNotInstalled, Result::NoProfile);
        return;
    }
    if (destination.empty()) {
        Refuse(kNoNewDirectory, Result::Refused);
        return;
    }
    if (destination == view_.GetOldDirectoryText()) {
        Refuse(kSameDirectory, Result::Refused);
        return;
    }
    if (migrationFinished_) {
        const std::int32_t launched = system_.LaunchClient();
        wchar_t code[16];
        swprintf(code, sizeof(code) / sizeof(code[0]), L"0x%08X", static_cast<unsigned>(launched));
        Log(std::wstring(L"启动Ostra Mail：") + (launched == 0 ? L"成功" : L"失败，结果 ") +
            (launched == 0 ? L"" : code));
        Log(kCompletedOutcome); // the result stays the log's last line
        view_.CloseWindow();
        return;
    }
    if (const wchar_t* refusal = CheckDestination(destination)) {
        Refuse(refusal, refusal == kProfileMissing ? Result::NoProfile : Result::Refused);
        return;
    }
    // Everything that can refuse is asked before the client is stopped: a
    // destination that cannot be used must not cost the user a closed mail
    // client (and the drafts it had open).
    if (!system_.RegistryCanHold(destination)) {
        Refuse(kRegistryCannotHold, Result::Refused);
        return;
    }
    if (!CheckSpaceAndLength(destination))
        return;
    if (!system_.DirectoryExists(destination) &&
        (!system_.CreateDirectoryPath(destination + L"\\") || !system_.DirectoryExists(destination))) {
        Refuse(kCreateFailed, Result::Refused);
        return;
    }
    // The mark is also the test that files can be made there. Left behind by
    // a run that goes no further, it only lets this profile go on there.
    if (!system_.MarkUnfinishedCopy(destination, system_.FullPath(profileDirectory_))) {
        Refuse(kCreateFailed, Result::Refused);
        return;
    }
    if (!system_.EnsureClientStopped()) {
        Log(L"关闭Ostra Mail：失败，客户端仍在运行，未开始复制");
        result_ = Result::ClientRunning;
        return;
    }
    Log(L"关闭Ostra Mail：成功（或未在运行）");
    // The client may have been holding the profile's folder in a changing state.
    if (!system_.IsExistingFolder(profileDirectory_)) {
        Refuse(kProfileMissing, Result::NoProfile);
        return;
    }
    overEarlierCopy_ = destinationContents_.kind == DestinationContents::Kind::LeftByEarlierRun;
    StartCopy(destination);
}

void MigrationController::Refuse(const std::wstring& text, Result result) {
    view_.SetLogText(text);
    Log(L"未开始：" + text);
    result_ = result;
    // Without a profile nothing can be done; otherwise another folder is the way on.
    view_.FocusNext(result == Result::NoProfile ? NextControl::Later : NextControl::ChooseFolder);
}

bool MigrationController::CheckSpaceAndLength(const std::wstring& destination) {
    std::uint64_t bytes = 0;
    std::uint32_t files = 0;
    std::size_t longest = 0;
    precounted_ = system_.CountTree(profileDirectory_, &bytes, &files, &longest, destination);
    precountBytes_ = bytes;
    if (!precounted_) {
        // The copy counts the same way and would refuse the profile too:
        // said now, before the client is stopped for nothing.
        Log(L"统计旧目录失败：有文件夹无法列出或层级过深（已统计 " + std::to_wstring(files) + L" 个文件）");
        Refuse(kProfileNotReadable, Result::NoProfile);
        return false;
    }
    Log(L"待复制：" + std::to_wstring(files) + L" 个文件，" + FormatBytes(bytes) + L"（" + std::to_wstring(bytes) +
        L" 字节）");
    // The client opens its files with paths of at most 259 characters.
    if (longest > 0 && destination.size() + 1 + longest > kMaxClientPath) {
        Log(L"最长的相对路径有 " + std::to_wstring(longest) + L" 个字符，放到新目录下将超过 " +
            std::to_wstring(kMaxClientPath) + L" 个字符");
        Refuse(kPathTooLong, Result::Refused);
        return false;
    }
    // An unfinished copy already holds part of the data: its files are
    // overwritten in place.
    std::uint64_t present = 0;
    std::uint32_t presentFiles = 0;
    if (destinationContents_.kind == DestinationContents::Kind::LeftByEarlierRun &&
        system_.CountTree(destination, &present, &presentFiles, nullptr, std::wstring()))
        Log(L"新目录中已有上次未完成的数据：" + FormatBytes(present));
    const std::uint64_t needed = SpaceNeededFor(bytes > present ? bytes - present : 0);
    std::uint64_t available = 0;
    if (!system_.FreeSpace(destination, &available)) {
        Log(L"可用空间：无法查询");
        return true;
    }
    Log(L"所需空间：" + FormatBytes(needed) + L"（" + std::to_wstring(needed) + L" 字节），可用：" +
        FormatBytes(available) + L"（" + std::to_wstring(available) + L" 字节）");
    if (available < needed) {
        Refuse(NotEnoughSpaceText(needed, available), Result::NoSpace);
        return false;
    }
    return true;
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
    // Another drive letter on the same folder, a link or a short name gives
    // one folder names the text checks above cannot see. The identity checks
    // decide, and what they cannot tell is refused.
    if (system_.IsSameFolder(destination, profileDirectory_) != Ostra::IdentityAnswer::No)
        return kSameDirectory;
    if (system_.IsSameOrInsideFolder(destination, profileDirectory_) != Ostra::IdentityAnswer::No)
        return kInsideOldDirectory;
    if (system_.IsSameOrInsideFolder(profileDirectory_, destination) != Ostra::IdentityAnswer::No)
        return kContainsOldDirectory;
    if (!FitsPathBuffers(destination))
        return kPathTooLong;
    const DestinationContents contents = system_.InspectDestination(destination);
    destinationContents_ = contents;
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
    view_.FocusNext(NextControl::None);
    view_.SetProgressValue(0);
    view_.StartProgressTimer();
    // The engine counts the tree again before the first sample: show the
    // figures of the pre-count meanwhile.
    view_.SetLogText(precounted_ ? CopyingText(kCopying, 0, 0, precountBytes_, nullptr) : std::wstring(kCopying));
    copyDestination_ = destination;
    phase_ = Phase::Copying;
    result_ = Result::None;
    timeLeft_.Reset();
    Log(L"开始复制：" + system_.NowText());
    Log(verify_ ? L"复制后读回校验：是" : L"复制后读回校验：否（/NOVERIFY）");
    system_.StartCopy(profileDirectory_, copyDestination_, verify_);
    // The count is done: show the first figures now rather than after a full
    // timer period (a tiny profile may even be finished already).
    OnProgressTimer();
}

void MigrationController::OnProgressTimer() {
    if (phase_ != Phase::Copying)
        return;
    ShowSample(system_.SampleProgress());
}

bool MigrationController::OnCloseRequested() {
    if (phase_ != Phase::Copying)
        return true;
    if (!view_.Confirm(kConfirmQuit))
        return false;
    // The copy may have ended while the question was shown.
    if (phase_ != Phase::Copying)
        return true;
    view_.StopProgressTimer();
    system_.StopCopy();
    LogRunEnd(system_.SampleProgress(), L"结果：用户中止，迁移未完成，profiles.ini未改动，Ostra Mail仍使用旧目录");
    result_ = Result::Aborted;
    phase_ = Phase::Idle;
    return true;
}

void MigrationController::ShowSample(const CopySample& sample) {
    const int percent = BarValueFor(sample);
    view_.SetProgressValue(percent);
    switch (ClassifySample(sample)) {
    case CopyState::Running: {
        if (sample.verifying) {
            view_.SetLogText(
                CopyingText(kVerifying, percent, sample.verifyBytesDone, sample.verifyBytesTotal, nullptr));
            return;
        }
        timeLeft_.Add(sample.tickMs, sample.bytesDone);
        std::uint64_t seconds = 0;
        const bool steady = timeLeft_.NextShown(sample.bytesTotal, &seconds);
        view_.SetLogText(
            CopyingText(kCopying, percent, sample.bytesDone, sample.bytesTotal, steady ? &seconds : nullptr));
        return;
    }
    case CopyState::Complete: {
        view_.StopProgressTimer();
        // Going on over an earlier copy: what the profile lost since then
        // (a deleted folder, a compacted mailbox's old files) must not come
        // back in the new profile.
        if (overEarlierCopy_) {
            const MirrorOutcome mirror =
                system_.RemoveWhatSourceLacks(system_.FullPath(profileDirectory_), copyDestination_);
            Log(L"已从新目录删除旧目录中已不存在的项目：" + std::to_wstring(mirror.removed) + L" 个");
            if (!mirror.complete) {
                Log(L"失败：" + mirror.failedPath + L"（错误 " + std::to_wstring(mirror.error) + L"：" +
                    mirror.message + L"）");
                EndIncomplete(sample, kIncompleteOutcome, IncompleteText());
                return;
            }
        }
        // profiles.ini is replaced in one step and read back: a file that
        // could not be written is never reported as a finished move.
        const bool committed = system_.RewriteProfilePath(copyDestination_);
        const std::wstring now = system_.ReadProfileDirectory();
        if (!committed || !IsSameDirectory(now, copyDestination_)) {
            // The copy keeps its mark: the next try may go on over it.
            if (!IsSameDirectory(now, profileDirectory_))
                Log(L"profiles.ini现在指向：" + now);
            EndIncomplete(sample, L"结果：数据已复制，但profiles.ini未能更新，Ostra Mail仍使用旧目录", kRedirectFailed);
            return;
        }
        // Said at once: a fault from here on ends a run that has moved the profile.
        Log(L"profiles.ini已指向新目录：" + copyDestination_);
        // Only now is the copy no longer one a later run may continue; a run
        // ended before this line leaves the mark, which the next start removes.
        if (!system_.ClearUnfinishedMark(copyDestination_))
            Log(L"未能删除未完成标记，下次启动时删除");
        LogRunEnd(sample, kCompletedOutcome);
        view_.SetLogText(kFinished);
        migrationFinished_ = true;
        result_ = Result::Migrated;
        phase_ = Phase::Finished;
        view_.ShowFinishedButtons();
        view_.FocusNext(NextControl::Start);
        return;
    }
    case CopyState::Incomplete:
        // Nothing was redirected: profiles.ini and the old data stay as they
        // were, and the user may start again.
        view_.StopProgressTimer();
        EndIncomplete(sample, kIncompleteOutcome, IncompleteText());
        return;
    }
}

std::wstring MigrationController::IncompleteText() {
    return system_.LogPath().empty() ? kIncomplete : kIncompleteSeeLog;
}

void MigrationController::EndIncomplete(const CopySample& sample, const wchar_t* outcome, const std::wstring& shown) {
    LogRunEnd(sample, outcome);
    view_.SetLogText(shown);
    result_ = Result::Incomplete;
    phase_ = Phase::Idle;
    view_.ShowIdleButtons();
    view_.FocusNext(NextControl::Start);
}

void MigrationController::LogRunEnd(const CopySample& sample, const wchar_t* outcome) {
    Log(L"复制结束：" + system_.NowText());
    Log(L"已复制：" + FormatBytes(sample.bytesDone) + L" / " + FormatBytes(sample.bytesTotal) + L"（" +
        std::to_wstring(sample.bytesDone) + L" / " + std::to_wstring(sample.bytesTotal) + L" 字节），文件 " +
        std::to_wstring(sample.filesCopied) + L" / " + std::to_wstring(sample.filesTotal) + L"，错误 " +
        std::to_wstring(sample.errors));
    if (verify_) {
        wchar_t seconds[32];
        swprintf(seconds, sizeof(seconds) / sizeof(seconds[0]), L"%.1f", sample.verifyMs / 1000.0);
        Log(L"已读回校验：" + FormatBytes(sample.verifyBytesDone) + L"（" + std::to_wstring(sample.verifyBytesDone) +
            L" 字节），用时 " + seconds + L" 秒");
    }
    for (const CopyFailureEntry& failure : system_.CopyFailures())
        Log(L"失败：" + (failure.path.empty() ? std::wstring(L"（无路径）") : failure.path) + L"（" +
            (failure.error != 0 ? L"错误 " + std::to_wstring(failure.error) + L"：" : std::wstring()) +
            failure.message + L"）");
    if (const std::uint32_t more = system_.CopyFailuresNotListed())
        Log(L"另有 " + std::to_wstring(more) + L" 项失败未逐一列出");
    Log(outcome);
}
