// The numbers a pattern cell holds, as Extended Module files store them (the
// older pattern format's effects 0..F are the same numbers): the special
// notes, the effect column's effects, the sub-commands of Exy and Xxy by x,
// and the volume column's commands by the byte's high nibble. The sequencer,
// the loaders, the tools and the tests all name them from here.
#pragma once

#include <cstdint>

struct TQuavixNote {
    enum : int32_t {
        None = 0,
        First = 1,   // C-0
        // The top of Impulse Tracker's ten octaves (its C-0..B-9); an
        // Extended Module's notes stop at 96 (B-7), and the values its
        // cells hold above its key-off (97) are read as Unplayable.
        Last = 120,  // B-9
        KeyOff = 121,
        // Stops the note at once, its voice silent until the next note
        // (Scream Tracker 3's "^^^").
        NoteCut = 256,
        // Releases the key and fades the note out (Impulse Tracker's note
        // fade).
        NoteFade = 257,
        // A cell value that plays nothing and is none of the above: an
        // Extended Module's note bytes above its key-off.
        Unplayable = 258,
    };
};

// A note to play (not none, not a key-off).
constexpr bool QuavixIsNote(int32_t Note) { return Note >= TQuavixNote::First && Note <= TQuavixNote::Last; }

struct TQuavixEffect {
    enum : int32_t {
        Arpeggio = 0,
        PortamentoUp = 1,
        PortamentoDown = 2,
        TonePortamento = 3,
        Vibrato = 4,
        TonePortamentoVolumeSlide = 5,
        VibratoVolumeSlide = 6,
        Tremolo = 7,
        SetPanning = 8,
        SampleOffset = 9,
        VolumeSlide = 10,        // A
        PositionJump = 11,       // B
        SetVolume = 12,          // C
        PatternBreak = 13,       // D
        Extended = 14,           // E, sub-commands TQuavixExtendedEffect
        SpeedOrTempo = 15,       // F
        GlobalVolume = 16,       // G
        GlobalVolumeSlide = 17,  // H
        KeyOff = 20,             // K
        EnvelopePosition = 21,   // L
        PanningSlide = 25,       // P
        FilterResonance = 26,    // Q
        MultiRetrig = 27,        // R
        Tremor = 29,             // T
        Extra = 33,              // X, sub-commands TQuavixExtraEffect
        MidiMacro = 35,          // Z
        SmoothMidiMacro = 37,    // shown as '\'
        Count = 38,              // effect numbers 0..37
    };
};

// The effect letters of Scream Tracker 3 files, as their cells hold them:
// Base plus the letter's number, A being 1. Base alone is a cell with a
// parameter and no letter, which plays nothing but is remembered (see the
// shared effect memory in letter_effects.cpp). They follow the effects of
// the table above, apart from its numbers.
struct TQuavixLetterEffect {
    enum : int32_t {
        Base = 64,
        A = Base + 1,  // speed
        B,             // position jump
        C,             // pattern break
        D,             // volume slides
        E,             // portamento down
        F,             // portamento up
        G,             // tone portamento
        H,             // vibrato
        I,             // tremor
        J,             // arpeggio
        K,             // vibrato and volume slide
        L,             // tone portamento and volume slide
        M,
        N,
        O,             // sample offset
        P,
        Q,             // retrigger
        R,             // tremolo
        S,             // sub-commands, TQuavixLetterSpecial
        T,             // tempo
        U,             // fine vibrato
        V,             // global volume
        W,
        X,             // panning
        Y,             // panbrello
        Z,             // MIDI macro
        End,           // one past Z
    };
};

// Sxy by x.
struct TQuavixLetterSpecial {
    enum : int32_t {
        Glissando = 0x1,
        FineTune = 0x2,
        VibratoWaveform = 0x3,
        TremoloWaveform = 0x4,
        PanbrelloWaveform = 0x5,
        TickDelay = 0x6,
        InstrumentControl = 0x7,
        Panning = 0x8,
        SoundControl = 0x9,
        HighOffset = 0xA,
        PatternLoop = 0xB,
        NoteCut = 0xC,
        NoteDelay = 0xD,
        PatternDelay = 0xE,
        SelectMacro = 0xF,
    };
};

// Exy by x.
struct TQuavixExtendedEffect {
    enum : int32_t {
        FinePortamentoUp = 0x1,
        FinePortamentoDown = 0x2,
        Glissando = 0x3,
        VibratoWaveform = 0x4,
        FineTune = 0x5,
        PatternLoop = 0x6,
        TremoloWaveform = 0x7,
        Retrigger = 0x9,
        FineVolumeUp = 0xA,
        FineVolumeDown = 0xB,
        NoteCut = 0xC,
        NoteDelay = 0xD,
        PatternDelay = 0xE,
        SelectMacro = 0xF,
    };
};

