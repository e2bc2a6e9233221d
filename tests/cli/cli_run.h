// Running the built quavix program as users run it, for the command tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace quavix_test {

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs a shell command line (quavix is $Q), stderr captured through ErrFile.
inline TRun RunShell(const std::string& CommandLine, const std::string& ErrFile) {
    std::string Command = "export Q='" QUAVIX_BINARY_DIR "/cli/quavix'; " + CommandLine + " 2>'" + ErrFile + "'";
    TRun Run;
    FILE* Pipe = popen(Command.c_str(), "r");
    if (!Pipe) return Run;
    char Buffer[65536];
    size_t Count;
    while ((Count = fread(Buffer, 1, sizeof(Buffer), Pipe)) > 0) Run.Out.append(Buffer, Count);
    int Status = pclose(Pipe);
    Run.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    std::ifstream Err(ErrFile);
    std::stringstream Text;
    Text << Err.rdbuf();
    Run.Err = Text.str();
    return Run;
}

}  // namespace quavix_test
