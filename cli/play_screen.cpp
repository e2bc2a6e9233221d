#include "play_screen.h"

#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "cli.h"
#include "player/quavix.h"
#include "song/commands.h"
#include "song/module.h"

namespace quavix_cli {

std::string StatusLine(const TPlayStatus& S) {
    char Text[160];
    std::snprintf(Text, sizeof(Text), "  order %3d/%d  row %3d  %s / %s  volume %d%%%s", std::max(S.Order, 0),
                  S.SongLength, std::max(S.Row, 0), ClockTime(S.Elapsed, S.Rate).c_str(),
                  ClockTime(S.Total, S.Rate).c_str(), S.VolumePercent, S.Paused ? "  paused" : "");
    return Text;
}

std::string FitToWidth(const std::string& Text, int Width) {
    const int Columns = std::max(Width - 1, 0);
    int Used = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        // A byte 10xxxxxx continues the character before it.
        if ((static_cast<uint8_t>(Text[i]) & 0xC0) == 0x80) continue;
        if (Used == Columns) return Text.substr(0, i);
        ++Used;
    }
    return Text;
}

namespace {

int Columns(const std::string& Text) {
    int Count = 0;
    for (char c : Text)
        if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) ++Count;
    return Count;
}

}  // namespace

// ---------------------------------------------------------------------------
// Channel meters

int32_t TChannelMeters::StepOf(int32_t Peak) {
    if (Peak <= 0) return 0;
    // 3 dB a step below the top of the scale, which is half of full scale:
    // as loud as one channel gets at the window's master volume (half), a
    // full-scale sample at full volume panned to one side.
    const double Decibels = 20.0 * std::log10(Peak / 16384.0);
    const long Step = std::lround(Steps + Decibels / 3.0);
    return static_cast<int32_t>(std::clamp<long>(Step, 0, Steps));
}

void TChannelMeters::Take(int32_t Channels, const std::function<int32_t(int32_t)>& TakePeak) {
    Shown.resize(static_cast<size_t>(std::max(Channels, 0)), 0);
    for (int32_t i = 0; i < Channels; ++i) {
        int32_t& Bar = Shown[static_cast<size_t>(i)];
        Bar = std::max(StepOf(TakePeak(i)), Bar - 1);
    }
}

std::vector<std::string> TChannelMeters::Lines(int Width, const std::vector<bool>& Muted, bool Utf8) const {
    // Eighths of a line: a blank and the eight block heights, or plain
    // characters of rising weight.
    static const char* Blocks[] = {" ", "\u2581", "\u2582", "\u2583", "\u2584", "\u2585", "\u2586", "\u2587", "\u2588"};
    static const char* Plain[] = {" ", ".", ".", ":", ":", "=", "=", "#", "#"};
    const char* const* Glyphs = Utf8 ? Blocks : Plain;
    const int Digits = std::max(2, static_cast<int>(std::to_string(Shown.size()).size()));
    const size_t Fit = static_cast<size_t>(std::max((Width - 1 - 2) / (Digits + 1), 0));
    const size_t Count = std::min(Shown.size(), Fit);
    std::vector<std::string> Result(3, "  ");
    for (size_t i = 0; i < Count; ++i) {
        const bool Off = i < Muted.size() && Muted[i];
        const int32_t Step = Off ? 0 : Shown[i];
        const int32_t Low = std::min(Step, 8), High = std::max(Step - 8, 0);
        for (int d = 0; d < Digits; ++d) {
            Result[0] += Glyphs[High];
            Result[1] += Off ? "-" : Glyphs[Low];
        }
        Result[2] += ZeroPadded(static_cast<int64_t>(i + 1), Digits);
        for (std::string& Line : Result) Line += ' ';
    }
    return Result;
}

// ---------------------------------------------------------------------------
// Pattern view

