// quavix play's logic without a terminal: the keys a terminal sends, what
// they do to a playing song, and the channel lists of --mute and --solo.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "play_control.h"
#include "player/quavix.h"
#include "support/case_names.h"
#include "support/module_writer.h"

using namespace quavix_test;
using quavix_cli::TPlayAction;
using quavix_cli::TPlayKey;
using quavix_cli::TPlayOutcome;

namespace {

std::string Spell(const std::vector<TPlayKey>& Keys) {
    static const char* Names[] = {"quit", "pause", "next-order", "previous-order", "next-file", "previous-file",
                                  "mute",  "unmute-all", "louder", "quieter", "help"};
    std::string Text;
    for (const TPlayKey& Key : Keys) {
        Text += (Text.empty() ? "" : " ") + std::string(Names[static_cast<int>(Key.Action)]);
        if (Key.Action == TPlayAction::ToggleMute) Text += std::to_string(Key.Channel + 1);
    }
    return Text;
}

struct TKeysCase : quavix_test::TNamedCase {
    std::string Bytes;  // one read; "|" splits it into two reads
    std::string Keys;   // after the reads and a pause
};

std::vector<TKeysCase> KeysCases() {
    return {
        {"q quits", "q", "quit"},
        {"Esc alone quits once nothing follows", "\033", "quit"},
        {"letters pause, seek and change files", " fbnp", "pause next-order previous-order next-file previous-file"},
        {"arrows seek and change files", "\033[C\033[D\033[A\033[B",
         "next-order previous-order next-file previous-file"},
        {"an arrow in the terminal's application mode", "\033OC", "next-order"},
        {"a sequence split between two reads", "\033[|C", "next-order"},
        {"digits mute channels and an exclamation mark unmutes all", "190!", "mute1 mute9 mute10 unmute-all"},
        {"plus, equals and minus set the volume, h and a question mark ask for help", "+=-h?",
         "louder louder quieter help help"},
        {"keys with modifiers, Delete and others mean nothing", "\033[1;5C\033[3~x", ""},
        {"Esc, then q", "\033q", "quit quit"},
    };
}

class PlayKeysTerminalBytesBecomeKeys : public ::testing::TestWithParam<TKeysCase> {};

TEST_P(PlayKeysTerminalBytesBecomeKeys, TerminalBytesBecomeKeys) {
    const TKeysCase& Case = GetParam();
    quavix_cli::TKeyDecoder Decoder;
    std::vector<TPlayKey> Keys;
    size_t Start = 0;
    for (size_t Bar; (Bar = Case.Bytes.find('|', Start)) != std::string::npos; Start = Bar + 1)
        Decoder.Feed(Case.Bytes.data() + Start, Bar - Start, Keys);
    Decoder.Feed(Case.Bytes.data() + Start, Case.Bytes.size() - Start, Keys);
    Decoder.Idle(Keys);
    EXPECT_EQ(Spell(Keys), Case.Keys) << Case.Bytes;
}
INSTANTIATE_TEST_SUITE_P(PlayKeys, PlayKeysTerminalBytesBecomeKeys, ::testing::ValuesIn(KeysCases()),
                         quavix_test::TCaseName());

struct TChannelListCase : quavix_test::TNamedCase {
    std::string Mute, Solo;
    int32_t Channels;
    std::string Muted;  // one letter per channel, m muted; or the start of the reason
};

std::vector<TChannelListCase> ChannelListCases() {
    return {
        {"--mute of a channel and a range", "1,3-5", "", 6, "m-mmm-"},
        {"--mute of one channel", "2", "", 2, "-m"},
        {"--solo mutes the others", "", "2,4", 4, "m-m-"},
        {"heard: the solo channels less the muted", "4", "2-4", 5, "m--mm"},
        {"--mute beyond the song", "5", "", 4, "--mute 5: channel 5 is beyond the song's 4 channels"},
        {"--solo beyond a song of one channel", "", "1-2", 1, "--solo 1-2: channel 2 is beyond the song's 1 channel"},
        {"channel 0 is no list", "0", "", 4, "'0' is no channel list"},
        {"a falling range is no list", "3-1", "", 4, "'3-1' is no channel list"},
        {"a comma at the end is no list", "1,", "", 4, "'1,' is no channel list"},
        {"a letter is no list", "a", "", 4, "'a' is no channel list"},
        {"channel 257 is no list", "257", "", 4, "'257' is no channel list"},
    };
}

class ChannelListsListsGiveTheMutedChannelsOfASong : public ::testing::TestWithParam<TChannelListCase> {};

TEST_P(ChannelListsListsGiveTheMutedChannelsOfASong, ListsGiveTheMutedChannelsOfASong) {
    const TChannelListCase& Case = GetParam();
    quavix_cli::TChannelChoice Choice;
    Choice.Mute = Case.Mute;
    Choice.Solo = Case.Solo;
    std::vector<bool> Muted;
    std::string Reason;
    std::string Got;
    if (Choice.MutedIn(Case.Channels, Muted, Reason))
        for (bool M : Muted) Got += M ? 'm' : '-';
    else
        Got = Reason.substr(0, Case.Muted.size());
    EXPECT_EQ(Got, Case.Muted) << "mute " << Case.Mute << ", solo " << Case.Solo << ": " << Reason;
}
INSTANTIATE_TEST_SUITE_P(ChannelLists, ChannelListsListsGiveTheMutedChannelsOfASong,
                         ::testing::ValuesIn(ChannelListCases()), quavix_test::TCaseName());

// A playing song on an offline player, rendered by hand: 4 channels, orders
// 0 to 2 of 4 rows at speed 1 (882 frames a row, one row a render).
class PlayControl : public ::testing::Test {
protected:
    void SetUp() override {
        TXmSong Song = SmallXm();
        Song.Channels = 4;
        Song.Speed = 1;
        Song.Orders = {0, 1, 2};
        Song.Patterns = {TXmPattern(4, {}), TXmPattern(4, {}), TXmPattern(4, {})};
        Data = WriteXm(Song);
        Player = std::make_unique<TQuavix>(TQuavixSettings::Offline(44100, 882));
        ASSERT_TRUE(LoadBytes(*Player->Module, Data));
        Times = quavix_cli::MeasureSongTimes(Data, 44100, 1);
    }

