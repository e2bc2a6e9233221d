#include "sequencer/envelope_handler.h"

#include "song/instrument.h"

void TQuavixEnvelopeHandler::Assign(const TQuavixEnvelopeHandler& Source) {
    Envelope = Source.Envelope;
    KeyOn = Source.KeyOn;
    Position = Source.Position;
    PointIndex = Source.PointIndex;
    NextPoint = Source.NextPoint;
    Value = Source.Value;
    Delta = Source.Delta;
}

void TQuavixEnvelopeHandler::SetupSegment(int32_t K) {
    const TQuavixEnvelope& E = *Envelope;
    if (K >= 0 && K + 1 < E.NumPoints && K + 1 < TQuavixEnvelope::MaxPoints) {
        const auto& P0 = E.Points[K];
        const auto& P1 = E.Points[K + 1];
        int32_t Span = P1.Position - P0.Position;
        Delta = Span == 0 ? 0 : static_cast<int32_t>(
            ((static_cast<int64_t>(P1.Value) << 16) - (static_cast<int64_t>(P0.Value) << 16)) / Span);
        Value = static_cast<int32_t>(static_cast<uint32_t>(P0.Value) << 16);
    } else {
        Delta = 0;
        Value = LastValue();
    }
}

int32_t TQuavixEnvelopeHandler::LastValue() const {
    const TQuavixEnvelope& E = *Envelope;
    // An envelope without points has no last value; it reads 0.
    if (E.NumPoints <= 0) return 0;
    int32_t Last = E.NumPoints < TQuavixEnvelope::MaxPoints ? E.NumPoints - 1 : TQuavixEnvelope::MaxPoints - 1;
    return static_cast<int32_t>(static_cast<uint32_t>(E.Points[Last].Value) << 16);
}

void TQuavixEnvelopeHandler::SetPosition(int32_t P) {
    Position = P;
    PointIndex = 0;
    Value = 0;
    if (Envelope) {
        const TQuavixEnvelope& E = *Envelope;
        int32_t Count = E.NumPoints < TQuavixEnvelope::MaxPoints ? E.NumPoints : TQuavixEnvelope::MaxPoints;
        int32_t K = 0;
        while (K + 1 < Count && E.Points[K + 1].Position <= P) ++K;
        PointIndex = K;
        if (E.LoopEnabled && PointIndex == E.LoopEnd && E.LoopStart >= 0 && E.LoopStart < TQuavixEnvelope::MaxPoints) {
            PointIndex = E.LoopStart;
            Position = E.Points[E.LoopStart].Position;
        }
        if (PointIndex < E.NumPoints - 1) {
            SetupSegment(PointIndex);
            Value += Delta * (Position - E.Points[PointIndex].Position);
        } else {
            Value = LastValue();
        }
    }
    NextPoint = PointIndex + 1;
}

int32_t TQuavixEnvelopeHandler::Advance() {
    if (!Envelope || Envelope->NumPoints <= 0 || !Envelope->Enabled) return 0;
    const TQuavixEnvelope& E = *Envelope;
    if (NextPoint < E.NumPoints && NextPoint < TQuavixEnvelope::MaxPoints &&
        E.Points[NextPoint].Position == Position) {
        PointIndex = NextPoint;
        if (E.LoopEnabled && PointIndex == E.LoopEnd && E.LoopStart >= 0 && E.LoopStart < TQuavixEnvelope::MaxPoints) {
            PointIndex = E.LoopStart;
            Position = E.Points[E.LoopStart].Position;
        }
        SetupSegment(PointIndex);
        NextPoint = PointIndex + 1;
    }
    int32_t Result = Value >> 16;
    if (NextPoint < E.NumPoints) {
        bool SustainHolds = E.SustainEnabled && PointIndex == E.SustainPoint && KeyOn &&
                            E.SustainPoint >= 0 && E.SustainPoint < TQuavixEnvelope::MaxPoints &&
                            Position == E.Points[E.SustainPoint].Position;
        if (!SustainHolds) {
            Value += Delta;
            Position += 1;
        }
    }
    return Result;
}
