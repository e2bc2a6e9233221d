// The probes of the loaders: each tells, from the data alone, whether it may
// be in the loader's format. The loaders are tried in a fixed order
// (song/loaders.cpp); a probe that matches only decides that its loader
// tries the data.
#pragma once

class TQuavixLoadCursor;

// "Extended Module: " at the start.
bool QuavixProbeExtendedModule(const TQuavixLoadCursor& Cursor);
// "SCRM" at byte 44.
bool QuavixProbeScreamTracker3(const TQuavixLoadCursor& Cursor);
// "IMPM" at byte 0: an Impulse Tracker module.
bool QuavixProbeImpulseTracker(const TQuavixLoadCursor& Cursor);
// A known tag at byte 1080 (or a PowerPacker one, refused when it loads).
bool QuavixProbeTaggedPatternFormat(const TQuavixLoadCursor& Cursor);
// Anything: the 15-sample form has no signature, and its loader judges the
// header's fields. Tried last.
bool QuavixProbeFifteenSampleFormat(const TQuavixLoadCursor& Cursor);
