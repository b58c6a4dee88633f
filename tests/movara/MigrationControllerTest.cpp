#include "MigrationController.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace MigrationText;

namespace {

struct FakeView : IMigrationView {
    std::wstring oldText, newText, log = L"initial", buttons = L"idle";
    int progress = 0;
    bool timer = false, closed = false;
    bool chooserAnswers = true;
    std::wstring chosen;

    void SetOldDirectoryText(const std::wstring& t) override { oldText = t; }
    std::wstring GetOldDirectoryText() const override { return oldText; }
    void SetNewDirectoryText(const std::wstring& t) override { newText = t; }
    std::wstring GetNewDirectoryText() const override { return newText; }
    void SetLogText(const std::wstring& t) override { log = t; }
    void SetProgressValue(int p) override { progress = p; }
    void ShowIdleButtons() override { buttons = L"idle"; }
    void ShowCopyingButtons() override { buttons = L"copying"; }
    void ShowFinishedButtons() override { buttons = L"finished"; }
    void StartProgressTimer() override { timer = true; }
    void StopProgressTimer() override { timer = false; }
    int chooserOpened = 0;
    bool ChooseFolder(std::wstring* folder) override {
        ++chooserOpened;
        *folder = chosen;
        return chooserAnswers;
    }
    void CloseWindow() override { closed = true; }
};

struct FakeSystem : IMigrationSystem {
    std::wstring profile = L"C:\\Users\\u\\AppData\\Roaming\\harbec\\Tarn\\Profiles\\abcd.default";
    bool clientStops = true;
    int stopRequests = 0, launches = 0;
    std::vector<std::wstring> existing, created, rewrites;
    bool createWorks = true;
    std::wstring copiedFrom, copiedTo;
    int copies = 0;
    CopySample sample;

    std::wstring ReadProfileDirectory() override { return profile; }
    bool rewriteWorks = true;
    std::wstring rewriteLands; // what a failed rewrite leaves in the file, when anything
    std::vector<std::string> events; // mark, copy, clear, rewrite in the order they happen
    void RewriteProfilePath(const std::wstring& d) override {
        events.push_back("rewrite");
        rewrites.push_back(d);
        if (rewriteWorks)
            profile = d;
        else if (!rewriteLands.empty())
            profile = rewriteLands;
    }
    bool EnsureClientStopped() override {
        ++stopRequests;
        return clientStops;
    }
    void LaunchClient() override { ++launches; }
    bool DirectoryExists(const std::wstring& p) override {
        for (auto& e : existing)
            if (e == p)
                return true;
        return false;
    }
    bool CreateDirectoryPath(const std::wstring& p) override {
        created.push_back(p);
        return createWorks;
    }
    void StartCopy(const std::wstring& s, const std::wstring& d) override {
        events.push_back("copy");
        copiedFrom = s;
        copiedTo = d;
        ++copies;
    }
    CopySample SampleProgress() override { return sample; }

    bool profileIsFolder = true;
    bool IsExistingFolder(const std::wstring& p) override { return p == profile && profileIsFolder; }
    // Other spellings of a place, as the file system would resolve them.
    std::map<std::wstring, std::wstring> spellings;
    std::wstring FullPath(const std::wstring& p) override {
        auto found = spellings.find(p);
        return found == spellings.end() ? p : found->second;
    }
    std::map<std::wstring, DestinationContents> destinations; // missing unless listed
    DestinationContents InspectDestination(const std::wstring& d) override {
        auto found = destinations.find(d);
        return found == destinations.end() ? DestinationContents{} : found->second;
    }
    std::vector<std::wstring> marks; // "destination<source" of every mark written
    bool markWorks = true;
    int clears = 0;
    bool MarkUnfinishedCopy(const std::wstring& d, const std::wstring& s) override {
        events.push_back("mark");
        marks.push_back(d + L"<" + s);
        return markWorks;
    }
    void ClearUnfinishedMark(const std::wstring&) override {
        events.push_back("clear");
        ++clears;
    }
};

class Workflow : public ::testing::Test {
protected:
    FakeView view;
    FakeSystem system;
    MigrationController controller{view, system};