std::string CellText(const TQuavixPatternNote& Shown) {
    const int32_t Note = Shown.Note, Instrument = Shown.Instrument;
    const int32_t Effect = Shown.Effect, Parameter = Shown.EffectParameter;
    static const char* Names[] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    char Text[32];
    std::string Cell;
    if (Note >= TQuavixNote::First && Note <= TQuavixNote::Last)
        Cell = std::string(Names[(Note - 1) % 12]) + static_cast<char>('0' + (Note - 1) / 12);
    else
        Cell = Note == TQuavixNote::KeyOff    ? "==="
               : Note == TQuavixNote::NoteCut ? "^^^"
               : Note == TQuavixNote::None    ? "..."
                                              : "???";
    if (Instrument > 0) {
        std::snprintf(Text, sizeof(Text), " %02X", Instrument & 0xFF);
        Cell += Text;
    } else {
        Cell += " ..";
    }
    // The volume column as trackers show it: a volume 00..40, or a command
    // letter and its value (- + slides, D U fine slides, S V vibrato speed
    // and depth, P panning, L R panning slides, M tone portamento).
    const int32_t Command = Shown.VolumeCommand;
    if (Command == TQuavixVolumeCommand::SetVolume) {
        std::snprintf(Text, sizeof(Text), " %02X", Shown.VolumeParameter);
    } else if (Command > TQuavixVolumeCommand::SetVolume && Command < TQuavixVolumeCommand::Count) {
        static const char Commands[] = "-+DUSVPLRMEFPG";
        // Impulse Tracker's wider panning and portamento speeds show their
        // high digit.
        const int32_t Value = Shown.VolumeParameter;
        if (Value > 15)
            std::snprintf(Text, sizeof(Text), "%c%02X", Commands[Command - TQuavixVolumeCommand::SlideDown], Value & 0xFF);
        else
            std::snprintf(Text, sizeof(Text), " %c%X", Commands[Command - TQuavixVolumeCommand::SlideDown], Value);
    } else {
        std::snprintf(Text, sizeof(Text), " ..");
    }
    Cell += Text;
    if ((Effect == 0 || Effect == TQuavixLetterEffect::Base) && Parameter == 0) {
        Cell += " ...";
    } else if (Effect >= TQuavixLetterEffect::Base && Effect < TQuavixLetterEffect::End) {
        // A letter effect; a parameter without a letter shows as '.'.
        const char Letter = Effect == TQuavixLetterEffect::Base ? '.' : static_cast<char>('A' + Effect - TQuavixLetterEffect::A);
        std::snprintf(Text, sizeof(Text), " %c%02X", Letter, Parameter & 0xFF);
        Cell += Text;
    } else {
        // 0-9 and A-Z; the smooth macro shows as '\'.
        const char Command = Effect >= 0 && Effect <= 9 ? static_cast<char>('0' + Effect)
                             : Effect >= 10 && Effect <= 35 ? static_cast<char>('A' + Effect - 10)
                             : Effect == TQuavixEffect::SmoothMidiMacro ? '\\'
                                                            : '?';
        std::snprintf(Text, sizeof(Text), " %c%02X", Command, Parameter & 0xFF);
        Cell += Text;
    }
    return Cell;
}

std::vector<std::string> PatternView(const TQuavixModule& Module, int32_t Order, int32_t Row, int Width, int Rows,
                                     const std::vector<bool>& Muted, int& CurrentLine) {
    constexpr int CellWidth = 13;  // "C-4 01 40 A0F"
    constexpr int RowWidth = 5;    // "> 12 "
    std::vector<std::string> Lines;
    CurrentLine = -1;
    if (Rows < 2) return Lines;
    const int32_t Channels = std::clamp(Module.NumChannels, 0, TQuavixModule::MaxChannels);
    const int32_t Shown = std::min(Channels, std::max((Width - 1 - RowWidth) / (CellWidth + 1), 0));
    std::string Header(RowWidth, ' ');
    for (int32_t c = 0; c < Shown; ++c) {
        std::string Name = " " + std::to_string(c + 1) + (static_cast<size_t>(c) < Muted.size() && Muted[c] ? " muted" : "");
        Name.resize(CellWidth, ' ');
        Header += "|" + Name;
    }
    Lines.push_back(Header);
    const TQuavixPattern* Pattern = nullptr;
    if (Order >= 0 && Order < TQuavixModule::MaxOrders) Pattern = Module.Patterns[Module.Orders[Order]].get();
    // The current row in the middle, the rows before and after it around.
    const int Body = Rows - 1;
    const int32_t First = Row - Body / 2;
    for (int i = 0; i < Body; ++i) {
        const int32_t R = First + i;
        if (!Pattern || R < 0 || R >= Pattern->Rows) {
            Lines.emplace_back();
            continue;
        }
        char Number[16];
        std::snprintf(Number, sizeof(Number), "%c%3d ", R == Row ? '>' : ' ', R);
        std::string Line = Number;
        for (int32_t c = 0; c < Shown; ++c) {
            TQuavixPatternNote Cell;
            if (c < Pattern->Channels) Pattern->GetNote(Cell, R, c);
            Line += "|" + CellText(Cell);
        }
        if (R == Row) CurrentLine = static_cast<int>(Lines.size());
        Lines.push_back(Line);
    }
    return Lines;
}

// ---------------------------------------------------------------------------
// The terminal

TTerminal::TTerminal(bool AFullScreen) : Block(AFullScreen) {
    if (isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &Saved) == 0) {
        // Single keys, not echoed; Ctrl-C still interrupts.
        termios Raw = Saved;
        Raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        Raw.c_cc[VMIN] = 0;
        Raw.c_cc[VTIME] = 0;
        Keys = tcsetattr(STDIN_FILENO, TCSANOW, &Raw) == 0;
    }
    Screen = isatty(STDOUT_FILENO) == 1;
    FullScreen = AFullScreen && Screen;
    if (std::setlocale(LC_CTYPE, "")) {
        const char* Codeset = nl_langinfo(CODESET);
        Unicode = Codeset && (std::strcmp(Codeset, "UTF-8") == 0 || std::strcmp(Codeset, "utf8") == 0);
    }
    if (!Screen) return;
    // The cursor hidden while lines change under it; the pattern view on the
    // alternate screen, which gives back what was there when it goes.
    Write(FullScreen ? "\033[?1049h\033[H\033[2J\033[?25l" : "\033[?25l");
}

