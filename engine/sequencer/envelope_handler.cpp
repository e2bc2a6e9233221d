#include "sequencer/envelope_handler.h"

#include "song/instrument.h"

namespace {

// The points that exist: a damaged song may claim more than there are slots.
int32_t PointCount(const TQuavixEnvelope& E) {
    if (E.NumPoints <= 0) return 0;
    return E.NumPoints < TQuavixEnvelope::MaxPoints ? E.NumPoints : TQuavixEnvelope::MaxPoints;
}

// Envelope values move in 16.16 fixed point. Point values are bytes, so a
// value only leaves the 32-bit range when points are out of order (a slope
// that never reaches its next point) or a position lies far before the first
// point; it then stops at the end of the range.
int32_t Saturate(int64_t V) {
    if (V > INT32_MAX) return INT32_MAX;
    if (V < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(V);
}

// The points a loop or sustain point may name: the points there are, and
// at least the 13 slots an Extended Module's loop could always name (a
// damaged one naming a slot past its points keeps playing as it did).
int32_t LoopReach(const TQuavixEnvelope& E) { return PointCount(E) > 13 ? PointCount(E) : 13; }

// Envelope values are 0..64; a damaged song's larger point values read as 64.
int32_t ClampValue(int32_t Value) { return Value < 0 ? 0 : Value > 64 ? 64 : Value; }

}  // namespace

void TQuavixEnvelopeHandler::Assign(const TQuavixEnvelopeHandler& Source) {
    static_cast<TQuavixEnvelopeState&>(*this) = Source;
}

void TQuavixEnvelopeHandler::SetupSegment(int32_t K) {
    const TQuavixEnvelope& E = *Envelope;
    if (K >= 0 && K + 1 < PointCount(E)) {
        const auto& P0 = E.Points[K];
        const auto& P1 = E.Points[K + 1];
        int64_t Span = static_cast<int64_t>(P1.Position) - P0.Position;
        Delta = Span == 0 ? 0 : Saturate((static_cast<int64_t>(P1.Value) * 65536 - static_cast<int64_t>(P0.Value) * 65536) / Span);
        Value = Saturate(static_cast<int64_t>(P0.Value) * 65536);
    } else {
        Delta = 0;
        Value = LastValue();
    }
}

int32_t TQuavixEnvelopeHandler::LastValue() const {
    const TQuavixEnvelope& E = *Envelope;
    // An envelope without points has no last value; it reads 0.
    int32_t Count = PointCount(E);
    if (Count == 0) return 0;
    return Saturate(static_cast<int64_t>(E.Points[Count - 1].Value) * 65536);
}

void TQuavixEnvelopeHandler::SetPosition(int32_t P) {
    Position = P;
    PointIndex = 0;
    Value = 0;
    if (Envelope) {
        const TQuavixEnvelope& E = *Envelope;
        const int32_t Count = PointCount(E);
        // The last point at or before P (the first point when P lies before it).
        int32_t K = 0;
        while (K + 1 < Count && E.Points[K + 1].Position <= P) ++K;
        PointIndex = K;
        if (E.LoopEnabled && PointIndex == E.LoopEnd && E.LoopStart >= 0 && E.LoopStart < LoopReach(E)) {
            PointIndex = E.LoopStart;
            Position = E.Points[E.LoopStart].Position;
        }
        if (PointIndex < Count - 1) {
            // The value interpolated at the position.
            SetupSegment(PointIndex);
            Value = Saturate(Value + static_cast<int64_t>(Delta) * (static_cast<int64_t>(Position) - E.Points[PointIndex].Position));
        } else {
            // At or past the last point; an envelope without points reads 0.
            Value = LastValue();
        }
    }
    NextPoint = PointIndex + 1;
}

int32_t TQuavixEnvelopeHandler::Advance() {
    if (!Envelope || Envelope->NumPoints <= 0 || !Envelope->Enabled) return 0;
    const TQuavixEnvelope& E = *Envelope;
    const int32_t Count = PointCount(E);
    if (NextPoint < Count && E.Points[NextPoint].Position == Position) {
        // A point is reached: start its segment, or return to the loop start.
        PointIndex = NextPoint;
        // A sustain loop runs back while the key is held, before the loop.
        if (KeyOn && E.SustainEnabled && PointIndex == E.SustainPoint && E.SustainLoopStart >= 0 &&
            E.SustainLoopStart < E.SustainPoint) {
            PointIndex = E.SustainLoopStart;
            Position = E.Points[E.SustainLoopStart].Position;
        } else if (E.LoopEnabled && PointIndex == E.LoopEnd && E.LoopStart >= 0 && E.LoopStart < LoopReach(E)) {
            PointIndex = E.LoopStart;
            Position = E.Points[E.LoopStart].Position;
        }
        SetupSegment(PointIndex);
        NextPoint = PointIndex + 1;
    }
    int32_t Result = Value >> 16;
    if (NextPoint < Count) {
        bool SustainHolds = KeyOn && E.SustainEnabled && PointIndex == E.SustainPoint &&
                            (E.SustainLoopStart < 0 || E.SustainLoopStart >= E.SustainPoint) &&
                            E.SustainPoint >= 0 && E.SustainPoint < LoopReach(E) &&
                            Position == E.Points[E.SustainPoint].Position;
        if (!SustainHolds) {
            Value = Saturate(static_cast<int64_t>(Value) + Delta);
            if (Position < INT32_MAX) Position += 1;
        }
    }
    return ClampValue(Result);
}

void TQuavixEnvelopeHandler::SeekPoint(int32_t K) {
    PointIndex = K;
    Position = Envelope->Points[K].Position;
    SetupSegment(K);
    NextPoint = K + 1;
}

int32_t TQuavixEnvelopeHandler::AdvanceThroughLoopEnds() {
    if (!Envelope || Envelope->NumPoints <= 0 || !Envelope->Enabled) return 0;
    const TQuavixEnvelope& E = *Envelope;
    const int32_t Count = PointCount(E);
    if (NextPoint < Count && E.Points[NextPoint].Position == Position) {
        PointIndex = NextPoint;
        SetupSegment(PointIndex);
        NextPoint = PointIndex + 1;
    }
    int32_t Result = Value >> 16;
    FineValue = Value < 0 ? 0 : Value > (64 << 16) ? (64 << 8) : Value >> 8;
    if (NextPoint < Count) Value = Saturate(static_cast<int64_t>(Value) + Delta);
    if (Position < INT32_MAX) Position += 1;
    // Leaving the tick: a held sustain loop, else the loop, runs back once
    // the position has passed its end point.
    int32_t Start = -1, End = -1;
    if (KeyOn && E.SustainEnabled) {
        Start = E.SustainLoopStart < 0 ? E.SustainPoint : E.SustainLoopStart;
        End = E.SustainPoint;
    } else if (E.LoopEnabled) {
        Start = E.LoopStart;
        End = E.LoopEnd;
    }
    if (Start >= 0 && Start <= End && End < Count && Position > E.Points[End].Position) SeekPoint(Start);
    return ClampValue(Result);
}

bool TQuavixEnvelopeHandler::Ended() const {
    // Advance has taken the last point's segment (a loop back would have
    // moved NextPoint before it).
    // A held sustain never lets it end.
    if (!Envelope || (KeyOn && Envelope->SustainEnabled) || Envelope->LoopEnabled) return false;
    return NextPoint >= PointCount(*Envelope);
}