    void Choose(const std::wstring& folder) {
        view.chosen = folder;
        controller.OnSelectDirectory();
    }
    void StartCopy() {
        controller.OnWindowReady();
        Choose(L"D:\\Mail");
        controller.OnStartClicked();
        ASSERT_EQ(controller.phase(), MigrationController::Phase::Copying);
    }
};

} // namespace

TEST_F(Workflow, WithoutProfileNothingStarts) {
    system.profile.clear();
    controller.OnWindowReady();
    EXPECT_EQ(view.oldText, kProfileUnreadable);
    controller.OnStartClicked(); // no folder either: the profile check comes first
    EXPECT_EQ(view.log, kNotInstalled);
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kNotInstalled);
    EXPECT_EQ(system.stopRequests, 0);
}

TEST_F(Workflow, StartChecksRefuseInOrderWithoutTouchingTheClient) {
    controller.OnWindowReady();
    EXPECT_EQ(view.oldText, system.profile);
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kNoNewDirectory);

    view.newText = system.profile;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kSameDirectory);

    // Differing only in case passes the equality check but is still the same folder.
    view.newText = L"c:\\users\\u\\appdata\\roaming\\harbec\\tarn\\profiles\\ABCD.default";
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kInsideOldDirectory);

    Choose(system.profile + L"\\backup");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kInsideOldDirectory);
    EXPECT_EQ(system.stopRequests, 0);
    EXPECT_EQ(system.copies, 0);
}

TEST_F(Workflow, FolderChoiceBecomesProfilesSubdirectory) {
    controller.OnWindowReady();
    Choose(L"D:");
    EXPECT_EQ(view.newText, L"D:\\Profiles");

    view.chooserAnswers = false;
    Choose(L"E:\\ignored");
    EXPECT_EQ(view.newText, L"D:\\Profiles") << "cancel changes nothing";

    view.chooserAnswers = true;
    Choose(L"D:\\" + std::wstring(250, L'x'));
    EXPECT_EQ(view.newText, L"D:\\Profiles") << "a destination beyond the path buffers is refused";
    EXPECT_EQ(view.log, kPathTooLong);
}

TEST_F(Workflow, ClientThatCannotBeStoppedEndsTheClickSilently) {
    system.clientStops = false;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, L"initial");
    EXPECT_EQ(system.stopRequests, 1);
    EXPECT_TRUE(system.created.empty());
    EXPECT_EQ(system.copies, 0);
    EXPECT_EQ(controller.phase(), MigrationController::Phase::Idle);
}

TEST_F(Workflow, DestinationIsCreatedOnlyWhenMissing) {
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    system.createWorks = false;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kCreateFailed);
    EXPECT_EQ(system.created, std::vector<std::wstring>{L"D:\\Mail\\Profiles\\"});
    EXPECT_EQ(system.copies, 0);

    system.created.clear();
    system.existing.push_back(L"D:\\Mail\\Profiles");
    controller.OnStartClicked();
    EXPECT_TRUE(system.created.empty());
    EXPECT_EQ(system.copies, 1);
}

