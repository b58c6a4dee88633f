#include "MigrationController.h"
#include "Unattended.h"

#include <gtest/gtest.h>

#include <functional>
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
    NextControl focus = NextControl::None;
    void FocusNext(NextControl control) override { focus = control; }
    void StartProgressTimer() override { timer = true; }
    void StopProgressTimer() override { timer = false; }
    int chooserOpened = 0;
    bool ChooseFolder(std::wstring* folder) override {
        ++chooserOpened;
        *folder = chosen;
        return chooserAnswers;
    }
    void CloseWindow() override { closed = true; }
    std::vector<std::wstring> questions;
    bool answer = false;
    bool Confirm(const std::wstring& question) override {
        questions.push_back(question);
        return answer;
    }
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
    std::wstring rewriteLands;       // what a failed rewrite leaves in the file, when anything
    std::vector<std::string> events; // mark, copy, clear, rewrite in the order they happen
    bool RewriteProfilePath(const std::wstring& d) override {
        events.push_back("rewrite");
        rewrites.push_back(d);
        if (rewriteWorks)
            profile = d;
        else if (!rewriteLands.empty())
            profile = rewriteLands;
        return rewriteWorks;
    }
    bool registryHolds = true;
    bool RegistryCanHold(const std::wstring&) override { return registryHolds; }
    bool EnsureClientStopped() override {
        ++stopRequests;
        return clientStops;
    }
    std::int32_t launchResult = 0;
    std::int32_t LaunchClient() override {
        ++launches;
        return launchResult;
    }
    bool DirectoryExists(const std::wstring& p) override {
        for (auto& e : existing)
            if (e == p)
                return true;
        return false;
    }
    bool CreateDirectoryPath(const std::wstring& p) override {
        created.push_back(p);
        if (createWorks)
            existing.push_back(p.substr(0, p.size() - 1));
        return createWorks;
    }
    bool verified = false;
    void StartCopy(const std::wstring& s, const std::wstring& d, bool verify) override {
        verified = verify;
        events.push_back("copy");
        if (watchedLog)
            logAtCopy = *watchedLog;
        copiedFrom = s;
        copiedTo = d;
        ++copies;
    }
    CopySample SampleProgress() override { return sample; }
    std::vector<std::wstring> mirrored; // "copy<source" of every removal pass
    MirrorOutcome mirror;
    MirrorOutcome RemoveWhatSourceLacks(const std::wstring& source, const std::wstring& copy) override {
        events.push_back("mirror");
        mirrored.push_back(copy + L"<" + source);
        return mirror;
    }
    int stops = 0;
    void StopCopy() override {
        events.push_back("stop");
        ++stops;
        sample.runEnded = true;
    }
    const std::wstring* watchedLog = nullptr; // the view's text, read when the copy starts
    std::wstring logAtCopy;

    bool profileIsFolder = true;
    bool IsExistingFolder(const std::wstring& p) override { return p == profile && profileIsFolder; }
    // Other spellings of a place, as the file system would resolve them.
    std::map<std::wstring, std::wstring> spellings;
    std::wstring FullPath(const std::wstring& p) override {
        auto found = spellings.find(p);
        return found == spellings.end() ? p : found->second;
    }
    // What the identity checks answer: "a|b" for IsSameFolder, "path<folder" for
    // IsSameOrInsideFolder; No unless listed.
    std::map<std::wstring, Ostra::IdentityAnswer> identity;
    Ostra::IdentityAnswer Identity(const std::wstring& key) const {
        auto found = identity.find(key);
        return found == identity.end() ? Ostra::IdentityAnswer::No : found->second;
    }
    Ostra::IdentityAnswer IsSameFolder(const std::wstring& a, const std::wstring& b) override {
        return Identity(a + L"|" + b);
    }
    Ostra::IdentityAnswer IsSameOrInsideFolder(const std::wstring& path, const std::wstring& folder) override {
        return Identity(path + L"<" + folder);
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
    bool ClearUnfinishedMark(const std::wstring&) override {
        events.push_back("clear");
        ++clears;
        return true;
    }

    std::map<std::wstring, std::uint64_t> treeBytes; // folders whose count finds bytes (others: none)
    std::vector<std::wstring> uncountable;           // folders whose count fails
    std::size_t longestRelative = 40;
    bool CountTree(const std::wstring& folder, std::uint64_t* bytes, std::uint32_t* files, std::size_t* longest,
                   const std::wstring&) override {
        for (const std::wstring& failing : uncountable)
            if (failing == folder)
                return false;
        auto found = treeBytes.find(folder);
        *bytes = found == treeBytes.end() ? 0 : found->second;
        *files = 7;
        if (longest)
            *longest = longestRelative;
        return true;
    }
    bool freeKnown = true;
    std::uint64_t freeBytes = 1ull << 40;
    bool FreeSpace(const std::wstring&, std::uint64_t* bytes) override {
        *bytes = freeBytes;
        return freeKnown;
    }
    std::vector<CopyFailureEntry> failures;
    std::vector<CopyFailureEntry> CopyFailures() override { return failures; }
    std::uint32_t notListed = 0;
    std::uint32_t CopyFailuresNotListed() override { return notListed; }
    std::vector<std::wstring> logLines;
    void AppendLog(const std::wstring& line) override { logLines.push_back(line); }
    std::wstring LogPath() override { return logLines.empty() ? std::wstring() : L"L:\\migration.log"; }
    std::wstring NowText() override { return L"2026-12-07 17:30:05"; }

    bool Logged(const std::wstring& piece) const {
        for (const std::wstring& line : logLines)
            if (line.find(piece) != std::wstring::npos)
                return true;
        return false;
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

// A destination that is the profile, lies inside it or holds it under another
// name (a second drive letter, a link, a short name) is refused; so is one the
// identity checks cannot tell apart.
TEST_F(Workflow, IdentityChecksRefuseOtherNamesOfTheProfileAndWhatTheyCannotTell) {
    const std::wstring destination = L"G:\\Mail\\Profiles";
    const std::wstring same = destination + L"|" + system.profile;
    const std::wstring inside = destination + L"<" + system.profile;
    const std::wstring holds = system.profile + L"<" + destination;
    const struct {
        std::wstring question;
        Ostra::IdentityAnswer answer;
        const wchar_t* refusal;
    } cases[] = {
        {same, Ostra::IdentityAnswer::Yes, kSameDirectory},
        {same, Ostra::IdentityAnswer::CantTell, kSameDirectory},
        {inside, Ostra::IdentityAnswer::Yes, kInsideOldDirectory},
        {inside, Ostra::IdentityAnswer::CantTell, kInsideOldDirectory},
        {holds, Ostra::IdentityAnswer::Yes, kContainsOldDirectory},
        {holds, Ostra::IdentityAnswer::CantTell, kContainsOldDirectory},
    };
    controller.OnWindowReady();
    for (const auto& c : cases) {
        system.identity = {{c.question, c.answer}};
        Choose(L"G:\\Mail");
        controller.OnStartClicked();
        EXPECT_EQ(view.log, c.refusal) << c.question;
        EXPECT_EQ(controller.result(), MigrationController::Result::Refused) << c.question;
    }
    EXPECT_EQ(system.stopRequests, 0);
    EXPECT_TRUE(system.created.empty());
    EXPECT_EQ(system.copies, 0);

    system.identity.clear();
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 1);
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

// The status line says what holds for the folder just chosen, never what was
// said about an earlier one.
TEST_F(Workflow, StatusLineIsRecomputedOnEveryChoice) {
    system.treeBytes[system.profile] = 5ull << 30;
    controller.OnWindowReady();
    view.log = L"stale";
    Choose(L"D:\\Mail");
    EXPECT_EQ(view.log, kReady);

    system.freeBytes = 40ull << 20;
    controller.OnStartClicked();
    EXPECT_EQ(controller.result(), MigrationController::Result::NoSpace);

    const struct {
        std::wstring folder;
        std::uint64_t freeBytes;
        std::wstring expected;
    } choices[] = {
        {L"D:\\Big", 74ull << 30, kReady},
        {L"E:\\Small", 40ull << 20, NotEnoughSpaceText(SpaceNeededFor(5ull << 30), 40ull << 20)},
        {L"G:\\Same", 74ull << 30, kSameDirectory},
        {L"F:\\Other", 74ull << 30, kReady},
    };
    for (const auto& c : choices) {
        system.freeBytes = c.freeBytes;
        system.identity = {{L"G:\\Same\\Profiles|" + system.profile, Ostra::IdentityAnswer::Yes}};
        Choose(c.folder);
        EXPECT_EQ(view.log, c.expected) << c.folder;
    }
    EXPECT_EQ(system.stopRequests, 0) << "a choice never touches the client";
}

// After every change of state the keyboard focus is on what the user would
// press next, so that Enter never does something the window does not show.
TEST_F(Workflow, FocusMovesToWhatTheUserWouldPressNext) {
    using N = NextControl;
    auto endRun = [this](std::uint32_t errors) {
        system.sample.runEnded = true;
        system.sample.errors = errors;
        controller.OnProgressTimer();
    };
    auto start = [this] {
        system.sample.runEnded = false;
        controller.OnStartClicked();
    };
    const struct {
        const char* what;
        std::function<void()> step;
        NextControl expected;
    } steps[] = {
        {"a profile to move: pick a folder first", [] {}, N::ChooseFolder},
        {"a usable folder: start", [this] { Choose(L"D:\\Mail"); }, N::Start},
        {"a refused folder: pick another", [this] { Choose(L"G:\\Same"); }, N::ChooseFolder},
        {"no room at the start: pick another",
         [this] {
             Choose(L"D:\\Mail");
             system.freeBytes = 1;
             controller.OnStartClicked();
         },
         N::ChooseFolder},
        {"a folder with room",
         [this] {
             system.freeBytes = 1ull << 40;
             Choose(L"E:\\Mail");
         },
         N::Start},
        {"copying: nothing to press", start, N::None},
        {"incomplete: try again", [&] { endRun(1); }, N::Start},
        {"the retry runs", start, N::None},
        {"finished: start the client", [&] { endRun(0); }, N::Start},
    };
    system.treeBytes[system.profile] = 3000;
    system.sample.bytesTotal = system.sample.bytesDone = 3000;
    system.identity = {{L"G:\\Same\\Profiles|" + system.profile, Ostra::IdentityAnswer::Yes}};
    controller.OnWindowReady();
    for (const auto& s : steps) {
        s.step();
        EXPECT_EQ(view.focus, s.expected) << s.what;
    }

    system.profile.clear();
    controller.OnWindowReady();
    EXPECT_EQ(view.focus, N::Later) << "no profile: nothing to do but leave";
}

TEST_F(Workflow, ClientThatCannotBeStoppedEndsTheClickSilently) {
    system.clientStops = false;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kReady) << "the line the choice left";
    EXPECT_EQ(system.stopRequests, 1);
    EXPECT_EQ(system.marks.size(), 1u) << "made before the stop; it only lets this profile go on there";
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
    EXPECT_EQ(view.log.rfind(kCopying, 0), 0u) << "the running text leads the figures";

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
    EXPECT_EQ(view.log, kIncompleteSeeLog);
    EXPECT_EQ(controller.result(), MigrationController::Result::Incomplete);
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

TEST_F(Workflow, AFailedRewriteLeavesTheOldProfileAndTheCopysMark) {
    system.rewriteWorks = false;
    system.sample.runEnded = true;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(system.rewrites, (std::vector<std::wstring>{L"D:\\Mail\\Profiles"})) << "written once, never back";
    EXPECT_EQ(view.log, kRedirectFailed);
    EXPECT_EQ(system.clears, 0) << "the next try must be allowed over this copy";
    EXPECT_EQ(controller.result(), MigrationController::Result::Incomplete);
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

TEST_F(Workflow, MarkIsWrittenBeforeTheCopyAndClearedAfterTheRewrite) {
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
    EXPECT_EQ(system.events, (std::vector<std::string>{"mark", "copy", "rewrite", "clear"}));
    EXPECT_EQ(view.log, kFinished);

    // A run ended between the rewrite and the clear: the next start finds
    // the mark in the folder profiles.ini names, and removes it.
    FakeSystem next;
    next.profile = L"D:\\Mail\\Profiles";
    next.destinations[next.profile] = {DestinationContents::Kind::LeftByEarlierRun, system.profile};
    MigrationController restarted(view, next);
    restarted.OnWindowReady();
    EXPECT_EQ(next.clears, 1);
    next.destinations[next.profile].kind = DestinationContents::Kind::Occupied;
    restarted.OnWindowReady();
    EXPECT_EQ(next.clears, 1) << "an ordinary profile keeps everything";
}

// The mark is the first file made in the destination: a folder that takes
// none is refused before the client is stopped.
TEST_F(Workflow, AFailedMarkCopiesNothingAndLeavesTheClientRunning) {
    system.markWorks = false;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, kCreateFailed);
    EXPECT_EQ(system.copies, 0);
    EXPECT_EQ(system.stopRequests, 0);
}

// Each destination that cannot be used is refused before the client is
// stopped, so that a refusal never costs the user the client's open work.
TEST_F(Workflow, EveryRefusalComesBeforeTheClientIsStopped) {
    using R = MigrationController::Result;
    struct Case {
        const char* name;
        std::function<void(FakeSystem&)> arrange;
        const wchar_t* refusal;
        R result;
    };
    const Case cases[] = {
        {"the path cannot be stored in profiles.ini", [](FakeSystem& s) { s.registryHolds = false; },
         kRegistryCannotHold, R::Refused},
        {"the deepest file would pass 259 characters",
         [](FakeSystem& s) { s.longestRelative = kMaxClientPath - std::wstring(L"D:\\Mail\\Profiles\\").size() + 1; },
         kPathTooLong, R::Refused},
        {"the folder cannot be created", [](FakeSystem& s) { s.createWorks = false; }, kCreateFailed, R::Refused},
        {"part of the profile cannot be listed", [](FakeSystem& s) { s.uncountable.push_back(s.profile); },
         kProfileNotReadable, R::NoProfile},
    };
    for (const Case& c : cases) {
        FakeSystem fresh;
        fresh.treeBytes[fresh.profile] = 1000;
        c.arrange(fresh);
        FakeView freshView;
        MigrationController check(freshView, fresh);
        check.OnWindowReady();
        freshView.chosen = L"D:\\Mail";
        check.OnSelectDirectory();
        check.OnStartClicked();
        EXPECT_EQ(freshView.log, c.refusal) << c.name;
        EXPECT_EQ(fresh.stopRequests, 0) << c.name;
        EXPECT_EQ(fresh.copies, 0) << c.name;
        EXPECT_EQ(check.result(), c.result) << c.name;
    }
    // Exactly at the limit is fine.
    system.treeBytes[system.profile] = 1000;
    system.longestRelative = kMaxClientPath - std::wstring(L"D:\\Mail\\Profiles\\").size();
    StartCopy();
}

TEST_F(Workflow, SpaceShortByOneByteCopiesNothingAndEnoughByOneByteStarts) {
    const std::uint64_t profileBytes = 10ull << 30;
    const std::uint64_t needed = profileBytes + profileBytes / 100;
    ASSERT_EQ(SpaceNeededFor(profileBytes), needed);
    system.treeBytes[system.profile] = profileBytes;
    system.freeBytes = needed - 1;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(view.log, NotEnoughSpaceText(needed, needed - 1));
    EXPECT_EQ(view.log, L"目标磁盘空间不足：需要 10.1 GB，可用 10.1 GB");
    EXPECT_EQ(controller.result(), MigrationController::Result::NoSpace);
    EXPECT_EQ(view.buttons, L"idle");
    EXPECT_EQ(system.stopRequests, 0) << "a copy that cannot fit must not close the client";
    EXPECT_TRUE(system.created.empty());
    EXPECT_TRUE(system.marks.empty());
    EXPECT_EQ(system.copies, 0);

    system.freeBytes = needed;
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 1);
}

TEST_F(Workflow, SpaceCheckCreditsAnUnfinishedCopyAndKeepsTheSmallMargin) {
    // 1 % of a small profile is less than 64 MiB: the margin is 64 MiB.
    system.treeBytes[system.profile] = 5000;
    system.freeBytes = 5000 + (64ull << 20) - 1;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_EQ(controller.result(), MigrationController::Result::NoSpace);

    // What an earlier unfinished run already wrote is overwritten in place.
    system.destinations[L"D:\\Mail\\Profiles"] = {DestinationContents::Kind::LeftByEarlierRun, system.profile};
    system.treeBytes[L"D:\\Mail\\Profiles"] = 1;
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 1);

    // No answer about the volume: the copy goes ahead, as it did before the check.
    system.sample.runEnded = true; // let the first run end incomplete
    system.sample.errors = 1;
    controller.OnProgressTimer();
    system.freeKnown = false;
    system.freeBytes = 0;
    controller.OnStartClicked();
    EXPECT_EQ(system.copies, 2);
}

