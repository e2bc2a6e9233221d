// What quavix play draws on the terminal: the status line, the channel
// meters, the tracker-style pattern view and the key list; and the terminal
// itself while play runs (single keys without echo, the cursor hidden, the
// pattern view on a screen of its own), restored whatever way play ends.
// The lines are made apart from the terminal, so they are tested as text.
#pragma once

#include <termios.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "song/pattern.h"

class TQuavix;
class TQuavixModule;

namespace quavix_cli {

// What the status line shows.
struct TPlayStatus {
    int32_t Order = 0;
    int32_t SongLength = 0;
    int32_t Row = 0;
    int64_t Elapsed = 0;  // frames
    int64_t Total = 0;
    int32_t Rate = 44100;
    int32_t VolumePercent = 100;
    bool Paused = false;
};
std::string StatusLine(const TPlayStatus& Status);

// One peak bar per song channel, fed from the player's channel peaks: a bar
// jumps up to a new peak and falls back from it by one step a frame.
class TChannelMeters {
public:
    // Steps of a bar: two lines of eighths, 3 dB each, up to half of full scale.
    static constexpr int32_t Steps = 16;
    // The step of a peak in 16-bit sample units.
    static int32_t StepOf(int32_t Peak);

    // Takes the peaks of the song's first Channels channels since the last
    // frame, each from TakePeak(channel) (the player's TakeChannelPeak).
    void Take(int32_t Channels, const std::function<int32_t(int32_t)>& TakePeak);
    // Three lines for a terminal Width columns wide: the bars (as many
    // channels as fit), then the channel numbers. A muted channel's bar
    // shows "--". Utf8: block characters, else plain ones.
    std::vector<std::string> Lines(int Width, const std::vector<bool>& Muted, bool Utf8) const;

    std::vector<int32_t> Shown;  // the step each bar stands at
};

// The rows of the current pattern around Row, one line per row: the row
// number, then note, instrument, volume column and effect of each channel
// that fits in Width, under a line naming the channels. Rows lines in all;
// the current row is the one CurrentLine names.
std::vector<std::string> PatternView(const TQuavixModule& Module, int32_t Order, int32_t Row, int Width, int Rows,
                                     const std::vector<bool>& Muted, int& CurrentLine);
// One cell as the view shows it: "C-4 01 40 A0F", dots where it is empty.
std::string CellText(const TQuavixPatternNote& Cell);

struct TScreenLine {
    std::string Text;
    bool Highlight = false;
    bool operator==(const TScreenLine& Other) const { return Text == Other.Text && Highlight == Other.Highlight; }
};

// A block of lines kept on a terminal: inline, below what was printed
// before it (the cursor kept at the start of its first line), or on a
// screen of its own. Show gives what to write so that the terminal shows
// the new lines: only the lines that changed, or everything anew when the
// size or (inline) the number of lines changed.
class TScreenBlock {
public:
    explicit TScreenBlock(bool AFullScreen) : FullScreen(AFullScreen) {}
    // Lines fitted to Width columns and Height lines (inline, one line less,
    // so that redrawing never scrolls the screen).
    std::string Show(const std::vector<TScreenLine>& Lines, int Width, int Height);
    // Inline: moves below the block, whose lines stay; the next Show starts
    // a new block there.
    std::string End();
    bool Empty() const { return Blank; }

private:
    bool FullScreen;
    std::vector<TScreenLine> Drawn;
    int DrawnWidth = 0, DrawnHeight = 0;
    bool Blank = true;  // nothing of the block on screen
};

// The terminal while play runs: standard input in single-key mode without
// echo (when it is a terminal), and standard output for the block of lines
// (when it is one), on the alternate screen for the pattern view. The
// destructor gives the terminal back as it was.
class TTerminal {
public:
    explicit TTerminal(bool FullScreen);
    ~TTerminal();
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;

    bool KeysOn() const { return Keys; }
    bool ScreenOn() const { return Screen; }
    bool InlineBlock() const { return Screen && !FullScreen; }
    bool Utf8() const { return Unicode; }
    // The terminal's size now (80 x 24 when it cannot be read).
    void Size(int& Width, int& Height) const;
    // Waits up to Ms milliseconds for key bytes and appends them; false when none came.
    bool ReadKeys(int Ms, std::string& Bytes);
    void Show(const std::vector<TScreenLine>& Lines, int Width, int Height);
    void EndBlock();
    // One line "quavix: WHAT: WHY" on standard error. The pattern view's
    // screen of its own would take it away when it goes, so there the line
    // waits until the terminal is given back.
    void Report(const std::string& What, const std::string& Why);

private:
    bool Keys = false;
    bool Screen = false;
    bool FullScreen = false;
    bool Unicode = false;
    termios Saved{};
    TScreenBlock Block;
    std::vector<std::pair<std::string, std::string>> Reports;  // waiting for the screen to go

    void Write(const std::string& Text);
};

// Text cut to fit Width - 1 columns (a full line would wrap), counting each
// UTF-8 character as one column.
std::string FitToWidth(const std::string& Text, int Width);

}  // namespace quavix_cli
