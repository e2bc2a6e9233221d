// Instruments, their envelopes and their samples.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "song/commands.h"

// An envelope: up to 25 points (position in ticks, value 0..64). Extended
// Modules fill at most the first 12, Impulse Tracker instruments all 25.
class TQuavixEnvelope {
public:
    static constexpr int32_t MaxPoints = 25;

    struct TPoint {
        int32_t Position = 0;
        int32_t Value = 0;
    };

    bool Enabled = false;
    bool LoopEnabled = false;
    bool SustainEnabled = false;
    std::array<TPoint, MaxPoints> Points{};
    int32_t NumPoints = 0;
    int32_t LoopStart = 0;
    int32_t LoopEnd = 0;
    int32_t SustainPoint = 0;
    // Where a sustain loop starts, which runs back from SustainPoint while
    // the key is held; -1 (or SustainPoint itself) for a sustain point that
    // holds the envelope there.
    int32_t SustainLoopStart = -1;
    // A new note of the instrument goes on from where the note before it
    // stands in the envelope instead of starting it over (Impulse Tracker's
    // envelope carry).
    bool Carry = false;

    TQuavixEnvelope() { Clear(); }
    void Clear();
};

// One sample. Data holds one signed 16-bit value per sample point (8-bit
// points scaled up by 256), stereo interleaved left then right. Data points
// 16 values into its block, so there are 16 guard values before the first
// frame and at least 16 after the last (8 frames of a stereo sample), which
// the interpolating mixing loops read: the windowed sinc reads 3 frames
// before a position and 4 after it.
class TQuavixSample {
public:
    static constexpr int32_t GuardValues = 16;

    int16_t* Data = nullptr;
    int32_t Length = 0;  // frames
    int32_t Bits = 8;
    int32_t NumChannels = 1;
    bool Compressed = false;  // 4-bit ADPCM source, used while loading only
    std::string Name;
    bool Loop = false;
    bool PingPong = false;
    int32_t LoopStart = 0;
    int32_t LoopLength = 0;
    int32_t Volume = 64;
    bool HasPanning = true;
    int32_t Panning = 128;
    int32_t RelativeNote = 0;
    int32_t FineTune = 0;
    // Where it is not 0: the frequency in Hz the engine's C-4 plays the
    // sample at under linear slides (Impulse Tracker's C-5 speed), which
    // scales the frequencies of the periods from the 8363 Hz they give C-4
    // (the transposition and finetune are then 0). Exact where a transposed
    // finetune could only come near it.
    int32_t C5Speed = 0;
    // The song's own number for the sample (from 1) where instruments hold
    // copies of the song's samples (Impulse Tracker's); 0 where each
    // instrument's samples are its own.
    int32_t Number = 0;
    // A sample with a sustain loop plays it (its Loop) while the key is held;
    // once released it plays on as this copy, with the sample's other loop or
    // none (Impulse Tracker's sustain loops). Empty for every other sample.
    std::unique_ptr<TQuavixSample> Released;
    // The sample's own volume over the song (0..64), and its automatic
    // vibrato (Impulse Tracker's samples carry it; 0 depth for none).
    int32_t GlobalVolume = 64;
    int32_t VibratoType = 0;
    int32_t VibratoSpeed = 0;
    int32_t VibratoDepth = 0;
    int32_t VibratoRate = 0;

    TQuavixSample();
    ~TQuavixSample();
    TQuavixSample(const TQuavixSample&) = delete;
    TQuavixSample& operator=(const TQuavixSample&) = delete;

    void Clear();
    // Makes room for Count values (frames times channels) plus the guard
    // values around them. A first block is zero-filled; a larger or smaller
    // block keeps the values it shares with the old one. Count 0 frees Data.
    void AllocateData(int32_t Count);
    // Writes the guard frames after decoding (sample data preparation).
    void PrepareData();
    // Number of values Data holds (frames times channels), guards excluded.
    int32_t DataCount() const { return FDataCount; }

private:
    std::unique_ptr<int16_t[]> FBlock;
    int32_t FDataCount = 0;
};

// Whether two samples are one: the same object, or copies of the same song
// sample.
inline bool QuavixSameSample(const TQuavixSample& A, const TQuavixSample& B) {
    return &A == &B || (A.Number != 0 && A.Number == B.Number);
}

class TQuavixInstrument {
public:
    static constexpr int32_t MaxSamples = 256;
    static constexpr int32_t NoteCount = TQuavixNote::Last;

    std::string Name;
    // What an instrument the engine does not play is ("AdLib melody",
    // "AdLib bass drum"): it loads silent. Empty for sampled instruments.
    std::string Kind;
    std::array<std::unique_ptr<TQuavixSample>, MaxSamples> Samples;
    // Entry n - 1 is the index into Samples for note n (1..120).
    std::array<uint8_t, NoteCount> NoteSamples{};
    // Entry n - 1 is how many semitones the keyboard moves note n by: an
    // Impulse Tracker keyboard can play another note than the key's.
    std::array<int8_t, NoteCount> NoteTransposes{};
    std::unique_ptr<TQuavixEnvelope> VolumeEnvelope;
    std::unique_ptr<TQuavixEnvelope> PanningEnvelope;
    // Impulse Tracker's third envelope, 0..64 with 32 in the middle: the
    // pitch in half semitones either way, or with PitchEnvelopeFilters the
    // filter's cutoff, from none at 0 to the whole of it at 64.
    std::unique_ptr<TQuavixEnvelope> PitchEnvelope;
    bool PitchEnvelopeFilters = false;
    // The filter a note of the instrument starts with (0..127), -1 where the
    // instrument sets none.
    int32_t FilterCutoff = -1;
    int32_t FilterResonance = -1;
    int32_t FadeOut = 0;
    int32_t VibratoType = 0;
    int32_t VibratoSweep = 0;
    int32_t VibratoDepth = 0;
    int32_t VibratoRate = 0;
    // What happens to a sounding note when the next note starts on its
    // channel: 0 it is cut, 1 it plays on, 2 its key is released, 3 it fades
    // out (Impulse Tracker; the others cut).
    int32_t NewNoteAction = 0;
    // Which earlier notes of the channel a new note of the instrument ends,
    // and how: type 0 none, 1 the same note, 2 the same sample, 3 every one
    // of the instrument; action 0 cut, 1 key released, 2 faded out.
    int32_t DuplicateCheckType = 0;
    int32_t DuplicateCheckAction = 0;
    // The instrument's own volume over the song (0..128), and its panning
    // where it sets one.
    int32_t GlobalVolume = 128;
    bool HasPanning = false;
    int32_t Panning = 128;
    // Impulse Tracker's pitch-pan separation: a note pans by (note - centre)
    // x separation / 8 of the 0..64 scale from the panning it starts with
    // (separation -32..32, centre a note 0..119 counted from C-0).
    int32_t PitchPanSeparation = 0;
    int32_t PitchPanCentre = 60;
    // Impulse Tracker's random variation of each note that starts: of its
    // volume, up to VolumeSwing percent (0..100) either way, and of its
    // panning, up to PanningSwing (0..64 of the 0..64 scale) either way.
    int32_t VolumeSwing = 0;
    int32_t PanningSwing = 0;

    TQuavixInstrument();
    ~TQuavixInstrument();
    TQuavixInstrument(const TQuavixInstrument&) = delete;
    TQuavixInstrument& operator=(const TQuavixInstrument&) = delete;

    // Frees every sample and resets everything but the name.
    void Clear();
};
