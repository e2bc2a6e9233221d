// The in-memory song: patterns, instruments, order list, MIDI macros and the
// stored extension blocks, together with the playback state the sequencer
// keeps while the song plays and the three banks of voices.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "song/behaviours.h"
#include "song/instrument.h"
#include "song/load_result.h"
#include "song/pattern.h"
#include "song/stream.h"

class TQuavix;
class TQuavixChannel;

// The Amiga clock by which a pattern-format song's periods become
// frequencies: the NTSC machine's, 14317456 / period, which plays C-2
// (period 428) at 8363 Hz as trackers of Extended Modules do; or the PAL
// machine's, 14187578 / period, 0.9 % (16 cents) lower, where songs composed
// on a European Amiga were heard. A setting of the player, not of the song.
enum class TQuavixAmigaClock : uint8_t { Ntsc, Pal };
class TQuavixLoadCursor;
struct TQuavixSampleSource;

// The slots of the MIDI macro table: 0..8 the global macros, 9..24 the
// parameterised macros 0..15 that EFy chooses for Z00..Z7F, and 25..152 the
// fixed macros of Z80..ZFF.
struct TQuavixMacroSlot {
    enum : int32_t {
        Start = 0,
        Stop = 1,
        NoteOn = 3,
        NoteOff = 4,
        ProgramChange = 8,
        FirstParameterised = 9,
        FirstFixed = 25,
        Count = 153,
    };
};

class TQuavixModule {
public:
    static constexpr int32_t MaxInstruments = 255;
    static constexpr int32_t MaxPatterns = 256;
    static constexpr int32_t MaxOrders = 256;
    static constexpr int32_t MaxChannels = 256;
    static constexpr int32_t MidiMacroSlots = TQuavixMacroSlot::Count;
    static constexpr int32_t MidiMacroLength = 32;
    static constexpr int32_t PluginSlots = 100;

    using TChannelBank = std::array<std::unique_ptr<TQuavixChannel>, MaxChannels>;
    using TMidiMacro = std::array<char, MidiMacroLength>;

    TQuavix* Owner;
    std::string Name;
    std::string Comment;
    // What the last load recognised (None when nothing is loaded), and for
    // display the Extended Module version word and the four-character tag of
    // a pattern-format file (empty for the 15-sample form).
    TQuavixFormat Format = TQuavixFormat::None;
    // The tracker that wrote the file, as the file names it ("FastTracker
    // v2.00", "OpenMPT 1.20.00.39"); empty where the file does not say.
    std::string Tracker;
    int32_t FormatVersion = 0;
    std::string FormatTag;
    // Instruments are numbered 1..255; number 0 means "no instrument"
    // everywhere, so element 0 stays empty and a number indexes directly.
    std::array<std::unique_ptr<TQuavixInstrument>, MaxInstruments + 1> Instruments;
    TChannelBank Channels;
    TChannelBank BackgroundChannels;
    TChannelBank FadeChannels;
    std::array<std::unique_ptr<TQuavixPattern>, MaxPatterns> Patterns;
    std::array<uint8_t, MaxOrders> Orders{};

