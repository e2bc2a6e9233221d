// Composes the song bundled with Quavix Player, "quavix-default.xm": about
// 45 seconds in A minor over eight channels (kick, snare and hat, bass,
// three pad voices, lead, chip arpeggio). Every sample is synthesised here.
//
//   compose_default_song OUTPUT.xm
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/module_writer.h"

using namespace quavix_test;

namespace {

constexpr double Pi = 3.14159265358979323846;

// Channels.
enum : int32_t { KickChannel, DrumChannel, BassChannel, PadChannel, LeadChannel = 6, ChipChannel };
// Instruments.
enum : int32_t { Bass = 1, Pad, Lead, Kick, Snare, Hat, Chip };

// A reproducible noise source.
class TNoise {
public:
    double Next() {
        State = State * 1664525u + 1013904223u;
        return static_cast<int32_t>(State) / 2147483648.0;
    }

private:
    uint32_t State = 0x51A7u;
};

// Scales a wave of -1..1 to the range of Bits.
std::vector<int32_t> Quantise(const std::vector<double>& Wave, int32_t Bits, double Level = 0.9) {
    double Peak = 1e-9;
    for (double Value : Wave) Peak = std::max(Peak, std::fabs(Value));
    double Full = Bits == 16 ? 32767.0 : 127.0;
    std::vector<int32_t> Points;
    for (double Value : Wave) Points.push_back(static_cast<int32_t>(std::lround(Value / Peak * Level * Full)));
    return Points;
}

// Sum of the first harmonics of a sawtooth, each weighted by Tilt^k / k.
double SoftSaw(double Phase, int32_t Harmonics, double Tilt) {
    double Sum = 0;
    for (int32_t k = 1; k <= Harmonics; ++k) Sum += std::pow(Tilt, k) / k * std::sin(2 * Pi * k * Phase);
    return Sum;
}

// Bass: cycles of 128 frames (C-2 at the sample's own rate, hence +24
// semitones), bright at the start and mellow in the looped last two cycles.
TXmInstrument MakeBass() {
    std::vector<double> Wave;
    for (int32_t i = 0; i < 1024; ++i) {
        double Brightness = i < 768 ? 0.95 - 0.25 * i / 768.0 : 0.7;
        Wave.push_back(SoftSaw(i / 128.0, 12, Brightness));
    }
    TXmSample Sample = Sample16(Quantise(Wave, 16), "bass");
    Sample.Loop = TLoop::Forward;
    Sample.LoopStart = 768;
    Sample.LoopLength = 256;
    Sample.RelativeNote = 24;
    Sample.Volume = 50;
    TXmInstrument Result = Instrument("round bass", Sample);
    Result.VolumeEnvelope.Points = {{0, 64}, {6, 50}, {24, 40}, {60, 34}};
    Result.VolumeEnvelope.SustainPoint = 3;
    Result.FadeOut = 1200;
    return Result;
}

// Pad: stereo, three detuned saws per side with whole cycles in 16384
// frames, so the beating never jumps; a ping-pong loop over most of it.
TXmInstrument MakePad() {
    const int32_t Frames = 16384;
    const double Cycles[2][2] = {{256, 255}, {256, 257}};
    std::vector<double> Wave;
    for (int32_t i = 0; i < Frames; ++i)
        for (int32_t Side = 0; Side < 2; ++Side) {
            double Value = 0.5 * std::sin(2 * Pi * 128.0 * i / Frames);  // an octave below
            for (double Count : Cycles[Side]) Value += SoftSaw(Count * i / Frames, 10, 0.8);
            Wave.push_back(Value);
        }
    TXmSample Sample = Sample16(Quantise(Wave, 16, 0.8), "pad");
    Sample.NumChannels = 2;
    Sample.Loop = TLoop::PingPong;
    Sample.LoopStart = 2048;
    Sample.LoopLength = Frames - 2048;
    Sample.RelativeNote = 12;
    Sample.Volume = 30;
    TXmInstrument Result = Instrument("warm pad", Sample);
    // A slow swell, then a gentle looping breath; the panning drifts.
    Result.VolumeEnvelope.Points = {{0, 0}, {30, 44}, {60, 64}, {100, 52}, {140, 64}};
    Result.VolumeEnvelope.LoopStart = 2;
    Result.VolumeEnvelope.LoopEnd = 4;
    Result.PanningEnvelope.Points = {{0, 32}, {80, 22}, {160, 42}, {240, 32}};
    Result.PanningEnvelope.LoopStart = 0;
    Result.PanningEnvelope.LoopEnd = 3;
    Result.FadeOut = 300;
    return Result;
}

// Lead: two cycles of a rounded square (64 frames each), with auto-vibrato.
TXmInstrument MakeLead() {
    std::vector<double> Wave;
    for (int32_t i = 0; i < 128; ++i) {
        double Phase = i / 64.0;
        double Value = 0;
        for (int32_t k = 1; k <= 15; k += 2) Value += std::pow(0.85, k) / k * std::sin(2 * Pi * k * Phase);
        Wave.push_back(Value + 0.3 * SoftSaw(Phase, 6, 0.9));
    }
    TXmSample Sample = Sample8(Quantise(Wave, 8), "lead");
    Sample.Loop = TLoop::Forward;
    Sample.LoopLength = 128;
    Sample.RelativeNote = 12;
    Sample.Volume = 40;
    Sample.Panning = 112;
    TXmInstrument Result = Instrument("soft lead", Sample);
    Result.VolumeEnvelope.Points = {{0, 0}, {2, 64}, {12, 50}, {40, 44}};
    Result.VolumeEnvelope.SustainPoint = 3;
    Result.FadeOut = 900;
    Result.VibratoType = 0;
    Result.VibratoSweep = 40;
    Result.VibratoDepth = 3;
    Result.VibratoRate = 10;
    return Result;
}

// Chip: a plain 25% pulse of 32 frames, for the arpeggios.
TXmInstrument MakeChip() {
    std::vector<int32_t> Points;
    for (int32_t i = 0; i < 32; ++i) Points.push_back(i < 8 ? 90 : -30);
    TXmSample Sample = Sample8(Points, "pulse");
    Sample.Loop = TLoop::Forward;
    Sample.LoopLength = 32;
    Sample.Volume = 22;
    Sample.Panning = 160;
    TXmInstrument Result = Instrument("chip pulse", Sample);
    Result.VolumeEnvelope.Points = {{0, 64}, {8, 36}, {30, 20}};
    return Result;
}

// Drums are made at twice the base rate (one octave up at C-4).
constexpr double DrumRate = 16726.0;

TXmInstrument Drum(const std::string& Name, const std::vector<double>& Wave, int32_t Volume, int32_t Panning) {
    TXmSample Sample = Sample8(Quantise(Wave, 8, 0.95), Name);
    Sample.RelativeNote = 12;
    Sample.Volume = Volume;
    Sample.Panning = Panning;
    return Instrument(Name, Sample);
}

TXmInstrument MakeKick() {
    std::vector<double> Wave;
    double Phase = 0;
    for (int32_t i = 0; i < static_cast<int32_t>(DrumRate * 0.35); ++i) {
        double t = i / DrumRate;
        Phase += (45 + 110 * std::exp(-t * 28)) / DrumRate;
        Wave.push_back(std::sin(2 * Pi * Phase) * std::exp(-t * 9) + (i < 40 ? 0.3 * (1 - i / 40.0) : 0));
    }
    return Drum("kick", Wave, 64, 128);
}

TXmInstrument MakeSnare() {
    TNoise Noise;
    std::vector<double> Wave;
    for (int32_t i = 0; i < static_cast<int32_t>(DrumRate * 0.22); ++i) {
        double t = i / DrumRate;
        Wave.push_back(0.7 * Noise.Next() * std::exp(-t * 16) + 0.6 * std::sin(2 * Pi * 190 * t) * std::exp(-t * 30));
    }
    return Drum("snare", Wave, 44, 140);
}

TXmInstrument MakeHat() {
    TNoise Noise;
    std::vector<double> Wave;
    double Previous = 0;
    for (int32_t i = 0; i < static_cast<int32_t>(DrumRate * 0.06); ++i) {
        double White = Noise.Next();
        Wave.push_back((White - Previous) * std::exp(-i / DrumRate * 60));  // high-passed
        Previous = White;
    }
    return Drum("hat", Wave, 20, 176);
}

// ---------------------------------------------------------------------------
// A row-per-token notation for writing tracks:
//   "."           empty row
//   "C-5"         note (with the track's instrument); "off" key off
//   "i05"         instrument number, "v30" raw volume-column byte,
//   "e446"        effect command and parameter (4 = vibrato, 0x46)
// parts can follow each other: "D-5i03v40e320".
void Track(TXmPattern& Pattern, int32_t Channel, int32_t FirstRow, int32_t Instrument, const std::string& Text) {
    int32_t Row = FirstRow;
    size_t Pos = 0;
    while (Pos < Text.size()) {
        while (Pos < Text.size() && Text[Pos] == ' ') ++Pos;
        size_t End = Text.find(' ', Pos);
        if (End == std::string::npos) End = Text.size();
        std::string Token = Text.substr(Pos, End - Pos);
        Pos = End;
        if (Token.empty()) continue;
        TCell Cell;
        size_t i = 0;
        if (Token.compare(0, 3, "off") == 0) {
            Cell.Note = KeyOff;
            i = 3;
        } else if (Token.size() >= 3 && Token[0] >= 'A' && Token[0] <= 'G') {
            Cell.Note = Note(Token.substr(0, 3));
            Cell.Instrument = Instrument;
            i = 3;
        } else if (Token == ".") {
            i = 1;
        }
        while (i < Token.size()) {
            char Kind = Token[i];
            if (Kind == 'i') {
                Cell.Instrument = std::stoi(Token.substr(i + 1, 2));
                i += 3;
            } else if (Kind == 'v') {
                Cell.Volume = std::stoi(Token.substr(i + 1, 2), nullptr, 16);
                i += 3;
            } else if (Kind == 'e') {
                Cell.Effect = Fx(Token[i + 1]);
                Cell.Parameter = std::stoi(Token.substr(i + 2, 2), nullptr, 16);
                i += 4;
            } else {
                throw std::invalid_argument("bad token " + Token);
            }
        }
        if (Cell.Note || Cell.Instrument || Cell.Volume || Cell.Effect || Cell.Parameter)
            Pattern.Cells.push_back({Row, Channel, Cell});
        ++Row;
    }
}

struct TChord {
    const char* Bass;
    const char* Pad[3];
    int32_t Arpeggio;  // 0xy: the chord's third and fifth above the root
    const char* Chip;
};

// A minor, F, C, G: sixteen rows each.
const TChord Progression[4] = {
    {"A-1", {"A-3", "C-4", "E-4"}, 0x37, "A-4"},
    {"F-1", {"A-3", "C-4", "F-4"}, 0x47, "F-4"},
    {"C-2", {"G-3", "C-4", "E-4"}, 0x47, "C-5"},
    {"G-1", {"G-3", "B-3", "D-4"}, 0x47, "G-4"},
};

std::string Transpose(const char* Name, int32_t Semitones) {
    static const char* Names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    int32_t Value = Note(Name) - 1 + Semitones;
    return std::string(Names[Value % 12]) + std::to_string(Value / 12);
}

void Pads(TXmPattern& Pattern, bool Pan) {
    static const int32_t Panning[3] = {0x50, 0x80, 0xB0};
    for (int32_t Bar = 0; Bar < 4; ++Bar)
        for (int32_t Voice = 0; Voice < 3; ++Voice) {
            TCell Cell{Note(Progression[Bar].Pad[Voice]), Pad, 0, 0, 0};
            if (Pan && Bar == 0) {
                Cell.Effect = Fx('8');
                Cell.Parameter = Panning[Voice];
            }
            Pattern.Cells.push_back({Bar * 16, PadChannel + Voice, Cell});
        }
}

void BassLine(TXmPattern& Pattern, int32_t FromBar) {
    for (int32_t Bar = FromBar; Bar < 4; ++Bar) {
        const char* Root = Progression[Bar].Bass;
        std::string R = Root, Up = Transpose(Root, 12), Fifth = Transpose(Root, 7);
        Track(Pattern, BassChannel, Bar * 16, Bass,
              R + " . . off " + R + "v30 . " + Up + " . " + R + " . . off " + Fifth + " . " + Up + "v38 .");
    }
}

void Chips(TXmPattern& Pattern, int32_t FromBar, int32_t Volume) {
    for (int32_t Bar = FromBar; Bar < 4; ++Bar)
        for (int32_t Row = 0; Row < 16; ++Row) {
            TCell Cell{0, 0, 0, Fx('0'), Progression[Bar].Arpeggio};
            if (Row % 8 == 0) {
                Cell.Note = Note(Progression[Bar].Chip);
                Cell.Instrument = Chip;
                Cell.Volume = 0x10 + Volume;
            }
            Pattern.Cells.push_back({Bar * 16 + Row, ChipChannel, Cell});
        }
}

void Beat(TXmPattern& Pattern, bool Fill) {
    for (int32_t Bar = 0; Bar < 4; ++Bar) {
        Track(Pattern, KickChannel, Bar * 16, Kick, "C-4 . . . . . . . C-4 . C-4v30 . . . . .");
        if (Fill && Bar == 3)
            Track(Pattern, DrumChannel, Bar * 16, Hat,
                  "C-4 . C-4 . C-4i05 . C-4 . C-4i05 . C-4i05 . C-4i05eE93 eE93 C-4i05eE92 eE92");
        else
            Track(Pattern, DrumChannel, Bar * 16, Hat,
                  "C-4 . C-4v28 . C-4i05 . C-4 C-4v20 C-4 . C-4v28 . C-4i05 . C-4 C-4v24");
    }
}

TXmPattern Intro() {
    TXmPattern Pattern(64, {});
    Pads(Pattern, true);
    Chips(Pattern, 2, 12);
    Track(Pattern, DrumChannel, 32, Hat, "C-4v18 . C-4v20 . C-4v22 . C-4v24 . C-4v26 . C-4v28 . C-4v2C . C-4 .");
    Track(Pattern, DrumChannel, 48, Hat, "C-4 . C-4 . C-4i05 . C-4 . C-4 . C-4 . C-4i05 . C-4i05 C-4i05");
    BassLine(Pattern, 3);
    return Pattern;
}

TXmPattern Groove(const char* Melody, bool Fill) {
    TXmPattern Pattern(64, {});
    Pads(Pattern, false);
    Chips(Pattern, 0, 18);
    Beat(Pattern, Fill);
    BassLine(Pattern, 0);
    // The tempo comes back to 125 when the song restarts after the outro.
    Pattern.Cells.push_back(At(0, KickChannel, Note("C-4"), Kick, 0, Fx('F'), 125));
    if (Melody) Track(Pattern, LeadChannel, 0, Lead, Melody);
    return Pattern;
}

TXmPattern Outro() {
    TXmPattern Pattern(64, {});
    Pads(Pattern, false);
    // The last chord is A minor again, fading out slowly.
    for (int32_t Voice = 0; Voice < 3; ++Voice) {
        Pattern.Cells.push_back(At(48, PadChannel + Voice, Note(Progression[0].Pad[Voice]), Pad));
        for (int32_t Row = 52; Row < 64; ++Row)
            Pattern.Cells.push_back(At(Row, PadChannel + Voice, 0, 0, 0, Fx('A'), 0x01));
    }
    Track(Pattern, BassChannel, 0, Bass, "A-1 . . . . . . . A-1v28 . . . . . . .");
    Track(Pattern, BassChannel, 16, Bass, "F-1 . . . . . . . F-1v28 . . . . . . .");
    Track(Pattern, BassChannel, 32, Bass, "C-2 . . . . . . . G-1 . . . . . . .");
    Track(Pattern, BassChannel, 48, Bass, "A-1 . . . eA02 eA02 eA02 eA02 eA02 eA02 eA02 eA02 off . . .");
    Track(Pattern, KickChannel, 0, Kick, "C-4 . . . . . . . C-4v30 . . . . . . .");
    Track(Pattern, KickChannel, 32, Kick, "C-4eF70 . . . . . . . . . . . . . . .");
    Track(Pattern, KickChannel, 48, Kick, "C-4eF64 . . . . . . . . . . . . . . .");
    Track(Pattern, LeadChannel, 0, Lead,
          "E-5 . . . e446 e400 e400 e400 D-5 . C-5 . . . B-4e308 e300 "
          "C-5 . . . e446 e400 e400 e400 eA02 eA02 eA02 eA02 off . . . "
          ". . . . . . . . G-4v20 . C-5e310 e300 e300 e300 e300 e300 "
          "A-4e308 e300 e300 e300 e448 e400 e400 e400 eA04 eA04 eA04 eA04 off");
    return Pattern;
}

const char* MelodyOne =
    "E-5 . . . e446 e400 e400 e400 D-5 . C-5 . D-5 . E-5 e442 "
    "C-5 . . A-4 . . C-5 . F-5e310 e300 e300 e300 e446 e400 eA02 eA02 "
    "E-5 . G-5 . . . E-5 . D-5 . C-5 . D-5 . E-5 . "
    "D-5 . . . B-4 . . . D-5 . G-5e318 e300 e446 e400 eA03 off";

const char* MelodyTwo =
    "A-5 . . . G-5 . E-5 . . . D-5 . E-5 e446 e400 e400 "
    "F-5 . . . E-5 . C-5 . . . A-4 . C-5 . . . "
    "G-5 . . . E-5 . G-5 . C-6e320 e300 e300 e300 e448 e400 e400 eA04 "
    "B-5 . . . A-5 . G-5 . D-5 . . . B-4e320 e300 eA04 off";

TXmSong Compose() {
    TXmSong Song;
    Song.Title = "Quavix default song";
    Song.Channels = 8;
    Song.Speed = 6;
    Song.Tempo = 125;
    Song.LinearSlides = true;
    Song.Patterns = {Intro(), Groove(nullptr, false), Groove(MelodyOne, false), Groove(MelodyTwo, true), Outro()};
    Song.Orders = {0, 1, 2, 1, 3, 4};
    Song.RestartPosition = 1;
    Song.Instruments = {MakeBass(), MakePad(), MakeLead(), MakeKick(), MakeSnare(), MakeHat(), MakeChip()};
    Song.Chunks.push_back(TextChunk("Quavix default song\rComposed and synthesised in code for Quavix Player."));
    return Song;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xm\n", argv[0]);
        return 2;
    }
    try {
        SaveBytes(argv[1], WriteXm(Compose()));
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], Error.what());
        return 1;
    }
    return 0;
}
