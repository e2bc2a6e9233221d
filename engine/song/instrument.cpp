#include "song/instrument.h"

#include <algorithm>
#include <cstring>

void TQuavixEnvelope::Clear() {
    Enabled = false;
    LoopEnabled = false;
    SustainEnabled = false;
    Points.fill(TPoint());
    NumPoints = 0;
    LoopStart = 0;
    LoopEnd = 0;
    SustainPoint = 0;
    SustainLoopStart = -1;
    Carry = false;
}

TQuavixSample::TQuavixSample() { Clear(); }

TQuavixSample::~TQuavixSample() { Clear(); }

void TQuavixSample::Clear() {
    Released.reset();
    Number = 0;
    C5Speed = 0;
    AllocateData(0);
    Length = 0;
    Bits = 8;
    NumChannels = 1;
    Compressed = false;
    Name.clear();
    Loop = false;
    PingPong = false;
    LoopStart = 0;
    LoopLength = 0;
    Volume = 64;
    HasPanning = true;
    Panning = 128;
    RelativeNote = 0;
    FineTune = 0;
    GlobalVolume = 64;
    VibratoType = 0;
    VibratoSpeed = 0;
    VibratoDepth = 0;
    VibratoRate = 0;
}

void TQuavixSample::AllocateData(int32_t Count) {
    if (Count <= 0) {
        FBlock.reset();
        Data = nullptr;
        FDataCount = 0;
        return;
    }
    size_t Total = static_cast<size_t>(Count) + 2 * GuardValues;
    // The whole new block starts at zero; a reallocation then keeps the values
    // (guards included) that the old block and the new one share.
    std::unique_ptr<int16_t[]> Block(new int16_t[Total]());
    if (FBlock) {
        size_t OldTotal = static_cast<size_t>(FDataCount) + 2 * GuardValues;
        std::memcpy(Block.get(), FBlock.get(), std::min(Total, OldTotal) * sizeof(int16_t));
    }
    FBlock = std::move(Block);
    Data = FBlock.get() + GuardValues;
    FDataCount = Count;
}

TQuavixInstrument::TQuavixInstrument()
    : VolumeEnvelope(new TQuavixEnvelope()),
      PanningEnvelope(new TQuavixEnvelope()),
      PitchEnvelope(new TQuavixEnvelope()) {
    Clear();
}

TQuavixInstrument::~TQuavixInstrument() { Clear(); }

void TQuavixInstrument::Clear() {
    Kind.clear();
    for (auto& Sample : Samples) Sample.reset();
    NoteSamples.fill(0);
    NoteTransposes.fill(0);
    VolumeEnvelope->Clear();
    PanningEnvelope->Clear();
    PitchEnvelope->Clear();
    PitchEnvelopeFilters = false;
    DuplicateCheckType = 0;
    DuplicateCheckAction = 0;
    FilterCutoff = -1;
    FilterResonance = -1;
    FadeOut = 0;
    VibratoType = 0;
    VibratoSweep = 0;
    VibratoDepth = 0;
    VibratoRate = 0;
    NewNoteAction = 0;
    GlobalVolume = 128;
    HasPanning = false;
    Panning = 128;
    PitchPanSeparation = 0;
    PitchPanCentre = 60;
    VolumeSwing = 0;
    PanningSwing = 0;
}
