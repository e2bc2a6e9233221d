// quavix-player's own options, run as a user runs them: they answer before
// GTK opens a display (the tests run with none) and before the settings
// folder is made.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "cli/cli_run.h"
#include "support/case_names.h"

namespace {

using quavix_test::TRun;

// Runs quavix-player ($P) or quavix ($Q) with no display and a fresh home.
TRun RunWindow(const std::string& CommandLine) {
    static int Runs = 0;
    char Template[] = "/tmp/quavix-window-options-XXXXXX";
    if (!mkdtemp(Template)) return {};
    const std::string Home = Template;
    TRun Result = quavix_test::RunShell("cd '" + Home + "' && unset DISPLAY WAYLAND_DISPLAY; export HOME='" + Home +
                                            "/home' P='" QUAVIX_BINARY_DIR "/app/quavix-player'; " + CommandLine,
                                        Home + "/err" + std::to_string(++Runs));
    // Nothing done: no settings folder made under the home.
    struct stat Info;
    if (stat((Home + "/home").c_str(), &Info) == 0) Result.Err += "[a home folder was made]";
    std::system(("rm -rf '" + Home + "'").c_str());
    return Result;
}

struct TOptionCase : quavix_test::TNamedCase {
    const char* Arguments;
    int Status;
    const char* Out;  // the start of standard output
    const char* Err;  // all of standard error
};

std::vector<TOptionCase> OptionCases() {
    return {
        {"help", "--help", 0, "Usage: quavix-player [OPTION]... [FILE]\n", ""},
        {"help, short", "-h", 0, "Usage: quavix-player", ""},
        {"version", "--version", 0, "quavix-player " QUAVIX_PROJECT_VERSION "\n", ""},
        {"GTK's own options are taken", "--g-fatal-warnings --version", 0, "quavix-player ", ""},
        {"an unknown option", "--loud song.xm", 2, "",
         "quavix-player: unknown option '--loud'\nTry 'quavix-player --help' for more information.\n"},
    };
}

class WindowOptionsAnswerWithoutADisplay : public ::testing::TestWithParam<TOptionCase> {};

TEST_P(WindowOptionsAnswerWithoutADisplay, AnswerWithoutADisplay) {
    const TOptionCase& C = GetParam();
    const TRun R = RunWindow(std::string("\"$P\" ") + C.Arguments);
    EXPECT_EQ(R.Status, C.Status) << R.Err;
    EXPECT_EQ(R.Out.rfind(C.Out, 0), 0u) << R.Out;
    if (C.Out[0] == '\0') {
        EXPECT_EQ(R.Out, "");
    }
    EXPECT_EQ(R.Err, C.Err);
}
INSTANTIATE_TEST_SUITE_P(Window, WindowOptionsAnswerWithoutADisplay, ::testing::ValuesIn(OptionCases()),
                         quavix_test::TCaseName());

TEST(Window, ShowsTheVersionTheCommandLineToolShows) {
    const TRun Window = RunWindow("\"$P\" --version");
    const TRun Tool = RunWindow("\"$Q\" --version");
    ASSERT_EQ(Window.Status, 0);
    ASSERT_EQ(Tool.Status, 0);
    EXPECT_EQ(Tool.Out, "quavix " QUAVIX_PROJECT_VERSION "\n");
    EXPECT_EQ(Window.Out, "quavix-player " QUAVIX_PROJECT_VERSION "\n");
}

}  // namespace