// Xxy by x.
struct TQuavixExtraEffect {
    enum : int32_t {
        ExtraFinePortamentoUp = 0x1,
        ExtraFinePortamentoDown = 0x2,
        SoundControl = 0x9,
    };
};

// The volume column's commands, as a cell holds them: decoded once by the
// loader from the file's own form, with a parameter beside each (the volume
// 0..64 for SetVolume, a nibble 0..15 for the others).
struct TQuavixVolumeCommand {
    enum : int32_t {
        None = 0,
        SetVolume,
        SlideDown,
        SlideUp,
        FineSlideDown,
        FineSlideUp,
        VibratoSpeed,
        Vibrato,  // sets the depth, and vibrates on the other ticks
        SetPanning,
        PanningSlideLeft,
        PanningSlideRight,
        TonePortamento,
        // Impulse Tracker's column: pitch slides down and up by 4 n period
        // units per tick, a panning of n (0..64), and a tone portamento at
        // the speed n itself.
        PortamentoDown,
        PortamentoUp,
        SetPanningWide,
        TonePortamentoAt,
        Count,
    };
};

// An Extended Module volume-column byte as a command and its parameter:
// 0x10..0x50 set the volume 0..64; from 0x60 on the high nibble names the
// command (6 slide down, 7 slide up, 8 fine down, 9 fine up, A vibrato
// speed, B vibrato, C panning, D panning left, E panning right, F tone
// portamento) and the low nibble is its parameter. Other bytes do nothing.
struct TQuavixVolumeColumn {
    uint8_t Command = TQuavixVolumeCommand::None;
    uint8_t Parameter = 0;
};
constexpr TQuavixVolumeColumn QuavixXmVolumeColumn(uint8_t Byte) {
    if (Byte >= 0x10 && Byte <= 0x50) return {TQuavixVolumeCommand::SetVolume, static_cast<uint8_t>(Byte - 0x10)};
    if (Byte < 0x60) return {};
    return {static_cast<uint8_t>(TQuavixVolumeCommand::SlideDown + (Byte >> 4) - 6), static_cast<uint8_t>(Byte & 15)};
}
// The byte of a command and parameter in that form (0 for none).
constexpr uint8_t QuavixXmVolumeByte(int32_t Command, int32_t Parameter) {
    if (Command == TQuavixVolumeCommand::SetVolume) return static_cast<uint8_t>(0x10 + Parameter);
    if (Command <= TQuavixVolumeCommand::None || Command > TQuavixVolumeCommand::TonePortamento) return 0;
    return static_cast<uint8_t>(((Command - TQuavixVolumeCommand::SlideDown + 6) << 4) | (Parameter & 15));
}

// An Impulse Tracker volume-column byte: 0..64 volume; 65..74 fine up and
// 75..84 fine down by 0..9; 85..94 slide up and 95..104 down by 0..9;
// 105..114 pitch down and 115..124 up by 0..9; 128..192 panning 0..64;
// 193..202 tone portamento at 0, 1, 4, 8, 16, 32, 64, 96, 128 or 255;
// 203..212 vibrato depth 0..9. Other bytes do nothing.
constexpr TQuavixVolumeColumn QuavixItVolumeColumn(uint8_t Byte) {
    using C = TQuavixVolumeCommand;
    constexpr uint8_t Speeds[10] = {0, 1, 4, 8, 16, 32, 64, 96, 128, 255};
    auto Make = [](int32_t Command, int32_t Parameter) {
        return TQuavixVolumeColumn{static_cast<uint8_t>(Command), static_cast<uint8_t>(Parameter)};
    };
    if (Byte <= 64) return Make(C::SetVolume, Byte);
    if (Byte <= 74) return Make(C::FineSlideUp, Byte - 65);
    if (Byte <= 84) return Make(C::FineSlideDown, Byte - 75);
    if (Byte <= 94) return Make(C::SlideUp, Byte - 85);
    if (Byte <= 104) return Make(C::SlideDown, Byte - 95);
    if (Byte <= 114) return Make(C::PortamentoDown, Byte - 105);
    if (Byte <= 124) return Make(C::PortamentoUp, Byte - 115);
    if (Byte >= 128 && Byte <= 192) return Make(C::SetPanningWide, Byte - 128);
    if (Byte >= 193 && Byte <= 202) return Make(C::TonePortamentoAt, Speeds[Byte - 193]);
    if (Byte >= 203 && Byte <= 212) return Make(C::Vibrato, Byte - 203);
    return {};
}
