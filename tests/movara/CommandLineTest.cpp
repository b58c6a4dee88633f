#include "CommandLine.h"

#include <gtest/gtest.h>

using Mode = MovaraOptions::Mode;

TEST(CommandLine, NoSwitchOpensTheWindowWhateverElseTheLineHolds) {
    EXPECT_EQ(ParseCommandLine(L"").mode, Mode::Window);
    EXPECT_EQ(ParseCommandLine(L"   ").mode, Mode::Window);
    EXPECT_EQ(ParseCommandLine(L"stray words -x").mode, Mode::Window);
}

TEST(CommandLine, FolderSwitchIsLastAndTakesTheRestOfTheLine) {
    MovaraOptions options = ParseCommandLine(L"/S /D=D:\\Mail Data\\新 目录  ");
    EXPECT_EQ(options.mode, Mode::Unattended);
    EXPECT_EQ(options.folder, L"D:\\Mail Data\\新 目录");
    EXPECT_FALSE(options.relaunch);

    EXPECT_TRUE(options.verify);

    options = ParseCommandLine(L"/run /noverify /s /D=D:\\x /S /RUN");
    EXPECT_EQ(options.mode, Mode::Unattended);
    EXPECT_TRUE(options.relaunch);
    EXPECT_FALSE(options.verify);
    EXPECT_EQ(options.folder, L"D:\\x /S /RUN") << "nothing after /D= is a switch";

    // A drive root is the folder D:, as the folder browser gives it: the copy goes to D:\Profiles.
    EXPECT_EQ(ParseCommandLine(L"/S /D=D:\\").folder, L"D:");
    EXPECT_EQ(ParseCommandLine(L"/S /D=\"E:\\Quoted Path\"").folder, L"E:\\Quoted Path");
    EXPECT_EQ(ParseCommandLine(L"/S \"/D=E:\\Quoted Path\\\"").folder, L"E:\\Quoted Path");
    EXPECT_EQ(ParseCommandLine(L"/S /D=\\\\server\\share\\mail").mode, Mode::Unattended);
}

TEST(CommandLine, SwitchesThatDoNotMakeAnUnattendedRunAreBadArguments) {
    EXPECT_EQ(ParseCommandLine(L"/S").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/S /D=").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/D=D:\\Mail").mode, Mode::BadArguments) << "no /S";
    EXPECT_EQ(ParseCommandLine(L"/RUN /D=D:\\Mail").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/S /X /D=D:\\Mail").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/S /D=relative\\folder").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/S /D=\\\\?\\D:\\Mail").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/S /D=D:Mail").mode, Mode::BadArguments) << "drive-relative";
    EXPECT_EQ(ParseCommandLine(L"/S /D=D:\\a\"b").mode, Mode::BadArguments);
    EXPECT_EQ(ParseCommandLine(L"/S /? /D=D:\\Mail").mode, Mode::Usage);
}
