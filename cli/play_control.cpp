#include "play_control.h"

#include <algorithm>
#include <cmath>

#include "cli.h"
#include "player/quavix.h"
#include "song/module.h"

namespace quavix_cli {

std::vector<std::string> KeyHelp() {
    return {
        "space      pause or resume",
        "f, right   next order          b, left   previous order",
        "n, up      next file           p, down   previous file",
        "1-9, 0     mute or unmute channels 1 to 10     ! unmute all",
        "+, -       master volume up, down",
        "h, ?       this list           q, Esc    quit",
    };
}

namespace {

// The key of one plain byte; false for bytes that mean nothing.
bool PlainKey(char Byte, TPlayKey& Key) {
    switch (Byte) {
        case 'q': case 'Q': case '\033': Key.Action = TPlayAction::Quit; return true;
        case ' ': Key.Action = TPlayAction::Pause; return true;
        case 'f': Key.Action = TPlayAction::NextOrder; return true;
        case 'b': Key.Action = TPlayAction::PreviousOrder; return true;
        case 'n': Key.Action = TPlayAction::NextFile; return true;
        case 'p': Key.Action = TPlayAction::PreviousFile; return true;
        case '!': Key.Action = TPlayAction::UnmuteAll; return true;
        // '=' shares the key of '+' on most keyboards.
        case '+': case '=': Key.Action = TPlayAction::VolumeUp; return true;
        case '-': Key.Action = TPlayAction::VolumeDown; return true;
        case 'h': case '?': Key.Action = TPlayAction::Help; return true;
        default: break;
    }
    if (Byte >= '0' && Byte <= '9') {
        Key.Action = TPlayAction::ToggleMute;
        Key.Channel = Byte == '0' ? 9 : Byte - '1';
        return true;
    }
    return false;
}

}  // namespace

void TKeyDecoder::Feed(const char* Bytes, size_t Count, std::vector<TPlayKey>& Keys) {
    for (size_t i = 0; i < Count; ++i) {
        const char Byte = Bytes[i];
        if (!Pending.empty()) {
            if (Pending.size() == 1 && (Byte == '[' || Byte == 'O')) {
                Pending += Byte;
                continue;
            }
            if (Pending.size() == 1) {
                // Esc followed by another key: Esc itself, then that key.
                Keys.push_back({TPlayAction::Quit, 0});
                Pending.clear();
            } else {
                // The final byte of a sequence: a letter or '~'. Parameters
                // (digits, ';') come before it; only arrows mean something.
                if ((Byte >= '0' && Byte <= '9') || Byte == ';') {
                    if (Pending.size() < 16) Pending += Byte;
                    continue;
                }
                const bool Plain = Pending.size() == 2;
                Pending.clear();
                if (!Plain) continue;  // a modified key: ignored
                switch (Byte) {
                    case 'A': Keys.push_back({TPlayAction::NextFile, 0}); break;
                    case 'B': Keys.push_back({TPlayAction::PreviousFile, 0}); break;
                    case 'C': Keys.push_back({TPlayAction::NextOrder, 0}); break;
                    case 'D': Keys.push_back({TPlayAction::PreviousOrder, 0}); break;
                    default: break;
                }
                continue;
            }
        }
        if (Byte == '\033') {
            Pending = Byte;
            continue;
        }
        TPlayKey Key;
        if (PlainKey(Byte, Key)) Keys.push_back(Key);
    }
}

void TKeyDecoder::Idle(std::vector<TPlayKey>& Keys) {
    if (Pending.size() == 1) Keys.push_back({TPlayAction::Quit, 0});
    Pending.clear();
}

TSongTimes MeasureSongTimes(const std::vector<uint8_t>& Data, int32_t Rate, int32_t Passes, int32_t From) {
    TSongTimes Times;
    const std::vector<int64_t> Ends = MeasureSong(Data, Rate, Passes, From, &Times.OrderStarts);
    if (static_cast<int32_t>(Ends.size()) == Passes) Times.Total = Ends.back();
    return Times;
}

TPlayControl::TPlayControl(TQuavix& APlayer, const TSongTimes& ATimes, int32_t Passes, double Seconds,
                           const std::vector<bool>& AMuted, int32_t AStartOrder, TPlayVolume& AVolume)
    : Player(APlayer), Times(ATimes), ChannelsMuted(AMuted), StartOrder(AStartOrder), Volume(AVolume) {
    if (Seconds > 0) SecondsFrames = std::max<int64_t>(std::llround(Seconds * Player.SampleRate()), 1);
    ChannelsMuted.resize(static_cast<size_t>(std::clamp(Player.Module->NumChannels, 0, TQuavixModule::MaxChannels)));
    Watch.Start(Passes);
}

TPlayControl::~TPlayControl() {
    // The audio thread is idle once Stop returns; only then may the watch go.
    Player.Stop();
    Player.SetSongEnd(nullptr);
}

bool TPlayControl::Start() {
    ApplyMutes(Player, ChannelsMuted);
    Player.Module->MasterVolume = Volume.MasterVolume();
    if (SecondsFrames == 0) Player.SetSongEnd(&Watch);
    if (StartOrder > 0) Player.RequestSeek(StartOrder, OrderTime(StartOrder));
    return Player.Play();
}

int64_t TPlayControl::OrderTime(int32_t Order) const {
    for (int32_t o = std::min<int32_t>(Order, static_cast<int32_t>(Times.OrderStarts.size()) - 1); o >= 0; --o)
        if (Times.OrderStarts[static_cast<size_t>(o)] >= 0) return Times.OrderStarts[static_cast<size_t>(o)];
    return 0;
}

int32_t TPlayControl::Order() const {
    if (SeekTarget >= 0 && Player.SeekPending()) return SeekTarget;
    return std::max(Player.PlayedOrderPosition(), 0);
}

void TPlayControl::Seek(int32_t Target) {
    if (Target < 0 || Target >= Player.Module->SongLength) return;
    SeekTarget = Target;
    Player.RequestSeek(Target, OrderTime(Target));
}

TPlayOutcome TPlayControl::Handle(const TPlayKey& Key) {
    switch (Key.Action) {
        case TPlayAction::Quit: return TPlayOutcome::Quit;
        case TPlayAction::NextFile: return TPlayOutcome::NextFile;
        case TPlayAction::PreviousFile: return TPlayOutcome::PreviousFile;
        case TPlayAction::Pause:
            IsPaused = !IsPaused;
            if (IsPaused)
                Player.Pause();
            else
                Player.Resume();
            break;
        // At the last order there is no next one; at the first, the previous
        // order is the first again, from its start.
        case TPlayAction::NextOrder: Seek(Order() + 1); break;
        case TPlayAction::PreviousOrder: Seek(std::max(Order() - 1, 0)); break;
        case TPlayAction::ToggleMute:
            // Keys for channels the song does not have do nothing.
            if (Key.Channel >= 0 && static_cast<size_t>(Key.Channel) < ChannelsMuted.size()) {
                const bool Muted = !ChannelsMuted[static_cast<size_t>(Key.Channel)];
                ChannelsMuted[static_cast<size_t>(Key.Channel)] = Muted;
                Player.SetChannelMuted(Key.Channel, Muted);
            }
            break;
        case TPlayAction::UnmuteAll:
            ChannelsMuted.assign(ChannelsMuted.size(), false);
            ApplyMutes(Player, ChannelsMuted);
            break;
        case TPlayAction::VolumeUp:
        case TPlayAction::VolumeDown:
            if (Key.Action == TPlayAction::VolumeUp)
                Volume.Up();
            else
                Volume.Down();
            Player.RequestMasterVolume(Volume.MasterVolume());
            break;
        case TPlayAction::Help: Help = !Help; break;
    }
    return TPlayOutcome::Playing;
}

TPlayOutcome TPlayControl::Check() const {
    // The song's time is the frames rendered; the device plays them a little
    // later, so the end waits two more buffers before stopping.
    const int64_t Latency = static_cast<int64_t>(Player.BufferFrames) * 2;
    const int64_t Played = Player.PlayedFrameCount();
    int64_t Last = static_cast<int64_t>(MaxSongSeconds) * Player.SampleRate();
    if (SecondsFrames > 0) Last = SecondsFrames;
    else if (Watch.StopFrame >= 0) Last = Watch.StopFrame;
    return Played >= Last + Latency ? TPlayOutcome::Ended : TPlayOutcome::Playing;
}

int64_t TPlayControl::Total() const {
    if (SecondsFrames > 0) return SecondsFrames;
    return Times.Total >= 0 ? Times.Total : static_cast<int64_t>(MaxSongSeconds) * Player.SampleRate();
}

int64_t TPlayControl::Elapsed() const {
    if (SecondsFrames > 0) return std::min(Player.PlayedFrameCount(), SecondsFrames);
    return std::min(Player.SongTime(), Total());
}

}  // namespace quavix_cli