TEST_F(Workflow, FiguresFollowTheTextAndTheTimeLeftAppearsOnceSteady) {
    system.sample.bytesTotal = 10ull << 30;
    system.sample.tickMs = 1000;
    system.treeBytes[system.profile] = 10ull << 30;
    system.watchedLog = &view.log;
    StartCopy();
    EXPECT_EQ(system.logAtCopy, L"迁移进行中，请勿关闭（0%，0 B / 10.0 GB）")
        << "the pre-count's total while the engine counts";
    EXPECT_EQ(view.log, L"迁移进行中，请勿关闭（0%，0 B / 10.0 GB）");

    system.sample.bytesDone = 100ull << 20;
    system.sample.tickMs = 3000;
    controller.OnProgressTimer();
    EXPECT_EQ(view.log, L"迁移进行中，请勿关闭（0%，100.0 MB / 10.0 GB）") << "two samples are not yet steady";

    system.sample.bytesDone = 300ull << 20;
    system.sample.tickMs = 7000;
    controller.OnProgressTimer();
    EXPECT_EQ(view.log, L"迁移进行中，请勿关闭（2%，300.0 MB / 10.0 GB）") << "6 s of samples are not yet steady";

    // 500 MiB in 10 s: the 9,740 MiB left take 195 s, about 4 minutes.
    system.sample.bytesDone = 500ull << 20;
    system.sample.tickMs = 11000;
    controller.OnProgressTimer();
    EXPECT_EQ(view.log, L"迁移进行中，请勿关闭（4%，500.0 MB / 10.0 GB，约 4 分钟）");
}

