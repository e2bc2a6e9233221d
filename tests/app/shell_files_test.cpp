// The window's file rules: the settings directory, the remembered folder on
// disk, and the parts of a chosen name.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "shell_files.h"
#include "support/case_names.h"

using namespace quavix_shell;

namespace {

class ShellFiles : public ::testing::Test {
protected:
    std::string Dir;

    void SetUp() override {
        char Template[] = "/tmp/quavix-shell-XXXXXX";
        ASSERT_NE(mkdtemp(Template), nullptr);
        Dir = Template;
    }
    void TearDown() override { std::system(("rm -rf '" + Dir + "'").c_str()); }

    void Write(const std::string& Name, const std::string& Bytes) {
        std::ofstream(Dir + "/" + Name, std::ios::binary) << Bytes;
    }
    // The file's bytes, or nothing when it does not exist.
    std::optional<std::string> Read(const std::string& Name) {
        std::ifstream File(Dir + "/" + Name, std::ios::binary);
        if (!File.is_open()) return std::nullopt;
        std::stringstream Bytes;
        Bytes << File.rdbuf();
        return Bytes.str();
    }
};

struct TNameSplit {
    const char* Name;
    const char* Folder;
    const char* File;
};

void PrintTo(const TNameSplit& Case, std::ostream* Out) { *Out << Case.Name; }

std::vector<TNameSplit> NameSplits() {
    return {
        {"/home/user/music/song.xm", "/home/user/music/", "song.xm"},
        {"/song.mod", "/", "song.mod"},
        {"song.xm", "", "song.xm"},
        {"/home/user/music/", "/home/user/music/", ""},
        {"/a b/c d.xm", "/a b/", "c d.xm"},
        {"", "", ""},
    };
}

class ShellNamesSplitsAChosenNameIntoFolderAndFile : public ::testing::TestWithParam<TNameSplit> {};

TEST_P(ShellNamesSplitsAChosenNameIntoFolderAndFile, SplitsAChosenNameIntoFolderAndFile) {
    const TNameSplit& C = GetParam();
    EXPECT_EQ(FolderPart(C.Name), C.Folder) << C.Name;
    EXPECT_EQ(FilePart(C.Name), C.File) << C.Name;
}
INSTANTIATE_TEST_SUITE_P(ShellNames, ShellNamesSplitsAChosenNameIntoFolderAndFile, ::testing::ValuesIn(NameSplits()),
                         quavix_test::TCaseName());

TEST(ShellNames, SettingsDirectoryLiesUnderHome) {
    EXPECT_EQ(SettingsDirFor("/home/user"), "/home/user/.quavixplayer");
    EXPECT_EQ(SettingsDirFor(nullptr), "/.quavixplayer");  // HOME unset
    EXPECT_EQ(SettingsDirFor(""), "/.quavixplayer");
}

TEST_F(ShellFiles, PreparesTheSettingsDirectoryOneLevelDeep) {
    Write("plain", "not a directory");
    ASSERT_EQ(mkdir((Dir + "/there").c_str(), 0700), 0);
    struct Case {
        std::string Path;
        bool Want;
    };
    const Case Cases[] = {
        {Dir + "/there", true},          // already there
        {Dir + "/new", true},            // made
        {Dir + "/plain", false},         // a file in the way
        {Dir + "/missing/deeper", false}, // only one level is made
    };
    for (const Case& C : Cases) {
        EXPECT_EQ(PrepareSettingsDir(C.Path), C.Want) << C.Path;
        struct stat Info;
        EXPECT_EQ(stat(C.Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode), C.Want) << C.Path;
    }
}

TEST_F(ShellFiles, ReadsTheFirstLineOfLastPath) {
    struct Case {
        std::optional<std::string> Content;  // nothing: no file
        std::string Want;
    };
    const Case Cases[] = {
        {"/home/user/music/\n", "/home/user/music/"},
        {"/home/user/music/", "/home/user/music/"},  // no line end
        {"/first/\n/second/\n", "/first/"},
        {"/dos/\r\n", "/dos/"},
        {" /spaced/ \n", " /spaced/ "},  // kept as written
        {"\n/after/\n", ""},
        {"", ""},
        {std::nullopt, ""},
    };
    for (const Case& C : Cases) {
        std::remove((Dir + "/lastpath").c_str());
        if (C.Content) Write("lastpath", *C.Content);
        EXPECT_EQ(ReadLastPath(Dir + "/lastpath"), C.Want) << C.Content.value_or("(no file)");
    }
    // A folder where the file should be reads as nothing remembered.
    EXPECT_EQ(ReadLastPath(Dir), "");
}

TEST_F(ShellFiles, WritesLastPathWithALineFeedOrDeletesIt) {
    struct Case {
        std::optional<std::string> Before;
        std::string LastPath;
        std::optional<std::string> After;
    };
    const Case Cases[] = {
        {std::nullopt, "/home/user/music/", "/home/user/music/\n"},
        {"/old/folder/with/a/long/name/\n", "/new/", "/new/\n"},  // truncated
        {"/old/\n", "", std::nullopt},                           // deleted
        {"/old/\n", " \t ", std::nullopt},                       // blanks count as empty
        {std::nullopt, "", std::nullopt},
        {std::nullopt, " /x/ ", " /x/ \n"},  // written as it stands
    };
    for (const Case& C : Cases) {
        std::remove((Dir + "/lastpath").c_str());
        if (C.Before) Write("lastpath", *C.Before);
        SaveLastPath(Dir + "/lastpath", C.LastPath);
        EXPECT_EQ(Read("lastpath"), C.After) << "[" << C.LastPath << "]";
    }
    // What is written reads back as the same folder.
    SaveLastPath(Dir + "/lastpath", "/round/trip/");
    EXPECT_EQ(ReadLastPath(Dir + "/lastpath"), "/round/trip/");
    // The old file is replaced, not rewritten in place: a name that still
    // leads to it sees the old folder whole.
    ASSERT_EQ(link((Dir + "/lastpath").c_str(), (Dir + "/earlier").c_str()), 0);
    SaveLastPath(Dir + "/lastpath", "/replaced/");
    EXPECT_EQ(Read("lastpath"), "/replaced/\n");
    EXPECT_EQ(Read("earlier"), "/round/trip/\n");
    // A settings directory that went away: nothing is written, nothing raised.
    SaveLastPath(Dir + "/gone/lastpath", "/x/");
    EXPECT_EQ(Read("gone/lastpath"), std::nullopt);
}

}  // namespace