    // Playback state.
    int32_t GlobalVolume = 64;
    int32_t TickCounter = 0;
    int32_t PatternDelay = 0;
    // Ticks the row's cells add to each of its repetitions (S6y), and
    // whether a row delay of the row has been seen (FirstRowDelayCounts).
    int32_t TickDelay = 0;
    bool RowDelaySet = false;
    uint8_t Speed = 6;
    uint8_t Tempo = 125;
    uint8_t InitialSpeed = 6;
    uint8_t InitialTempo = 125;
    // The global volume the song starts at (0..64).
    int32_t InitialGlobalVolume = 64;
    // A tempo set with TempoFromNextTick, which the next tick takes up; 0 for none.
    uint8_t NextTempo = 0;
    int32_t JumpOrder = 0;
    int32_t JumpRow = 0;
    bool JumpPending = false;
    // With PatternLoopRowCarriesOver: the row the next order starts at. A
    // break or a pattern loop's jump sets it, a position jump sets it to 0,
    // and it stands across rows until an order change uses it up.
    // LoopJumpPending: a pattern loop of the row jumps back to it;
    // BreakRowFromPositionJump: a position jump in the row set it, which a
    // loop in a later channel leaves alone; CarriedRow: the next row was
    // carried into its order by the order's end, and plays even where its
    // pattern has no such row. JumpedRow: a jump or break chose the next
    // row; where its pattern lacks the row, the pattern plays from its top.
    int32_t BreakRow = 0;
    bool LoopJumpPending = false;
    bool BreakRowFromPositionJump = false;
    bool CarriedRow = false;
    bool JumpedRow = false;
    // How the song is played, set by the player that owns it and kept only
    // here: the output's rate in Hz and channels (1 mono, 2 stereo), the
    // Amiga clock (followed by songs with AmigaClockChoice: an Extended
    // Module with Amiga periods was tuned in a tracker that plays them by the
    // NTSC clock), the master volume (0..256) and the stereo separation in
    // percent (0..200: 0 gives both sides the mono mix, 100 the song's own
    // panning, 200 twice its width).
    int32_t SampleRate = 0;
    int32_t OutputChannels = 2;
    int32_t StereoSeparation = 100;
    // The song's own mix level, 128 for full: a gain of MixLevel / 128 on
    // every voice (the master volume byte of a Scream Tracker 3 header).
    int32_t MixLevel = 128;
    // The top of the global volume: 64, or 128 for Impulse Tracker songs.
    int32_t GlobalVolumeRange = 64;
    TQuavixAmigaClock AmigaClock = TQuavixAmigaClock::Ntsc;
    int32_t MasterVolume = 128;
    int32_t OrderPosition = 0;
    int32_t Row = 0;
    uint8_t CurrentPattern = 0;

    int32_t SongLength = 0;
    int32_t RestartPosition = 0;
    bool LinearSlides = true;
    bool ExtendedFilterRange = false;
    int32_t NumChannels = 0;
    bool Loaded = false;
    int32_t ClickLeft = 0;
    int32_t ClickRight = 0;
    int32_t TickLength = 0;
    // The order position and row of the row the last new-row tick played,
    // -1 before the first; read by the player to notice where a song ends.
    int32_t PlayingOrder = -1;
    int32_t PlayingRow = -1;
    std::array<TMidiMacro, MidiMacroSlots> MidiMacros{};
    bool MidiMacrosEmbedded = false;
    int32_t NormalRampLength = 128;
    int32_t FadeRampLength = 128;
    // How far into the reserve and fade banks voices sound: every voice from
    // these numbers on was silent when a tick or the mixer last looked, but
    // for those handed over since (see QuavixVisitVoicesInUse, by which both
    // walk the banks). The whole bank before the first look.
    int32_t ReserveVoicesInUse = MaxChannels;
    int32_t FadeVoicesInUse = MaxChannels;
    std::unique_ptr<TQuavixStream> EqualizerData;
    std::unique_ptr<TQuavixStream> ExtensionData;
    std::array<std::unique_ptr<TQuavixStream>, PluginSlots> PluginData;

    explicit TQuavixModule(TQuavix* AOwner = nullptr);
    ~TQuavixModule();
    TQuavixModule(const TQuavixModule&) = delete;
    TQuavixModule& operator=(const TQuavixModule&) = delete;

    // Empties the song and rewinds playback; the module is then not loaded.
    void Clear();

    // MIDI macro table.
    void ResetMidiMacros();
    void SetMidiMacro(int32_t Slot, const std::string& Text);
    // The text of a slot, up to its first zero byte (at most 32 characters).
    std::string GetMidiMacro(int32_t Slot) const;

    // Loading. Every load starts from the cleared song; on failure the module
    // is left cleared and the result (false) says why. Nothing is thrown.
    TQuavixLoadResult LoadFromFile(const std::string& FileName);
    TQuavixLoadResult LoadFromMemory(const uint8_t* Block, uint32_t Size);
    // Reads a whole file (a regular one, or anything else that can be read to
    // its end, such as a pipe) into Block, as the loaders take it.
    static TQuavixLoadResult ReadFile(const std::string& FileName, std::vector<uint8_t>& Block);
    // Pattern-format helpers: the note number of an Amiga period (0 for none),
    // and a finetune nibble (0..15) in 1/128 semitone.
    static int32_t PeriodToNote(int32_t Period);
    static int32_t ConvertFineTune(int32_t Value);