TTerminal::~TTerminal() {
    if (Screen) {
        if (FullScreen)
            Write("\033[?1049l");
        else
            EndBlock();
        Write("\033[?25h");
    }
    if (Keys) tcsetattr(STDIN_FILENO, TCSANOW, &Saved);
    for (const auto& Line : Reports) ReportError(Line.first, Line.second);
}

void TTerminal::Report(const std::string& What, const std::string& Why) {
    if (FullScreen)
        Reports.emplace_back(What, Why);
    else
        ReportError(What, Why);
}

void TTerminal::Write(const std::string& Text) {
    if (Text.empty()) return;
    std::fwrite(Text.data(), 1, Text.size(), stdout);
    std::fflush(stdout);
}

void TTerminal::Size(int& Width, int& Height) const {
    winsize Window{};
    const bool Known = ioctl(STDOUT_FILENO, TIOCGWINSZ, &Window) == 0 && Window.ws_col > 0 && Window.ws_row > 0;
    Width = Known ? Window.ws_col : 80;
    Height = Known ? Window.ws_row : 24;
}

bool TTerminal::ReadKeys(int Ms, std::string& Bytes) {
    if (!Keys) {
        std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
        return false;
    }
    pollfd In{STDIN_FILENO, POLLIN, 0};
    if (poll(&In, 1, Ms) <= 0) return false;
    char Buffer[64];
    bool Any = false;
    ssize_t Count;
    while ((Count = read(STDIN_FILENO, Buffer, sizeof(Buffer))) > 0) {
        Bytes.append(Buffer, static_cast<size_t>(Count));
        Any = true;
    }
    return Any;
}

void TTerminal::Show(const std::vector<TScreenLine>& Lines, int Width, int Height) {
    if (Screen) Write(Block.Show(Lines, Width, Height));
}

void TTerminal::EndBlock() {
    if (Screen) Write(Block.End());
}

// ---------------------------------------------------------------------------
// The block of lines

std::string TScreenBlock::Show(const std::vector<TScreenLine>& Lines, int Width, int Height) {
    const size_t Most = static_cast<size_t>(std::max(FullScreen ? Height : Height - 1, 1));
    std::vector<TScreenLine> Fitted(Lines.begin(), Lines.begin() + static_cast<long>(std::min(Lines.size(), Most)));
    for (TScreenLine& Line : Fitted) {
        Line.Text = FitToWidth(Line.Text, Width);
        // A highlighted line is a bar across the whole width.
        if (Line.Highlight) Line.Text += std::string(static_cast<size_t>(std::max(Width - 1 - Columns(Line.Text), 0)), ' ');
    }
    auto Text = [](const TScreenLine& Line) { return Line.Highlight ? "\033[7m" + Line.Text + "\033[0m" : Line.Text; };
    auto Row = [](size_t Line) { return "\033[" + std::to_string(Line + 1) + ";1H"; };
    std::string Out;
    const bool Anew = Blank || Width != DrawnWidth || Height != DrawnHeight ||
                      (!FullScreen && Fitted.size() != Drawn.size());
    if (Anew && FullScreen) {
        Out = "\033[H\033[2J";
        for (size_t i = 0; i < Fitted.size(); ++i) Out += Row(i) + Text(Fitted[i]);
    } else if (Anew) {
        // From the block's first line down everything goes, the lines are
        // written, and the cursor goes back to the first.
        Out = "\r\033[J";
        for (size_t i = 0; i < Fitted.size(); ++i) Out += (i ? "\n" : "") + Text(Fitted[i]);
        Out += "\r";
        if (Fitted.size() > 1) Out += "\033[" + std::to_string(Fitted.size() - 1) + "A";
    } else {
        for (size_t i = 0; i < Fitted.size(); ++i) {
            if (i < Drawn.size() && Fitted[i] == Drawn[i]) continue;
            if (FullScreen) {
                Out += Row(i) + "\033[K" + Text(Fitted[i]);
            } else {
                const std::string Lines = std::to_string(i);
                Out += (i ? "\033[" + Lines + "B" : "") + "\r\033[K" + Text(Fitted[i]) + "\r" +
                       (i ? "\033[" + Lines + "A" : "");
            }
        }
        // Lines the block no longer has are cleared.
        for (size_t i = Fitted.size(); i < Drawn.size(); ++i) Out += Row(i) + "\033[K";
    }
    Drawn = Fitted;
    DrawnWidth = Width;
    DrawnHeight = Height;
    Blank = false;
    return Out;
}

std::string TScreenBlock::End() {
    if (Blank) return "";
    std::string Out;
    // Inline, below the block's last line.
    if (!FullScreen) Out = (Drawn.size() > 1 ? "\033[" + std::to_string(Drawn.size() - 1) + "B" : "") + "\n";
    Drawn.clear();
    Blank = true;
    return Out;
}

}  // namespace quavix_cli