// The speed is the average over the last 20 s; the text moves at most one
// step per refresh towards a new estimate and is hidden while none is steady.
TEST(TimeLeftEstimator, AveragesTwentySecondsAndMovesOneStepPerRefresh) {
    TimeLeftEstimator estimator;
    std::uint64_t seconds = 0;
    const std::uint64_t total = 12ull << 30;
    // Speed 0: nothing moves, no estimate.
    for (std::uint32_t t = 0; t <= 12000; t += 2000)
        estimator.Add(t, 1000);
    EXPECT_FALSE(estimator.NextShown(total, &seconds));

    // A tiny speed would promise years.
    estimator.Reset();
    for (std::uint32_t i = 0; i < 7; ++i)
        estimator.Add(i * 2000, 1000 + i);
    EXPECT_FALSE(estimator.NextShown(total, &seconds));

    // Done beyond the total (a growing source) is no reason for a negative time.
    estimator.Reset();
    for (std::uint32_t i = 0; i < 7; ++i)
        estimator.Add(i * 2000, total + i * 1000);
    EXPECT_FALSE(estimator.NextShown(total, &seconds));

    // A huge speed: the rest takes no time at all.
    estimator.Reset();
    for (std::uint32_t i = 0; i < 6; ++i)
        estimator.Add(i * 2000, i * (1ull << 30));
    ASSERT_TRUE(estimator.NextShown(8ull << 30, &seconds));
    EXPECT_EQ(FormatTimeLeft(seconds), L"不到 1 分钟");

    // Steady 10 MiB/s across the tick counter's wrap: the 3,000 MiB left
    // after 10 s take 300 s; the first steady estimate is shown as it is.
    estimator.Reset();
    const std::uint64_t mib = 1ull << 20;
    std::uint64_t done = 0;
    std::uint32_t tick = 0xFFFFF000u;
    auto refresh = [&](std::uint64_t bytesPerSecond) {
        tick += 2000;
        done += 2 * bytesPerSecond;
        estimator.Add(tick, done);
        return estimator.NextShown(3100 * mib, &seconds) ? FormatTimeLeft(seconds) : std::wstring(L"-");
    };
    estimator.Add(tick, done);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(refresh(10 * mib), L"-") << "hidden until 10 s of samples";
    EXPECT_EQ(refresh(10 * mib), L"约 5 分钟");
    // One slow sample (a folder of tiny files) moves the average a little,
    // and the text follows by single steps only.
    EXPECT_EQ(refresh(1 * mib), L"约 6 分钟");
    EXPECT_EQ(refresh(10 * mib), L"约 6 分钟");
    // The speed jumps tenfold: the estimate falls to 138 s, then 89 s, 66 s
    // and 48 s; the text comes down a minute per refresh.
    const std::wstring descent[] = {L"约 5 分钟", L"约 4 分钟", L"约 3 分钟", L"约 2 分钟"};
    for (const std::wstring& expected : descent)
        EXPECT_EQ(refresh(100 * mib), expected);

    // Samples older than 20 s are dropped: after a long run at one speed the
    // estimate is that speed's alone.
    estimator.Reset();
    for (std::uint32_t i = 0; i < 40; ++i)
        estimator.Add(i * 2000, (i < 20 ? i * 100 : 2000 + (i - 20) * 10) * mib);
    ASSERT_TRUE(estimator.SecondsLeft(2190 * mib + 1000 * mib, &seconds));
    EXPECT_EQ(seconds, 200u) << "1,000 MiB at 5 MiB/s";

    // Bytes taken back (a failed file) start the measurement afresh.
    estimator.Add(90000, 1 * mib);
    EXPECT_FALSE(estimator.NextShown(total, &seconds));
}

