#include "shell_session.h"

#include <cstdint>
#include <exception>

#include "player/quavix.h"
#include "shell_files.h"

namespace quavix_shell {

// The web and e-mail lines name addresses under the reserved example.org
// domain until the project has addresses of its own; the icon is the
// project's own drawing (quavix-player.svg).
const char* const AboutText =
    "Quavix Player\r\n"
    "Copyright (c) 2010 the Quavix Player developers\r\n"
    "\r\n"
    "Web: http://quavix-player.example.org/\r\n"
    "E-mail: developers@quavix-player.example.org\r\n"
    "\r\n"
    "Program icon drawn by the Quavix Player developers\r\n";

TShellSession::TShellSession() = default;
TShellSession::~TShellSession() = default;

namespace {

// Stop, then destroy. A destructor cannot pass an error on, so only Stop can
// raise one here; it is dropped and the player is destroyed all the same.
void StopAndDestroy(std::unique_ptr<TQuavix>& Player) {
    if (!Player) return;
    try {
        Player->Stop();
    } catch (...) {
    }
    Player.reset();
}

}  // namespace

void StopTrack(TShellSession& Session) { StopAndDestroy(Session.Player); }

std::string OpenTrack(TShellSession& Session, const std::string& FileName) {
    StopAndDestroy(Session.Player);
    try {
        // The folder is remembered even when the file then fails to load.
        Session.LastPath = FolderPart(FileName);
        Session.Player = std::make_unique<TQuavix>(PlayerSampleRate, PlayerBufferFrames, PlayerBufferCount,
                                                   PlayerStereo, PlayerWriterSleepMs, PlayerBits,
                                                   PlayerPrefillBuffers);
        Session.Player->Interpolation = PlayerInterpolation;
        Session.Player->Clipping = PlayerClipping;
        Session.Player->Module->MasterVolume = PlayerMasterVolume;
        if (Session.Player->Module->LoadFromFile(FileName)) {
            // The title is read before the audio thread starts on the song.
            std::string Label = DisplayText(TrackLabel(Session.Player->Module->Name, FileName));
            Session.Player->Play();
            return Label;
        }
        Session.Player.reset();
        return NoTrackLabel;
    } catch (...) {
        StopAndDestroy(Session.Player);
        return NoTrackLabel;
    }
}

std::string TrackLabel(const std::string& Title, const std::string& FileName) {
    return TrimBlanks(Title).empty() ? FilePart(FileName) : Title;
}

namespace {

// Length of the well-formed UTF-8 sequence at Pos, or 0 when there is none
// (no overlong forms, surrogates or code points past Unicode).
size_t Utf8SequenceLength(const std::string& Text, size_t Pos) {
    auto Byte = [&](size_t i) { return static_cast<uint8_t>(Text[i]); };
    const uint8_t Lead = Byte(Pos);
    size_t Length;
    uint32_t Min;
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Length = 2;
        Min = 0x80;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        Length = 3;
        Min = 0x800;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        Length = 4;
        Min = 0x10000;
    } else {
        return 0;
    }
    if (Pos + Length > Text.size()) return 0;
    uint32_t Code = Lead & (0x7F >> Length);
    for (size_t i = 1; i < Length; ++i) {
        if ((Byte(Pos + i) & 0xC0) != 0x80) return 0;
        Code = (Code << 6) | (Byte(Pos + i) & 0x3F);
    }
    if (Code < Min || (Code >= 0xD800 && Code <= 0xDFFF) || Code > 0x10FFFF) return 0;
    return Length;
}

}  // namespace

std::string DisplayText(const std::string& Text) {
    std::string Out;
    for (size_t Pos = 0; Pos < Text.size();) {
        const uint8_t Byte = static_cast<uint8_t>(Text[Pos]);
        if (Byte >= 0x80) {
            if (size_t Length = Utf8SequenceLength(Text, Pos)) {
                Out.append(Text, Pos, Length);
                Pos += Length;
                continue;
            }
            if (Byte < 0xA0) {
                Out += '?';  // a Latin-1 control character
            } else {
                // A Latin-1 letter or sign: U+00A0..U+00FF in two UTF-8 bytes.
                Out += static_cast<char>(0xC0 | (Byte >> 6));
                Out += static_cast<char>(0x80 | (Byte & 0x3F));
            }
        } else if (Byte < 0x20 || Byte == 0x7F) {
            Out += '?';
        } else {
            Out += static_cast<char>(Byte);
        }
        ++Pos;
    }
    return Out;
}

}  // namespace quavix_shell
