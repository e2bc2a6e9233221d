// The position of one envelope for one voice. Each voice plays its
// instrument's volume and panning envelopes through two of these.
#pragma once

#include <cstdint>

class TQuavixEnvelope;

// Where a voice stands in one envelope; a plain value, copied whole when a
// voice is handed over.
struct TQuavixEnvelopeState {
    const TQuavixEnvelope* Envelope = nullptr;  // followed, not owned
    bool KeyOn = false;                         // while held, a sustain point holds
    int32_t Position = 0;                       // in ticks, the points' time axis
    int32_t PointIndex = 0;                     // start point of the current segment
    int32_t NextPoint = 0;                      // the next point to be reached
    int32_t Value = 0;                          // 16.16 fixed point, points are 0..64
    int32_t Delta = 0;                          // value change per tick, 16.16
    int32_t FineValue = 64 << 8;                // the last value given, in 256ths (0..16384)
};

class TQuavixEnvelopeHandler : public TQuavixEnvelopeState {
public:

    TQuavixEnvelopeHandler() = default;
    TQuavixEnvelopeHandler(const TQuavixEnvelopeHandler&) = delete;
    TQuavixEnvelopeHandler& operator=(const TQuavixEnvelopeHandler&) = delete;

    void Assign(const TQuavixEnvelopeHandler& Source);
    // Jumps to position P: the value is the envelope interpolated there.
    void SetPosition(int32_t P);
    // The envelope value of this tick (0..64); then moves one tick on.
    int32_t Advance();
    // As Advance, with loops that play their end point before they run
    // back, and that decide whether to run back as they leave it, with the
    // key as it is then; a sustain point is a sustain loop of one point.
    int32_t AdvanceThroughLoopEnds();
    // The envelope has played its last point and has no loop to go back by.
    bool Ended() const;

private:
    // Stands on point K, its segment started.
    void SeekPoint(int32_t K);
    // Starts the segment beginning at point K.
    void SetupSegment(int32_t K);
    // The last point's value in 16.16, or 0 for an envelope without points.
    int32_t LastValue() const;
};