TEST(ProgressFigures, SizesAndTimesReadAsAPersonWrites) {
    EXPECT_EQ(FormatBytes(0), L"0 B");
    EXPECT_EQ(FormatBytes(1023), L"1023 B");
    EXPECT_EQ(FormatBytes(1024), L"1.0 KB");
    EXPECT_EQ(FormatBytes(1536), L"1.5 KB");
    EXPECT_EQ(FormatBytes((1ull << 20) - 1), L"1.0 MB") << "never 1024.0 KB";
    EXPECT_EQ(FormatBytes(13314398618ull), L"12.4 GB");
    EXPECT_EQ(FormatBytes(~0ull), L"16384.0 PB");
    EXPECT_EQ(SpaceNeededFor(0), 64ull << 20);
    EXPECT_EQ(SpaceNeededFor(~0ull), ~0ull) << "no wrap-around to a tiny need";
    EXPECT_EQ(FormatTimeLeft(60), L"约 1 分钟");
    EXPECT_EQ(FormatTimeLeft(61), L"约 2 分钟");
    EXPECT_EQ(FormatTimeLeft(3600), L"约 1 小时");
    EXPECT_EQ(FormatTimeLeft(2 * 3600 + 5 * 60), L"约 2 小时 5 分钟");
}

TEST_F(Workflow, LogTellsTheWholeRunIncludingEachFailedFile) {
    system.treeBytes[system.profile] = 3000;
    system.freeBytes = 5ull << 30;
    system.sample.bytesTotal = 3000;
    StartCopy();
    system.sample = CopySample{};
    system.sample.runEnded = true;
    system.sample.bytesTotal = 3000;
    system.sample.bytesDone = 1000;
    system.sample.errors = 1;
    system.failures.push_back({L"C:\\p\\Mail\\Sent", 32, L"另一个程序正在使用此文件，进程无法访问。"});
    // The engine's own findings carry no Windows error: never "错误 0".
    system.failures.push_back({L"C:\\p\\Mail\\inbox", 0, L"复制期间文件被修改，未复制"});
    system.notListed = 3;
    controller.OnProgressTimer();
    EXPECT_TRUE(system.Logged(L"另有 3 项失败未逐一列出"));
    system.notListed = 0;
    EXPECT_TRUE(system.Logged(L"旧目录：" + system.profile));
    EXPECT_TRUE(system.Logged(L"新目录：D:\\Mail\\Profiles"));
    EXPECT_TRUE(system.Logged(L"待复制：7 个文件，2.9 KB（3000 字节）"));
    EXPECT_TRUE(system.Logged(L"可用：5.0 GB（5368709120 字节）"));
    EXPECT_TRUE(system.Logged(L"关闭Ostra Mail：成功"));
    EXPECT_TRUE(system.Logged(L"失败：C:\\p\\Mail\\Sent（错误 32：另一个程序正在使用此文件，进程无法访问。）"));
    EXPECT_TRUE(system.Logged(L"失败：C:\\p\\Mail\\inbox（复制期间文件被修改，未复制）"));
    EXPECT_TRUE(system.Logged(L"结果：迁移未完成"));
    EXPECT_TRUE(system.Logged(L"复制结束：2026-12-07 17:30:05"));

    // A second try that completes, then the restart with its result code.
    system.failures.clear();
    system.sample = CopySample{};
    system.sample.runEnded = true;
    controller.OnStartClicked();
    EXPECT_TRUE(system.Logged(L"结果：迁移已完成"));
    system.launchResult = static_cast<std::int32_t>(0x80070005);
    controller.OnStartClicked();
    EXPECT_TRUE(system.Logged(L"启动Ostra Mail：失败，结果 0x80070005"));
    EXPECT_EQ(system.logLines.back(), L"结果：迁移已完成，profiles.ini已指向新目录") << "the result stays the last line";
}

