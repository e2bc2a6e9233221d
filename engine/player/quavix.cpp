#include "player/quavix.h"

TQuavix::TQuavix(int32_t ASampleRate, int32_t ABufferFrames, int32_t ABufferCount, bool Stereo,
                 int32_t AWriterSleepMs, int32_t Bits, int32_t APrefillBuffers)
    : BufferCount(ABufferCount),
      PrefillBuffers(APrefillBuffers),
      WriterSleepMs(AWriterSleepMs),
      OutputDevice(0),
      BufferFrames(ABufferFrames) {
    Module.reset(new TQuavixModule(this));
    if (ASampleRate == 0) ASampleRate = 44100;
    Module->SampleRate = ASampleRate;
    // 128 frames at 44100 Hz. The product stays within 32 bits for every rate
    // up to 16 MHz; a wider intermediate keeps larger rates defined.
    const int32_t RampLength = static_cast<int32_t>(static_cast<int64_t>(ASampleRate) * 128 / 44100);
    Module->NormalRampLength = RampLength;
    Module->FadeRampLength = RampLength;
    Interpolation = 3;
    Clipping = 1;
    Playing = false;
    Module->Clear();

    // The module was just cleared, so the table gets the normal cutoff range.
    SampleRate = ASampleRate;
    BuildFilterTable(SampleRate);

    OutputBits = (Bits == 8 || Bits == 16) ? Bits : 16;
    OutputChannels = Stereo ? 2 : 1;
    MixBufferBytes = BufferFrames * 4 * OutputChannels;
    OutputBufferBytes = BufferFrames * OutputBits * OutputChannels / 8;

    // Every buffer the audio thread uses exists from here on: rendering
    // allocates nothing.
    const size_t MixValues = BufferFrames > 0 ? static_cast<size_t>(BufferFrames) * OutputChannels : 0;
    MixBuffer.reset(new int32_t[MixValues + 1]());
    WideMixBuffer.reset(new int64_t[MixValues + 1]());
    MixTarget = MixBuffer.get();
}

// The render loop arrives with the player's render issue; until then a
// player renders silence and runs no tick.
void TQuavix::Render(void*) {}
void TQuavix::NextTick() {}
void TQuavix::UpdateTickLength() {}
bool TQuavix::Play() { return Module->Loaded; }
void TQuavix::Stop() { Playing = false; }
void TQuavix::Flush() {}

TQuavix::~TQuavix() {
    Module->Clear();
}