TEST_F(Workflow, CopyRunsToCompletionThenRestartsTheClient) {
    system.sample.bytesTotal = 1000;
    system.sample.bytesDone = 0;
    StartCopy();
    EXPECT_EQ(system.copiedFrom, system.profile);
    EXPECT_EQ(system.copiedTo, L"D:\\Mail\\Profiles");
    EXPECT_EQ(view.buttons, L"copying");
    EXPECT_TRUE(view.timer);
    EXPECT_EQ(view.log, kCopying);

    // "..." opens nothing while copying: the field keeps the copy's folder.
    Choose(L"E:\\Else");
    EXPECT_EQ(view.chooserOpened, 1);
    EXPECT_EQ(view.newText, L"D:\\Mail\\Profiles");
    system.sample.bytesDone = 377;
    controller.OnProgressTimer();
    EXPECT_EQ(view.progress, 37);

    system.sample.bytesDone = 1000; // every byte, but the run has not ended yet
    controller.OnProgressTimer();
    EXPECT_EQ(view.progress, 99);
    EXPECT_TRUE(system.rewrites.empty());

    system.sample.runEnded = true;
    controller.OnProgressTimer();
    EXPECT_EQ(view.progress, 100);
    EXPECT_EQ(system.rewrites, std::vector<std::wstring>{L"D:\\Mail\\Profiles"});
    EXPECT_EQ(view.log, kFinished);
    EXPECT_EQ(view.buttons, L"finished");
    EXPECT_FALSE(view.timer);
    EXPECT_TRUE(controller.migrationFinished());

    controller.OnProgressTimer(); // a late tick changes nothing
    EXPECT_EQ(system.rewrites.size(), 1u);
    Choose(L"E:\\Else");
    EXPECT_EQ(view.newText, L"D:\\Mail\\Profiles") << "the finished window names where the data went";

    controller.OnStartClicked();
    EXPECT_EQ(system.launches, 1);
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(system.copies, 1);
}

TEST_F(Workflow, ProfileOfOnlyEmptyFilesCompletesAtOnce) {
    system.sample.runEnded = true;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(controller.phase(), MigrationController::Phase::Finished);
    EXPECT_EQ(view.progress, 100);
    EXPECT_EQ(system.rewrites.size(), 1u);
}

TEST_F(Workflow, IncompleteRunRedirectsNothingAndAllowsAnotherTry) {
    system.sample.bytesTotal = 1000;
    StartCopy();
    system.sample.bytesDone = 600;
    system.sample.errors = 2;
    system.sample.runEnded = true;
    controller.OnProgressTimer();
    EXPECT_TRUE(system.rewrites.empty());
    EXPECT_EQ(view.log, kIncomplete);
    EXPECT_EQ(view.buttons, L"idle");
    EXPECT_FALSE(view.timer);
    EXPECT_FALSE(controller.migrationFinished());

    system.sample = CopySample{};
    system.sample.bytesTotal = 1000;
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 2);
    EXPECT_EQ(system.launches, 0);
    EXPECT_EQ(view.progress, 0);
}

TEST_F(Workflow, RewriteThatDidNotTakeIsNotReportedAsFinished) {
    system.rewriteWorks = false;
    system.sample.runEnded = true;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(system.rewrites.size(), 1u);
    EXPECT_EQ(view.log, kRedirectFailed);
    EXPECT_FALSE(controller.migrationFinished());
    EXPECT_EQ(view.buttons, L"idle");
    EXPECT_FALSE(view.timer);

    system.rewriteWorks = true;
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 2);
    EXPECT_EQ(view.log, kFinished);
    EXPECT_EQ(system.launches, 0);
}

TEST_F(Workflow, MangledRewriteIsPointedBackAtTheOldData) {
    const std::wstring old = system.profile;
    system.rewriteWorks = false;
    system.rewriteLands = L"D:\\M?il\\Profiles";
    system.sample.runEnded = true;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(system.rewrites, (std::vector<std::wstring>{L"D:\\Mail\\Profiles", old}));
    EXPECT_EQ(view.log, kRedirectFailed);
}