TEST_F(Workflow, UnattendedRunGivesOneExitCodePerOutcomeAndLogsIt) {
    MovaraOptions options;
    options.mode = MovaraOptions::Mode::Unattended;
    options.folder = L"D:\\Mail";
    system.sample.runEnded = true; // every copy ends at once
    const auto run = [&] { return RunUnattended(options, system, 0); };

    system.profileIsFolder = false;
    EXPECT_EQ(run(), kExitNoProfile);
    system.profileIsFolder = true;

    options.folder = system.profile; // the profile's own folder: Profiles inside it
    EXPECT_EQ(run(), kExitRefused);
    options.folder = L"D:\\" + std::wstring(260, L'x');
    EXPECT_EQ(run(), kExitRefused) << "a folder beyond the path buffers";
    options.folder = L"D:\\Mail";

    system.clientStops = false;
    EXPECT_EQ(run(), kExitClientRunning);
    EXPECT_TRUE(system.Logged(L"关闭Ostra Mail：失败"));
    EXPECT_TRUE(system.Logged(L"未开始：新目录不能位于旧目录之内")) << "refusals are logged with their text";
    system.clientStops = true;

    system.treeBytes[system.profile] = 1000;
    system.freeBytes = 10;
    EXPECT_EQ(run(), kExitNoSpace);
    system.freeBytes = 1ull << 40;

    system.sample.errors = 1;
    EXPECT_EQ(run(), kExitIncomplete);
    EXPECT_TRUE(system.rewrites.empty()) << "nothing redirected before a complete copy";
    system.sample.errors = 0;
    EXPECT_EQ(system.launches, 0);

    EXPECT_EQ(run(), kExitMigrated);
    EXPECT_EQ(system.rewrites, std::vector<std::wstring>{L"D:\\Mail\\Profiles"});
    EXPECT_EQ(system.launches, 0) << "no relaunch without /RUN";
    EXPECT_EQ(system.stopRequests, 3) << "refusals and a short volume never stop the client";

    int exits = 0;
    for (const std::wstring& line : system.logLines)
        exits += line.rfind(L"退出码：", 0) == 0 ? 1 : 0;
    EXPECT_EQ(exits, 7) << "every run leaves its exit code in the log";
}