    void Render(int32_t Rows) {
        std::vector<uint8_t> Out(static_cast<size_t>(Player->OutputBufferBytes));
        for (int32_t i = 0; i < Rows; ++i) Player->Render(Out.data());
    }

    TBytes Data;
    std::unique_ptr<TQuavix> Player;
    quavix_cli::TSongTimes Times;
    quavix_cli::TPlayVolume Volume;
};

TEST_F(PlayControl, KeysSeekMuteAndSetTheVolume) {
    EXPECT_EQ(Times.Total, 12 * 882);
    EXPECT_EQ(Times.OrderStarts[2], 8 * 882);
    quavix_cli::TPlayControl Control(*Player, Times, 1, 0, {false, false, true, false}, 0, Volume);
    ASSERT_TRUE(Control.Start());
    EXPECT_TRUE(Player->ChannelMuted(2));
    Render(2);
    struct TStep {
        TPlayKey Key;
        int32_t Order;      // shown after the key and one render
        int64_t Elapsed;    // song time then
        std::string Muted;  // the four channels
        int32_t Volume;     // the module's master volume
    } Steps[] = {
        {{TPlayAction::NextOrder}, 1, 5 * 882, "--m-", 128},
        {{TPlayAction::NextOrder}, 2, 9 * 882, "--m-", 128},
        {{TPlayAction::NextOrder}, 2, 10 * 882, "--m-", 128},  // no order after the last
        {{TPlayAction::PreviousOrder}, 1, 5 * 882, "--m-", 128},
        {{TPlayAction::PreviousOrder}, 0, 1 * 882, "--m-", 128},
        {{TPlayAction::PreviousOrder}, 0, 1 * 882, "--m-", 128},  // the first again, from its start
        {{TPlayAction::ToggleMute, 1}, 0, 2 * 882, "-mm-", 128},
        {{TPlayAction::ToggleMute, 9}, 0, 3 * 882, "-mm-", 128},  // a channel the song lacks
        {{TPlayAction::UnmuteAll}, 0, 4 * 882, "----", 128},  // the --mute channel too
        {{TPlayAction::VolumeUp}, 1, 5 * 882, "----", 140},
        {{TPlayAction::VolumeDown}, 1, 6 * 882, "----", 128},
    };
    for (const TStep& Step : Steps) {
        EXPECT_EQ(Control.Handle(Step.Key), TPlayOutcome::Playing);
        Render(1);
        const std::string Name = "after key " + std::to_string(static_cast<int>(Step.Key.Action));
        EXPECT_EQ(Control.Order(), Step.Order) << Name;
        EXPECT_EQ(Control.Elapsed(), Step.Elapsed) << Name;
        std::string Muted;
        for (int32_t c = 0; c < 4; ++c) Muted += Player->ChannelMuted(c) ? 'm' : '-';
        EXPECT_EQ(Muted, Step.Muted) << Name;
        EXPECT_EQ(Player->Module->MasterVolume, Step.Volume) << Name;
    }
    for (int i = 0; i < 4; ++i) Volume.Down();
    EXPECT_EQ(Volume.Percent, 60);
    for (int i = 0; i < 30; ++i) Volume.Up();
    EXPECT_EQ(Volume.MasterVolume(), 256);

    // A paused song stands still and does not end.
    Control.Handle({TPlayAction::Pause});
    EXPECT_TRUE(Control.Paused());
    const int64_t Held = Control.Elapsed();
    Render(40);
    EXPECT_EQ(Control.Elapsed(), Held);
    EXPECT_EQ(Control.Check(), TPlayOutcome::Playing);
    Control.Handle({TPlayAction::Pause});
    Render(40);
    EXPECT_EQ(Control.Check(), TPlayOutcome::Ended);

    EXPECT_EQ(Control.Handle({TPlayAction::Quit}), TPlayOutcome::Quit);
    EXPECT_EQ(Control.Handle({TPlayAction::NextFile}), TPlayOutcome::NextFile);
    EXPECT_EQ(Control.Handle({TPlayAction::PreviousFile}), TPlayOutcome::PreviousFile);
}

TEST_F(PlayControl, AStartOrderBeginsThereWithItsSongTime) {
    quavix_cli::TPlayControl Control(*Player, Times, 1, 0, {}, 1, Volume);
    ASSERT_TRUE(Control.Start());
    Render(1);
    EXPECT_EQ(Player->PlayedOrderPosition(), 1);
    EXPECT_EQ(Control.Elapsed(), 5 * 882);
    // Orders 1 and 2 play, then the song is back at order 0: its end.
    Render(7);
    EXPECT_EQ(Control.Check(), TPlayOutcome::Playing);
    Render(3);
    EXPECT_EQ(Control.Check(), TPlayOutcome::Ended);
}

}  // namespace
