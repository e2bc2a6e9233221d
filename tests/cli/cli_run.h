// Running the built quavix program as users run it, for the command tests,
// and reading the audio files it writes.
#pragma once

#include <sndfile.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// The samples of an audio file as 16-bit values, frames in order; empty when
// it does not open.
inline std::vector<int16_t> ReadSamples(const std::string& Path) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (!File) return {};
    std::vector<int16_t> Samples(static_cast<size_t>(Info.frames * Info.channels));
    sf_readf_short(File, Samples.data(), Info.frames);
    sf_close(File);
    return Samples;
}

}  // namespace quavix_test
