// What part of a song the command line chooses: the channels heard (--mute,
// --solo) and the order position it starts at (--start).
#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "cli.h"
#include "player/quavix.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

// A channel number from 1 at the start of Text; false when there is none or
// it is beyond any song.
bool ReadNumber(const std::string& Text, size_t& At, int32_t& Number) {
    const size_t Start = At;
    int64_t Value = 0;
    while (At < Text.size() && Text[At] >= '0' && Text[At] <= '9' && Value <= TQuavixModule::MaxChannels)
        Value = Value * 10 + (Text[At++] - '0');
    Number = static_cast<int32_t>(Value);
    return At > Start && Value >= 1 && Value <= TQuavixModule::MaxChannels;
}

}  // namespace

bool ParseChannelList(const std::string& Text, std::vector<int32_t>& Channels, std::string& Reason) {
    Channels.clear();
    size_t At = 0;
    for (;;) {
        int32_t First, Last;
        if (!ReadNumber(Text, At, First)) break;
        Last = First;
        if (At < Text.size() && Text[At] == '-') {
            ++At;
            if (!ReadNumber(Text, At, Last) || Last < First) break;
        }
        for (int32_t Channel = First; Channel <= Last; ++Channel) Channels.push_back(Channel);
        if (At == Text.size()) return true;
        if (Text[At++] != ',') break;
    }
    Reason = "'" + Text + "' is no channel list: give channels from 1 to " +
             std::to_string(TQuavixModule::MaxChannels) + " and ranges, such as 1,3-5";
    return false;
}

bool TChannelChoice::MutedIn(int32_t Count, std::vector<bool>& Muted, std::string& Reason) const {
    Muted.assign(static_cast<size_t>(std::max(Count, 0)), !Solo.empty());
    for (const std::string* List : {&Solo, &Mute}) {
        if (List->empty()) continue;
        std::vector<int32_t> Channels;
        if (!ParseChannelList(*List, Channels, Reason)) return false;
        for (int32_t Channel : Channels) {
            if (Channel > Count) {
                Reason = std::string(List == &Solo ? "--solo " : "--mute ") + *List + ": channel " +
                         std::to_string(Channel) + " is beyond the song's " + std::to_string(Count) + " channel" +
                         (Count == 1 ? "" : "s");
                return false;
            }
            // Solo lists the channels heard; mute takes channels away.
            Muted[static_cast<size_t>(Channel - 1)] = List == &Mute;
        }
    }
    return true;
}

void ApplyMutes(TQuavix& Player, const std::vector<bool>& Muted) {
    for (int32_t i = 0; i < TQuavixModule::MaxChannels; ++i)
        Player.SetChannelMuted(i, static_cast<size_t>(i) < Muted.size() && Muted[static_cast<size_t>(i)]);
}

bool TSubsongChoice::Pick(const std::vector<TSubsong>& Found, std::vector<size_t>& Picked, std::string& Reason) const {
    Picked.clear();
    if (!Given()) {
        Picked.push_back(0);
        return true;
    }
    if (All()) {
        for (size_t i = 0; i < Found.size(); ++i) Picked.push_back(i);
        return true;
    }
    const size_t Number = static_cast<size_t>(std::stoi(Text));
    if (Number >= 1 && Number <= Found.size()) {
        Picked.push_back(Number - 1);
        return true;
    }
    Reason = "--subsong " + Text + " is beyond the song, which holds " +
             (Found.size() == 1 ? std::string("one song") : std::to_string(Found.size()) + " subsongs");
    return false;
}

void AddSongChoice(CLI::App& Command, TChannelChoice& Channels, int32_t& Start, TSubsongChoice& Subsong) {
    const CLI::Validator ListCheck(
        [](std::string& Text) {
            std::vector<int32_t> Numbers;
            std::string Reason;
            return ParseChannelList(Text, Numbers, Reason) ? std::string() : Reason;
        },
        "");
    CLI::Option* StartOption = Command.add_option("--start", Start, "start at order position ORDER (from 0)")
                                   ->type_name("ORDER")
                                   ->transform(NumberCheck(0, TQuavixModule::MaxOrders - 1, "", true));
    // A song holds at most one subsong per order position.
    Command
        .add_option("--subsong", Subsong.Text,
                    "play subsong N (from 1) of songs that hold several, or all of them in turn")
        ->type_name("N|all")
        ->transform(CLI::Validator(
            [Number = NumberCheck(1, TQuavixModule::MaxOrders, "", true)](std::string& Text) {
                if (Text == "all" || Number(Text).empty()) return std::string();
                return Text + " is neither all nor a subsong number: give all, or 1 to " +
                       std::to_string(TQuavixModule::MaxOrders);
            },
            ""))
        ->excludes(StartOption);
    Command.add_option("--mute", Channels.Mute, "silence these channels (from 1), e.g. 1,3-5")
        ->type_name("LIST")
        ->check(ListCheck);
    Command.add_option("--solo", Channels.Solo, "hear only these channels")->type_name("LIST")->check(ListCheck);
}

std::string StartProblem(int32_t StartOrder, int32_t SongLength) {
    if (StartOrder < SongLength) return "";
    return "--start " + std::to_string(StartOrder) + " is beyond the song, whose order positions run from 0 to " +
           std::to_string(SongLength - 1);
}

}  // namespace quavix_cli