TEST_F(Workflow, DestinationHoldingTheOldProfileIsRefusedInAnySpelling) {
    const std::wstring tarn = L"C:\\Users\\u\\AppData\\Roaming\\harbec\\Tarn";
    controller.OnWindowReady();
    Choose(tarn); // Tarn\Profiles holds abcd.default and the other profiles
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kContainsOldDirectory);

    Choose(L"c:/users/u/appdata/roaming/HARBEC/tarn/"); // case, "/" and a trailing separator
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kContainsOldDirectory);

    system.spellings[L"C:\\Users\\u\\APPDAT~1\\Roaming\\harbec\\x\\..\\Tarn\\Profiles"] = tarn + L"\\Profiles";
    Choose(L"C:\\Users\\u\\APPDAT~1\\Roaming\\harbec\\x\\..\\Tarn");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kContainsOldDirectory);

    Choose(L"C:"); // C:\Profiles contains nothing of the profile
    system.destinations[L"C:\\Profiles"].kind = DestinationContents::Kind::Occupied;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kDestinationOccupied) << "the containment check let an unrelated folder through";

    EXPECT_EQ(system.stopRequests, 0);
    EXPECT_TRUE(system.created.empty());
    EXPECT_TRUE(system.marks.empty());
    EXPECT_EQ(system.copies, 0);
}

TEST_F(Workflow, OldProfileMustBeAnExistingFolderAtReadyAndAtStart) {
    system.profileIsFolder = false; // a file, or nothing, of that name
    controller.OnWindowReady();
    EXPECT_EQ(view.oldText, system.profile) << "the field still says which path is wrong";
    EXPECT_EQ(view.log, kProfileMissing);
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kProfileMissing);

    // A folder when the window opened, gone when the user starts.
    system.profileIsFolder = true;
    controller.OnWindowReady();
    EXPECT_EQ(view.log, kProfileMissing) << "ready leaves an earlier text alone when the folder is there";
    view.log = L"initial";
    system.profileIsFolder = false;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kProfileMissing);

    EXPECT_EQ(system.stopRequests, 0);
    EXPECT_TRUE(system.created.empty());
    EXPECT_EQ(system.copies, 0);
}

TEST_F(Workflow, NonEmptyDestinationIsUsedOnlyForTheSameProfilesUnfinishedCopy) {
    const std::wstring destination = L"D:\\Mail\\Profiles";
    controller.OnWindowReady();
    Choose(L"D:\\Mail");

    system.destinations[destination].kind = DestinationContents::Kind::Occupied;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kDestinationOccupied);

    system.destinations[destination] = {DestinationContents::Kind::LeftByEarlierRun, L"C:\\another\\x.default"};
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kDestinationOccupied) << "another profile's unfinished copy must not be mixed in";

    system.destinations[destination].kind = DestinationContents::Kind::NotAFolder;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kCreateFailed);
    EXPECT_EQ(system.stopRequests, 0) << "a refused destination never stops the client";
    EXPECT_EQ(system.copies, 0);

    system.destinations[destination] = {DestinationContents::Kind::LeftByEarlierRun, system.profile};
    system.existing.push_back(destination);
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 1);
    EXPECT_EQ(system.marks, std::vector<std::wstring>{destination + L"<" + system.profile});
}

TEST_F(Workflow, MarkIsWrittenBeforeTheCopyAndClearedBeforeTheRewrite) {
    system.sample.bytesTotal = 10;
    StartCopy();
    EXPECT_EQ(system.events, (std::vector<std::string>{"mark", "copy"}));

    system.sample.runEnded = true; // incomplete: the mark stays for the retry
    controller.OnProgressTimer();
    EXPECT_EQ(system.clears, 0);

    system.sample = CopySample{};
    system.sample.runEnded = true;
    system.events.clear();
    controller.OnStartClicked();
    EXPECT_EQ(system.events, (std::vector<std::string>{"mark", "copy", "clear", "rewrite"}));
    EXPECT_EQ(view.log, kFinished);
}

TEST_F(Workflow, FailedRedirectMarksTheCopyAgainAndAFailedMarkCopiesNothing) {
    system.rewriteWorks = false;
    system.sample.runEnded = true;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kRedirectFailed);
    EXPECT_EQ(system.events.back(), "mark") << "the next try must be allowed over this copy";

    system.markWorks = false;
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kCreateFailed);
    EXPECT_EQ(system.copies, 1);
}
