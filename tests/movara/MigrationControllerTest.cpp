#include "MigrationController.h"

#include <gtest/gtest.h>

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
    bool ChooseFolder(std::wstring* folder) override {
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
    void RewriteProfilePath(const std::wstring& d) override {
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
        copiedFrom = s;
        copiedTo = d;
        ++copies;
    }
    CopySample SampleProgress() override { return sample; }
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

    // Another folder chosen while copying changes only the field.
    Choose(L"E:\\Else");
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
