#include "render_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli.h"

namespace quavix_cli {

namespace {

constexpr int BarWidth = 30;
constexpr int DefaultWidth = 80;

std::string Bar(int64_t Done, int64_t Total) {
    const int Filled =
        Total > 0 ? static_cast<int>(std::min<int64_t>(std::max<int64_t>(Done, 0), Total) * BarWidth / Total)
                  : BarWidth;
    std::string Text(static_cast<size_t>(Filled), '#');
    Text.resize(BarWidth, '-');
    return "[" + Text + "]";
}

int TerminalWidth() {
    winsize Size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &Size) == 0 && Size.ws_col > 0) return Size.ws_col;
    return DefaultWidth;
}

}  // namespace

TRenderProgress::~TRenderProgress() { Finish(); }

std::vector<std::string> TRenderProgress::Lines(int Width) const {
    std::vector<std::string> Result;
    for (const TFile& File : Running) {
        if (!File.Running) continue;
        Result.push_back(Printable(File.Name) + " " + Bar(File.Done, File.Total) + " " +
                         ClockTime(File.Done, File.Rate) + " / " + ClockTime(File.Total, File.Rate));
    }
    if (Files > 1)
        Result.push_back("all files " + Bar(static_cast<int64_t>(Ended), static_cast<int64_t>(Files)) + " " +
                         std::to_string(Ended) + " of " + std::to_string(Files) + " done");
    // A line as wide as the terminal would wrap and break the redrawing.
    for (std::string& Line : Result)
        if (static_cast<int>(Line.size()) >= Width) Line.resize(static_cast<size_t>(std::max(Width - 1, 0)));
    return Result;
}

void TRenderProgress::Clear() {
    if (Drawn == 0) return;
    // Back to the start of the first line, and everything below goes.
    if (Drawn > 1) std::fprintf(stderr, "\033[%dA", Drawn - 1);
    std::fprintf(stderr, "\r\033[J");
    Drawn = 0;
}

void TRenderProgress::Draw() {
    LastDraw = std::chrono::steady_clock::now();
    const std::vector<std::string> Text = Lines(TerminalWidth());
    Clear();
    for (size_t i = 0; i < Text.size(); ++i) std::fprintf(stderr, "%s%s", i ? "\n" : "", Text[i].c_str());
    Drawn = static_cast<int>(Text.size());
    std::fflush(stderr);
}

int TRenderProgress::Begin(const std::string& Name, int64_t Total, int32_t Rate) {
    std::lock_guard<std::mutex> Guard(Lock);
    // A free line is used again, so lines keep their places while others end.
    size_t Line = 0;
    while (Line < Running.size() && Running[Line].Running) ++Line;
    if (Line == Running.size()) Running.emplace_back();
    Running[Line] = {Name, Total, 0, Rate, true};
    if (Shown) Draw();
    return static_cast<int>(Line);
}

void TRenderProgress::Update(int Line, int64_t Done) {
    std::lock_guard<std::mutex> Guard(Lock);
    TFile& File = Running[static_cast<size_t>(Line)];
    File.Done = Done;
    if (!Shown) return;
    // A few redraws a second are enough to watch; the end of a file is
    // always shown.
    if (Done < File.Total && std::chrono::steady_clock::now() - LastDraw < std::chrono::milliseconds(100)) return;
    Draw();
}

void TRenderProgress::End(int Line) {
    std::lock_guard<std::mutex> Guard(Lock);
    if (Line >= 0) Running[static_cast<size_t>(Line)].Running = false;
    ++Ended;
    if (Shown) Draw();
}

void TRenderProgress::Report(const std::string& What, const std::string& Why) {
    std::lock_guard<std::mutex> Guard(Lock);
    if (Shown) Clear();
    ReportError(What, Why);
    if (Shown && !Running.empty()) Draw();
}

void TRenderProgress::Finish() {
    std::lock_guard<std::mutex> Guard(Lock);
    if (!Shown) return;
    Clear();
    std::fflush(stderr);
}

}  // namespace quavix_cli
