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
#include <vector>

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

struct TNameSplit : quavix_test::TNamedCase {
    const char* Folder;
    const char* File;
};

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

struct TSettingsDirCase : quavix_test::TNamedCase {
    const char* Path;  // under the test's folder, which holds the folder "there" and the file "plain"
    bool Want;
};

std::vector<TSettingsDirCase> SettingsDirCases() {
    return {
        {"a directory already there", "there", true},
        {"a directory made", "new", true},
        {"a file in the way", "plain", false},
        {"only one level is made", "missing/deeper", false},
    };
}

class ShellFilesPreparesTheSettingsDirectoryOneLevelDeep : public ShellFiles,
                                                           public ::testing::WithParamInterface<TSettingsDirCase> {};

TEST_P(ShellFilesPreparesTheSettingsDirectoryOneLevelDeep, PreparesTheSettingsDirectoryOneLevelDeep) {
    const TSettingsDirCase& C = GetParam();
    Write("plain", "not a directory");
    ASSERT_EQ(mkdir((Dir + "/there").c_str(), 0700), 0);
    const std::string Path = Dir + "/" + C.Path;
    EXPECT_EQ(PrepareSettingsDir(Path), C.Want) << Path;
    struct stat Info;
    EXPECT_EQ(stat(Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode), C.Want) << Path;
}
INSTANTIATE_TEST_SUITE_P(ShellFiles, ShellFilesPreparesTheSettingsDirectoryOneLevelDeep,
                         ::testing::ValuesIn(SettingsDirCases()), quavix_test::TCaseName());

struct TReadLastPathCase : quavix_test::TNamedCase {
    std::optional<std::string> Content;  // nothing: no file
    std::string Want;
};

std::vector<TReadLastPathCase> ReadLastPathCases() {
    return {
        {"a folder on a line", "/home/user/music/\n", "/home/user/music/"},
        {"no line end", "/home/user/music/", "/home/user/music/"},
        {"the first of two lines", "/first/\n/second/\n", "/first/"},
        {"a DOS line end", "/dos/\r\n", "/dos/"},
        {"blanks kept as written", " /spaced/ \n", " /spaced/ "},
        {"an empty first line", "\n/after/\n", ""},
        {"an empty file", "", ""},
        {"no file", std::nullopt, ""},
    };
}

class ShellFilesReadsTheFirstLineOfLastPath : public ShellFiles,
                                              public ::testing::WithParamInterface<TReadLastPathCase> {};

TEST_P(ShellFilesReadsTheFirstLineOfLastPath, ReadsTheFirstLineOfLastPath) {
    const TReadLastPathCase& C = GetParam();
    if (C.Content) Write("lastpath", *C.Content);
    EXPECT_EQ(ReadLastPath(Dir + "/lastpath"), C.Want) << C.Content.value_or("(no file)");
}
INSTANTIATE_TEST_SUITE_P(ShellFiles, ShellFilesReadsTheFirstLineOfLastPath, ::testing::ValuesIn(ReadLastPathCases()),
                         quavix_test::TCaseName());

TEST_F(ShellFiles, AFolderWhereLastPathShouldBeReadsAsNothingRemembered) {
    EXPECT_EQ(ReadLastPath(Dir), "");
}

struct TSaveLastPathCase : quavix_test::TNamedCase {
    std::optional<std::string> Before;
    std::string LastPath;
    std::optional<std::string> After;
};

std::vector<TSaveLastPathCase> SaveLastPathCases() {
    return {
        {"a new file", std::nullopt, "/home/user/music/", "/home/user/music/\n"},
        {"a longer old file cut to the new folder", "/old/folder/with/a/long/name/\n", "/new/", "/new/\n"},
        {"no folder deletes the file", "/old/\n", "", std::nullopt},
        {"blanks count as no folder", "/old/\n", " \t ", std::nullopt},
        {"no folder and no file", std::nullopt, "", std::nullopt},
        {"blanks around a folder written as it stands", std::nullopt, " /x/ ", " /x/ \n"},
    };
}

class ShellFilesWritesLastPathWithALineFeedOrDeletesIt : public ShellFiles,
                                                         public ::testing::WithParamInterface<TSaveLastPathCase> {};

TEST_P(ShellFilesWritesLastPathWithALineFeedOrDeletesIt, WritesLastPathWithALineFeedOrDeletesIt) {
    const TSaveLastPathCase& C = GetParam();
    if (C.Before) Write("lastpath", *C.Before);
    SaveLastPath(Dir + "/lastpath", C.LastPath);
    EXPECT_EQ(Read("lastpath"), C.After) << "[" << C.LastPath << "]";
}
INSTANTIATE_TEST_SUITE_P(ShellFiles, ShellFilesWritesLastPathWithALineFeedOrDeletesIt,
                         ::testing::ValuesIn(SaveLastPathCases()), quavix_test::TCaseName());

TEST_F(ShellFiles, LastPathReadsBackAndIsReplacedWhole) {
    // What is written reads back as the same folder.
    SaveLastPath(Dir + "/lastpath", "/round/trip/");
    EXPECT_EQ(ReadLastPath(Dir + "/lastpath"), "/round/trip/");
    // The old file is replaced, not rewritten in place: a name that still
    // leads to it sees the old folder whole.
    ASSERT_EQ(link((Dir + "/lastpath").c_str(), (Dir + "/earlier").c_str()), 0);
    SaveLastPath(Dir + "/lastpath", "/replaced/");
    EXPECT_EQ(Read("lastpath"), "/replaced/\n");
    EXPECT_EQ(Read("earlier"), "/round/trip/\n");
}

TEST_F(ShellFiles, NothingIsWrittenForASettingsDirectoryThatWentAway) {
    // Nothing is raised either.
    SaveLastPath(Dir + "/gone/lastpath", "/x/");
    EXPECT_EQ(Read("gone/lastpath"), std::nullopt);
}

}  // namespace