    // How the song's tracker played it, where trackers differ: the loader
    // chooses the set (song/behaviours.h).
    TQuavixBehaviours Behaviours;
    // Whose rules those are, for display ("Fasttracker 2", "ProTracker");
    // empty when nothing is loaded.
    std::string Rules;
    bool Has(TQuavixBehaviour Behaviour) const { return Behaviours.Has(Behaviour); }
    // The panning of a voice panned hard right: 256 with PanningReachesRight, else 255.
    int32_t RightPanning() const { return Has(TQuavixBehaviour::PanningReachesRight) ? 256 : 255; }

    // Periods and frequencies, in the linear or the Amiga system by LinearSlides.
    int32_t GetNotePeriod(int32_t Note, int32_t FineTune) const;
    int32_t GetPeriodNote(int32_t Period, int32_t FineTune) const;
    // The note whose period at the finetune lies nearest the period, less
    // than half a semitone away; halfway between two notes, the lower.
    int32_t GetNearestNote(int32_t Period, int32_t FineTune) const;
    int32_t GetFrequency(int32_t Period) const;
    // The frequency in 4096ths of a hertz (QuavixFrameBits), which the voice's
    // step is formed from. An Amiga period divides the clock once, so its
    // fraction of a hertz is kept; voices an octave or a unison apart drift
    // no more than their periods make them.
    int64_t GetFineFrequency(int32_t Period) const;
    // The frequency of a linear-slide period (0 is note index 0 at 7680 at
    // its C-4 of 8363 Hz), in 4096ths of a hertz, whatever slides the song uses.
    int64_t GetLinearFineFrequency(int32_t Period) const;

    // Sequencing.
    void ResetPlayback();
    // One tick: counts it, starts a new row when the row's ticks are used up
    // (walking the order list), runs the tick effects on the other ticks and
    // updates every voice for the mixer.
    void ProcessTick();
    // Moves playback to row 0 of order position Order, as a position jump
    // does, but at once: the next tick starts that row. The song's voices
    // still sounding fade out in the fade bank instead of stopping with a
    // click; speed, tempo and global volume stay as they are.
    void JumpToOrder(int32_t Order);

private:
    // The loaders (song/loaders.cpp), tried in their order: a probe tells
    // whether the data may be its format, and the load reads it.
    struct TLoader {
        bool (*Probe)(const TQuavixLoadCursor& Cursor);
        TQuavixLoadResult (TQuavixModule::*Load)(TQuavixLoadCursor& Cursor);
    };
    static const TLoader Loaders[];

    // Loader steps, reading through the cursor of the load in progress.
    TQuavixLoadResult LoadExtendedModule(TQuavixLoadCursor& Cursor);
    // Reads the data of an instrument's samples, counting the samples whose
    // data the file cuts short and those it holds none of.
    bool ReadSampleData(TQuavixLoadCursor& Cursor, TQuavixInstrument& Instrument,
                        const std::vector<TQuavixSampleSource>& Sources, int32_t& CutShort, int32_t& Missing);
    bool ReadExtensionChunks(TQuavixLoadCursor& Cursor);
    TQuavixLoadResult LoadScreamTracker3(TQuavixLoadCursor& Cursor);
    TQuavixLoadResult LoadImpulseTracker(TQuavixLoadCursor& Cursor);
    TQuavixLoadResult LoadTaggedPatternFormat(TQuavixLoadCursor& Cursor);
    TQuavixLoadResult LoadFifteenSampleFormat(TQuavixLoadCursor& Cursor);
    TQuavixLoadResult LoadPatternFormat(TQuavixLoadCursor& Cursor, bool Tagged);

    // The Amiga clock that periods in quarter units divide (periods.cpp).
    int32_t AmigaClockRate() const;
};