TEST_F(Workflow, UnattendedRelaunchOnlyAfterACompletedMigration) {
    MovaraOptions options;
    options.mode = MovaraOptions::Mode::Unattended;
    options.folder = L"D:";
    options.relaunch = true;
    system.sample.runEnded = true;
    system.sample.errors = 1;
    EXPECT_EQ(RunUnattended(options, system, 0), kExitIncomplete);
    EXPECT_EQ(system.launches, 0);
    system.sample.errors = 0;
    EXPECT_EQ(RunUnattended(options, system, 0), kExitMigrated);
    EXPECT_EQ(system.copiedTo, L"D:\\Profiles");
    EXPECT_EQ(system.launches, 1);
}

// Closing the window during a copy asks first; yes stops the copy, records
// the end and redirects nothing. Outside a copy the window closes at once.
TEST_F(Workflow, ClosingDuringACopyAsksAndRecordsTheUsersEnd) {
    controller.OnWindowReady();
    EXPECT_TRUE(controller.OnCloseRequested());
    EXPECT_TRUE(view.questions.empty());

    system.sample.bytesTotal = 1000;
    system.sample.bytesDone = 300;
    StartCopy();
    view.answer = false;
    EXPECT_FALSE(controller.OnCloseRequested());
    EXPECT_EQ(view.questions, std::vector<std::wstring>{kConfirmQuit});
    EXPECT_EQ(system.stops, 0);
    EXPECT_EQ(controller.phase(), MigrationController::Phase::Copying);

    view.answer = true;
    EXPECT_TRUE(controller.OnCloseRequested());
    EXPECT_EQ(system.stops, 1);
    EXPECT_TRUE(system.rewrites.empty());
    EXPECT_EQ(system.clears, 0);
    EXPECT_EQ(controller.result(), MigrationController::Result::Aborted);
    EXPECT_EQ(ExitCodeFor(controller.result()), kExitIncomplete);
    ASSERT_FALSE(system.logLines.empty());
    EXPECT_EQ(system.logLines.back().rfind(L"结果：用户中止", 0), 0u) << "the result is the log's last line";
}

