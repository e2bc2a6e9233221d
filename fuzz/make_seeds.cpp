// Writes the seed corpus of the load fuzzer: small valid files of every
// layout and feature the loaders know, and a few cut short or too long.
//
//   quavix_fuzz_seeds DIRECTORY
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support/module_writer.h"

using namespace quavix_test;

namespace {

std::vector<int32_t> Ramp(int32_t Count, int32_t Step) {
    std::vector<int32_t> Points;
    for (int32_t i = 0; i < Count; ++i) Points.push_back(i * Step % 200 - 100);
    return Points;
}

TXmSong RichXm() {
    TXmSong Song = SmallXm();
    Song.Channels = 4;
    Song.Orders = {0, 1, 0};
    Song.RestartPosition = 1;
    Song.Patterns.push_back({16, {At(0, 0, Note("C-4"), 2, 0x40, Fx('4'), 0x46), At(1, 1, KeyOff),
                                  At(2, 2, Note("E-5"), 1, 0xC8, Fx('E'), 0x93), At(3, 3, 0, 0, 0, Fx('Z'), 0x80)}});
    TXmSample Stereo = Sample16(Ramp(64, 700), "stereo");
    Stereo.NumChannels = 2;
    Stereo.Loop = TLoop::PingPong;
    Stereo.LoopStart = 8;
    Stereo.LoopLength = 16;
    Stereo.FineTune = -20;
    Stereo.RelativeNote = -12;
    TXmInstrument Pad = Instrument("pad", Stereo);
    Pad.Samples.push_back(Sample8(Ramp(40, 9), "second"));
    for (int32_t n = 48; n < 96; ++n) Pad.NoteSamples[n] = 1;
    Pad.VolumeEnvelope.Points = {{0, 0}, {10, 64}, {30, 40}, {200, 20}, {44, 10}};
    Pad.VolumeEnvelope.SustainPoint = 2;
    Pad.VolumeEnvelope.LoopStart = 1;
    Pad.VolumeEnvelope.LoopEnd = 3;
    Pad.PanningEnvelope.Points = {{0, 32}, {20, 0}, {40, 64}};
    Pad.PanningEnvelope.LoopStart = 0;
    Pad.PanningEnvelope.LoopEnd = 2;
    Pad.FadeOut = 512;
    Pad.VibratoType = 1;
    Pad.VibratoSweep = 10;
    Pad.VibratoDepth = 4;
    Pad.VibratoRate = 20;
    Song.Instruments.push_back(Pad);
    return Song;
}

std::vector<std::pair<std::string, TBytes>> Seeds() {
    std::vector<std::pair<std::string, TBytes>> Files;
    Files.push_back({"small.xm", WriteXm(SmallXm())});
    Files.push_back({"rich.xm", WriteXm(RichXm())});

    TXmSong Old = RichXm();
    Old.Version = 0x0103;
    Files.push_back({"layout103.xm", WriteXm(Old)});
    Old.Version = 0x0102;
    Files.push_back({"layout102.xm", WriteXm(Old)});

    TXmSong Compressed = SmallXm();
    Compressed.Instruments[0].Samples[0].Adpcm = true;
    Compressed.Instruments.push_back(Instrument("after", Sample8(Ramp(20, 3))));
    Files.push_back({"adpcm.xm", WriteXm(Compressed)});

    TXmSong Chunks = SmallXm();
    Chunks.Chunks = {TextChunk("a song\rmessage"), MidiChunk({{0, "FF"}, {9, "F0F000z"}, {25, "F0F00100"}}),
                     PatternNamesChunk({"intro", "verse"}), ChannelNamesChunk({"left", "right"}),
                     ChannelPluginsChunk({1, 2}), OpaqueChunk("EQFX", TBytes(16, 1)),
                     OpaqueChunk("FX07", TBytes(24, 2)), OpaqueChunk("MODU", TBytes(8, 3)),
                     OpaqueChunk("XTPM", TBytes(4, 4))};
    Files.push_back({"chunks.xm", WriteXm(Chunks)});

    TXmSong Odd = SmallXm();
    Odd.Patterns[0].Unpacked = true;
    Odd.Patterns.push_back({64, {}});
    Odd.Patterns.back().PackedData = TBytes{};  // stored with no data at all
    Odd.Instruments.push_back(TXmInstrument{});  // no samples
    Odd.Orders = {1, 0};
    Odd.Speed = 0;
    Odd.Tempo = 0;
    Odd.ExtendedFilterRange = true;
    Files.push_back({"unpacked.xm", WriteXm(Odd)});

    TModSong Mod = SmallMod();
    Mod.Samples.push_back({"loop", Ramp(100, 5), 15, 48, 10, 20, false, DefaultAdpcmTable, {}});
    Files.push_back({"mk.mod", WriteMod(Mod)});
    Mod.Tag = "OCTA";
    Mod.Channels = 8;
    Files.push_back({"octa.mod", WriteMod(Mod)});
    Mod.Tag = "12CH";
    Mod.Channels = 12;
    Files.push_back({"twelve.mod", WriteMod(Mod)});
    Mod.Tag = "";
    Mod.Channels = 4;
    Files.push_back({"old15.mod", WriteMod(Mod)});

    // Ultimate Soundtracker's form: its tempo byte, its two effects, names
    // of leftover bytes, a loop start in bytes and order entries after the
    // song length that name patterns the file lacks.
    TModSong Ultimate = SmallMod();
    Ultimate.Tag = "";
    Ultimate.Title = std::string("st\r\x01\xff", 5);
    Ultimate.RestartPosition = 120;
    Ultimate.Orders = {0, 1, 0, 90, 200};
    Ultimate.SongLength = 3;
    Ultimate.Patterns[0].Cells = {ModAt(0, 0, Note("C-3"), 1, 1, 0x37), ModAt(1, 1, Note("E-3"), 2, 2, 0x03)};
    Ultimate.Patterns.push_back({{ModAt(2, 3, Note("G-3"), 2, 2, 0x20)}});
    Ultimate.Samples.push_back({std::string("\x7f\x80garbage\r\n", 11), Ramp(120, 7), 0, 64, 50, 20, false,
                                DefaultAdpcmTable, {}});
    Files.push_back({"ultimate15.mod", WriteMod(Ultimate)});

    TModSong Packed = SmallMod();
    Packed.Samples[0].Adpcm = true;
    Packed.Samples[0].Values = Ramp(200, 1);
    Packed.Orders = {0, 1, 0};
    Packed.Patterns.push_back({{ModAt(63, 2, Note("B-6"), 31, 0xF, 0x7D)}});
    Files.push_back({"adpcm.mod", WriteMod(Packed)});

    // Scream Tracker 3: order markers, a panning table, every sample form,
    // an AdLib instrument, effects and a note cut.
    TS3mSong S3m = SmallS3m();
    Files.push_back({"small.s3m", WriteS3m(S3m)});
    S3m.Orders = {0, 254, 1, 255, 0};
    S3m.ChannelSettings = {0, 8, 0x81, 16, 9};
    S3m.DefaultPanning = std::vector<uint8_t>{0x20, 0x2F, 0x07};
    S3m.UnsignedSamples = false;
    S3m.Patterns.push_back({{S3mAt(0, 0, Note("C-5"), 2, 40, 'H', 0x44), S3mAt(1, 1, S3mNoteCut),
                             S3mAt(2, 4, Note("G-3"), 3, -1, 'S', 0xD2), S3mAt(3, 0, 0, 0, -1, 'D', 0x0F),
                             S3mAt(4, 1, 0, 0, -1, 'Q', 0x13), S3mAt(5, 0, 0, 0, -1, 'B', 2),
                             S3mAt(6, 0, Note("C-4"), 2, -1, 'O', 0x80), S3mAt(6, 1, 0, 0, -1, 'S', 0x63),
                             S3mAt(6, 4, 0, 0, -1, 'S', 0xE2), S3mAt(7, 0, Note("E-4"), 0, -1, 'G', 0x20),
                             S3mAt(7, 1, 0, 0, -1, 'K', 0xF1), S3mAt(8, 0, 0, 0, -1, 'L', 0x0F),
                             S3mAt(8, 1, 0, 0, -1, 'U', 0x83), S3mAt(9, 0, 0, 0, -1, 'Y', 0x4F),
                             S3mAt(9, 1, 0, 0, -1, 'Z', 0x40), S3mAt(9, 4, 0, 0, -1, 'S', 0xC1),
                             S3mAt(10, 0, 0, 0, -1, 'E', 0xFF), S3mAt(10, 1, 0, 0, -1, 'J', 0x00)}});
    TS3mInstrument Wide;
    Wide.Bits = 16;
    Wide.NumChannels = 2;
    Wide.Values = Ramp(64, 900);
    Wide.Loop = true;
    Wide.LoopStart = 4;
    Wide.LoopEnd = 30;
    Wide.C2Speed = 22050;
    S3m.Instruments.push_back(Wide);
    TS3mInstrument AdLib;
    AdLib.Type = 2;
    AdLib.Name = "organ";
    S3m.Instruments.push_back(AdLib);
    Files.push_back({"rich.s3m", WriteS3m(S3m)});
    S3m.CutBytes = 50;
    Files.push_back({"cut.s3m", WriteS3m(S3m)});

    // Impulse Tracker: sample mode, then instruments with envelopes and a
    // keyboard, compressed samples of both versions, every volume-column
    // range and the letters.
    TItSong It = SmallIt();
    Files.push_back({"small.it", WriteIt(It)});
    TItSample ItPacked;
    ItPacked.Values = Ramp(3000, 5);
    ItPacked.Compressed = true;
    TItSample ItWide = ItPacked;
    ItWide.Bits = 16;
    ItWide.NumChannels = 2;
    ItWide.DoubleDelta = true;
    ItWide.Values = Ramp(2000, 900);
    ItWide.Loop = ItWide.PingPong = true;
    ItWide.LoopEnd = 700;
    It.Samples.push_back(ItPacked);
    It.Samples.push_back(ItWide);
    TItInstrument Instrument;
    Instrument.NewNoteAction = 1;
    Instrument.FadeOut = 128;
    Instrument.Keyboard.assign(120, 2);
    for (size_t n = 60; n < 120; ++n) Instrument.Keyboard[n] = 3;
    Instrument.VolumeEnvelope.Enabled = Instrument.VolumeEnvelope.Loop = Instrument.VolumeEnvelope.Sustain = true;
    Instrument.VolumeEnvelope.Points = {{0, 64}, {4, 20}, {8, 50}, {30, 0}};
    Instrument.VolumeEnvelope.LoopStart = 1;
    Instrument.VolumeEnvelope.LoopEnd = 2;
    Instrument.VolumeEnvelope.SustainStart = Instrument.VolumeEnvelope.SustainEnd = 1;
    Instrument.PanningEnvelope.Enabled = true;
    Instrument.PanningEnvelope.Points = {{0, -32}, {10, 32}};
    It.Instruments = {Instrument, Instrument};
    It.Instruments[1].NewNoteAction = 3;
    It.Patterns[0].Cells = {ItAt(0, 0, Note("C-4"), 1, 40, 'D', 0x0F), ItAt(1, 0, Note("C-6"), 2, 70, 'E', 0xF2),
                            ItAt(2, 0, ItNoteOff, 0, 90, 'F', 0x10), ItAt(3, 0, Note("E-4"), 1, 110, 'G', 0x20),
                            ItAt(4, 0, ItNoteFade, 0, 150, 'H', 0x44), ItAt(5, 0, ItNoteCut, 0, 200, 'M', 0x30),
                            ItAt(6, 1, Note("G-4"), 2, 205, 'N', 0x0F), ItAt(7, 1, 0, 0, 120, 'P', 0xF1),
                            ItAt(8, 1, 0, 0, -1, 'T', 0x15), ItAt(9, 1, 0, 0, -1, 'W', 0x0F),
                            ItAt(10, 1, 0, 0, -1, 'X', 0xC0), ItAt(11, 1, 0, 0, -1, 'Y', 0x46),
                            ItAt(12, 1, 0, 0, -1, 'S', 0xA1), ItAt(12, 2, Note("C-4"), 1, -1, 'O', 0x10),
                            ItAt(13, 2, 0, 0, -1, 'S', 0x64), ItAt(14, 2, 0, 0, -1, 'C', 0x10)};
    It.Patterns.push_back(TItPattern({ItAt(0, 3, Note("A-4"), 2, -1, 'Q', 0x23)}, 150));
    It.Orders = {0, 254, 1, 255};
    It.Message = "a message";
    Files.push_back({"rich.it", WriteIt(It)});
    It.CutBytes = 300;
    Files.push_back({"cut.it", WriteIt(It)});

    // Files as real players still load them: cut short, declaring more
    // instruments than they hold, or with bytes after the song.
    TXmSong Short = RichXm();
    Short.InstrumentCount = 12;
    Short.CutBytes = 40;
    Files.push_back({"cut.xm", WriteXm(Short)});
    TModSong Trailing = SmallMod();
    Trailing.Tag = "";
    Trailing.ExtraBytes = 71;
    Files.push_back({"trailing15.mod", WriteMod(Trailing)});
    Trailing.Tag = "M.K.";
    Trailing.ExtraBytes = -20;
    Files.push_back({"cut.mod", WriteMod(Trailing)});
    return Files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    std::string Directory = argv[1];
    mkdir(Directory.c_str(), 0777);
    try {
        for (const auto& File : Seeds()) SaveBytes(Directory + "/" + File.first, File.second);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], Error.what());
        return 1;
    }
    return 0;
}
