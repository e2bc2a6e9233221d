// Small songs written with the module writer, loaded and played tick by
// tick, with one value of the song's state read after every tick.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "sequencer/channel.h"
#include "song/module.h"
#include "support/case_names.h"
#include "support/module_writer.h"

namespace quavix_song_test {

using quavix_test::At;
using quavix_test::Fx;
using quavix_test::Note;
using quavix_test::TPlacedCell;
using quavix_test::TXmSong;

using TProbe = std::function<int32_t(const TQuavixModule&)>;

// A field of pattern channel C.
template <typename T>
TProbe Of(T TQuavixChannelState::*Field, int32_t C = 0) {
    return [Field, C](const TQuavixModule& M) { return static_cast<int32_t>((*M.Channels[C]).*Field); };
}
// The row played, as order * 1000 + row.
inline int32_t Playing(const TQuavixModule& M) { return M.PlayingOrder * 1000 + M.PlayingRow; }
inline int32_t ActiveFadeChannels(const TQuavixModule& M) {
    int32_t Count = 0;
    for (const auto& C : M.FadeChannels) Count += C->Active ? 1 : 0;
    return Count;
}

// Each value repeated Times times (a row's ticks); a whole run repeated.
inline std::vector<int32_t> Each(std::vector<int32_t> Values, int32_t Times) {
    std::vector<int32_t> Result;
    for (int32_t V : Values) Result.insert(Result.end(), Times, V);
    return Result;
}
inline std::vector<int32_t> Cycle(const std::vector<int32_t>& Values, int32_t Times) {
    std::vector<int32_t> Result;
    for (int32_t i = 0; i < Times; ++i) Result.insert(Result.end(), Values.begin(), Values.end());
    return Result;
}
inline std::vector<int32_t> Join(std::vector<int32_t> A, const std::vector<int32_t>& B) {
    A.insert(A.end(), B.begin(), B.end());
    return A;
}

// A song, what to read after each tick, and the values expected from the
// song's first tick on.
struct TTickCase : quavix_test::TNamedCase {
    TXmSong Song;
    TProbe Probe;
    std::vector<int32_t> Expected;
};

// Song patterns of Rows rows; instrument 1 plays a looping sample of 64
// frames at volume 40 and the centre panning.
inline TXmSong MakeSong(std::vector<TPlacedCell> Cells, int32_t Speed = 6, int32_t Rows = 8,
                        uint16_t Channels = 1) {
    TXmSong Song;
    Song.Channels = Channels;
    Song.Speed = static_cast<uint16_t>(Speed);
    Song.Orders = {0};
    Song.Patterns.push_back({Rows, std::move(Cells)});
    std::vector<int32_t> Wave;
    for (int32_t i = 0; i < 64; ++i) Wave.push_back(i < 32 ? 50 : -50);
    quavix_test::TXmSample Sample = quavix_test::Sample8(Wave);
    Sample.Loop = quavix_test::TLoop::Forward;
    Sample.LoopLength = 64;
    Sample.Volume = 40;
    Song.Instruments.push_back(quavix_test::Instrument("lead", Sample));
    return Song;
}

// Loads a written file into Module and rewinds it as the player does
// before playing.
inline ::testing::AssertionResult LoadRewound(TQuavixModule& Module, const quavix_test::TBytes& File) {
    const TQuavixLoadResult Result = quavix_test::LoadBytes(Module, File);
    if (!Result) return ::testing::AssertionFailure() << Result.Reason;
    Module.SampleRate = 44100;
    Module.TickLength = 882;
    Module.ResetPlayback();
    return ::testing::AssertionSuccess();
}

// Plays Ticks ticks, reading Probe after each.
inline std::vector<int32_t> PlayTicks(TQuavixModule& Module, int32_t Ticks, const TProbe& Probe) {
    std::vector<int32_t> Values;
    for (int32_t t = 0; t < Ticks; ++t) {
        Module.ProcessTick();
        Values.push_back(Probe(Module));
    }
    return Values;
}

// A written file played from its start for Ticks ticks, Probe read after each.
inline std::vector<int32_t> PlayFile(const quavix_test::TBytes& File, int32_t Ticks, const TProbe& Probe) {
    TQuavixModule Module{nullptr};
    EXPECT_TRUE(LoadRewound(Module, File));
    return PlayTicks(Module, Ticks, Probe);
}

// Each value repeated its count of times: {{40, 6}, {39, 6}}.
inline std::vector<int32_t> Runs(std::initializer_list<std::pair<int32_t, int32_t>> List) {
    std::vector<int32_t> Values;
    for (const auto& [Value, Times] : List) Values.insert(Values.end(), static_cast<size_t>(Times), Value);
    return Values;
}

class SongTest : public ::testing::Test {
protected:
    TQuavixModule Module{nullptr};

    // Loads the song and rewinds it as the player does before playing.
    void Load(const TXmSong& Song) { LoadFile(quavix_test::WriteXm(Song)); }
    void LoadFile(const quavix_test::TBytes& File) { ASSERT_TRUE(LoadRewound(Module, File)); }

    std::vector<int32_t> Play(int32_t Ticks, const TProbe& Probe) { return PlayTicks(Module, Ticks, Probe); }
};

// A written file of either format, what to read after each tick, and the
// values expected from the song's first tick on; shown as its name.
struct TFileCase : quavix_test::TNamedCase {
    quavix_test::TBytes File;
    TProbe Probe;
    std::vector<int32_t> Expected;
};
inline std::string FileCaseName(const ::testing::TestParamInfo<TFileCase>& Info) { return Info.param.Name; }

// A pattern-format song of the cells, at speed 4 (set on the first row, in
// channel 4) and with SmallMod's one sample.
inline quavix_test::TModSong ModAtSpeedFour(std::vector<quavix_test::TModPlacedCell> Cells) {
    quavix_test::TModSong Song = quavix_test::SmallMod();
    Cells.push_back(quavix_test::ModAt(0, 3, 0, 0, 0xF, 4));
    Song.Patterns[0].Cells = std::move(Cells);
    return Song;
}

// The first pattern channel's sample position in whole frames.
inline int32_t Frames(const TQuavixModule& M) { return M.Channels[0]->Position >> 12; }

// One tick case as a test of its own: the song played for as many ticks as
// values are expected.
class TickCaseTest : public SongTest, public ::testing::WithParamInterface<TTickCase> {
protected:
    void Check() {
        const TTickCase& T = GetParam();
        Load(T.Song);
        EXPECT_EQ(Play(static_cast<int32_t>(T.Expected.size()), T.Probe), T.Expected);
    }
};

// One file case as a test of its own.
class FileCaseTest : public SongTest, public ::testing::WithParamInterface<TFileCase> {
protected:
    void Check() {
        LoadFile(GetParam().File);
        EXPECT_EQ(Play(static_cast<int32_t>(GetParam().Expected.size()), GetParam().Probe), GetParam().Expected);
    }
};

}  // namespace quavix_song_test