// Going on over this profile's own unfinished copy removes from it what the
// profile no longer has before the redirect; a removal that fails leaves the
// run incomplete. A fresh destination needs no removal.
TEST_F(Workflow, ARetryRemovesWhatTheProfileNoLongerHasBeforeTheRedirect) {
    const std::wstring destination = L"D:\\Mail\\Profiles";
    system.sample.runEnded = true;
    controller.OnWindowReady();
    Choose(L"D:\\Mail");
    controller.OnStartClicked();
    EXPECT_TRUE(system.mirrored.empty()) << "a fresh destination";

    FakeSystem retry;
    retry.sample.runEnded = true;
    retry.existing.push_back(destination);
    retry.destinations[destination] = {DestinationContents::Kind::LeftByEarlierRun, retry.profile};
    retry.mirror.complete = false;
    retry.mirror.removed = 2;
    retry.mirror.failedPath = destination + L"\\Mail\\old";
    retry.mirror.error = 5;
    retry.mirror.message = L"拒绝访问。";
    FakeView retryView;
    MigrationController again(retryView, retry);
    again.OnWindowReady();
    retryView.chosen = L"D:\\Mail";
    again.OnSelectDirectory();
    again.OnStartClicked();
    EXPECT_EQ(retry.mirrored, std::vector<std::wstring>{destination + L"<" + retry.profile});
    EXPECT_TRUE(retry.rewrites.empty());
    EXPECT_EQ(again.result(), MigrationController::Result::Incomplete);
    EXPECT_TRUE(retry.Logged(L"失败：D:\\Mail\\Profiles\\Mail\\old（错误 5：拒绝访问。）"));

    retry.mirror = MirrorOutcome{};
    retry.mirror.removed = 41;
    retry.events.clear();
    again.OnStartClicked();
    EXPECT_EQ(retry.events, (std::vector<std::string>{"mark", "copy", "mirror", "rewrite", "clear"}));
    EXPECT_TRUE(retry.Logged(L"已从新目录删除旧目录中已不存在的项目：41 个"));
    EXPECT_EQ(again.result(), MigrationController::Result::Migrated);
}

