// What quavix render shows on standard error while it works: on a terminal,
// one progress line per file being rendered (song time rendered against the
// whole) and, when there is more than one file, a line for all of them;
// between them the one-line reports of files that failed. Renders on
// several threads share one display.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quavix_cli {

class TRenderProgress {
public:
    // Shown: draw the progress lines (standard error is a terminal); Files:
    // how many files the whole render writes.
    TRenderProgress(bool AShown, size_t AFiles) : Shown(AShown), Files(AFiles) {}
    ~TRenderProgress();
    TRenderProgress(const TRenderProgress&) = delete;
    TRenderProgress& operator=(const TRenderProgress&) = delete;

    // A file begins: its line shows Name and Total frames at Rate. Returns
    // the line's number for Update and End.
    int Begin(const std::string& Name, int64_t Total, int32_t Rate);
    void Update(int Line, int64_t Done);
    // The file is done (written or not); its line goes. Line -1: a file
    // that failed before its line began, counted as done all the same.
    void End(int Line);
    // One line "quavix: WHAT: WHY" above the progress lines.
    void Report(const std::string& What, const std::string& Why);
    // Clears the progress lines for good.
    void Finish();

    // The progress lines for a terminal Width columns wide, as drawn: one
    // per file being rendered, then the total. Exposed for the tests.
    std::vector<std::string> Lines(int Width) const;

private:
    struct TFile {
        std::string Name;
        int64_t Total = 0;
        int64_t Done = 0;
        int32_t Rate = 0;
        bool Running = false;
    };
    bool Shown;
    size_t Files;
    size_t Ended = 0;
    std::vector<TFile> Running;
    mutable std::mutex Lock;
    int Drawn = 0;  // lines on screen, the cursor at the end of the last
    std::chrono::steady_clock::time_point LastDraw{};

    void Draw();
    void Clear();
};

}  // namespace quavix_cli