// The copy is read back before the redirect unless turned off: the pass shows
// in the same bar and line, and the log says what was read back, or that
// nothing was.
TEST_F(Workflow, TheReadBackShowsInTheBarAndTheLog) {
    system.sample.bytesTotal = 2000;
    StartCopy();
    EXPECT_TRUE(system.verified);
    EXPECT_TRUE(system.Logged(L"复制后读回校验：是"));
    system.sample.bytesDone = 2000;
    system.sample.verifying = true;
    system.sample.verifyBytesTotal = 2000;
    system.sample.verifyBytesDone = 1240;
    controller.OnProgressTimer();
    EXPECT_EQ(view.progress, 62);
    EXPECT_EQ(view.log.rfind(L"正在校验（62%", 0), 0u);
    system.sample.verifying = false;
    system.sample.verifyBytesDone = 2000;
    system.sample.verifyMs = 1500;
    system.sample.runEnded = true;
    controller.OnProgressTimer();
    EXPECT_TRUE(system.Logged(L"已读回校验：2.0 KB（2000 字节），用时 1.5 秒"));
    EXPECT_EQ(view.log, kFinished);

    FakeSystem unverified;
    FakeView quiet;
    MigrationController noVerify(quiet, unverified);
    noVerify.SetVerify(false);
    noVerify.OnWindowReady();
    quiet.chosen = L"D:\\Mail";
    noVerify.OnSelectDirectory();
    noVerify.OnStartClicked();
    EXPECT_FALSE(unverified.verified);
    EXPECT_TRUE(unverified.Logged(L"复制后读回校验：否（/NOVERIFY）"));
}
