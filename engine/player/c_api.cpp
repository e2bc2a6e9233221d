// The C interface: the library's version, opening and closing songs, their
// errors, and what a song is.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "player/c_api_song.h"
#include "song/behaviours.h"
#include "song/instrument.h"
#include "song/module.h"
#include "song/song_text.h"

namespace quavix_c_api {

void FillError(quavix_error* Error, int Code, const std::string& Text) {
    if (!Error) return;
    Error->code = Code;
    // Cut to the buffer, always ended by a zero.
    const size_t Length = std::min(Text.size(), sizeof(Error->text) - 1);
    std::memcpy(Error->text, Text.data(), Length);
    Error->text[Length] = '\0';
}

int Fail(quavix_song* Song, int Code, const std::string& Text) {
    if (Song) FillError(&Song->LastError, Code, Text);
    return Code;
}

int Succeed(quavix_song* Song) {
    if (Song) FillError(&Song->LastError, QUAVIX_OK, "");
    return QUAVIX_OK;
}

namespace {

int LoadErrorCode(TQuavixLoadError Error) {
    switch (Error) {
        case TQuavixLoadError::None: return QUAVIX_OK;
        case TQuavixLoadError::NotModule: return QUAVIX_ERROR_NOT_MODULE;
        case TQuavixLoadError::Damaged: return QUAVIX_ERROR_DAMAGED;
        case TQuavixLoadError::Unsupported: return QUAVIX_ERROR_UNSUPPORTED;
        case TQuavixLoadError::TooLarge: return QUAVIX_ERROR_TOO_LARGE;
        case TQuavixLoadError::CannotRead: return QUAVIX_ERROR_CANNOT_READ;
    }
    return QUAVIX_ERROR_NOT_MODULE;
}

// Texts of the song file as the interface returns them: UTF-8, blanks
// trimmed from names, a message's lines each ended by a line feed.
void Describe(quavix_song& Song) {
    const TQuavixModule& Module = *Song.Player->Module;
    Song.Title = SongTextToUtf8(QuavixTrimBlanks(Module.Name), false);
    Song.Format = Module.Format == TQuavixFormat::None ? "" : QuavixFormatName(Module.Format);
    Song.Tracker = SongTextToUtf8(Module.Tracker, false);
    Song.Message.clear();
    for (const std::string& Line : QuavixMessageLines(Module.Comment)) Song.Message += SongTextToUtf8(Line, false) + "\n";
    Song.ChannelCount = std::clamp(Module.NumChannels, 0, TQuavixModule::MaxChannels);
    Song.OrderCount = std::clamp(Module.SongLength, 0, TQuavixModule::MaxOrders);
    Song.InstrumentNames.clear();
    Song.SampleNames.clear();
    int32_t Last = 0;
    for (int32_t i = 1; i <= TQuavixModule::MaxInstruments; ++i)
        if (Module.Instruments[i]) Last = i;
    for (int32_t i = 1; i <= Last; ++i) {
        const TQuavixInstrument* Instrument = Module.Instruments[i].get();
        Song.InstrumentNames.push_back(Instrument ? SongTextToUtf8(QuavixTrimBlanks(Instrument->Name), false) : "");
        if (!Instrument) continue;
        for (const auto& Sample : Instrument->Samples)
            if (Sample) Song.SampleNames.push_back(SongTextToUtf8(QuavixTrimBlanks(Sample->Name), false));
    }
}

quavix_song* Open(std::vector<uint8_t>&& Data, int SampleRate, quavix_error* Error) {
    if (SampleRate < 8000 || SampleRate > 192000) {
        FillError(Error, QUAVIX_ERROR_ARGUMENT,
                  "sample rate " + std::to_string(SampleRate) + " Hz is out of range: give 8000 to 192000");
        return nullptr;
    }
    try {
        std::unique_ptr<quavix_song> Song(new quavix_song());
        Song->Data = std::move(Data);
        Song->Rate = SampleRate;
        std::string Reason;
        int Code = QUAVIX_OK;
        if (!MakePlayer(*Song, Reason, Code)) {
            FillError(Error, Code, Reason);
            return nullptr;
        }
        Describe(*Song);
        FillError(Error, QUAVIX_OK, "");
        return Song.release();
    } catch (const std::bad_alloc&) {
        FillError(Error, QUAVIX_ERROR_TOO_LARGE, "too large a song: more memory than there is");
        return nullptr;
    }
}

}  // namespace

bool MakePlayer(quavix_song& Song, std::string& Reason, int& Code) {
    TQuavixSettings Settings = TQuavixSettings::Offline(Song.Rate, RenderFrames, Song.Channels == 2, 16);
    Settings.Interpolation = Song.Interpolation;
    Settings.StereoSeparation = Song.StereoSeparation;
    Settings.AmigaClock = Song.AmigaClock;
    Settings.MasterVolume = Song.MasterVolume;
    std::unique_ptr<TQuavix> Player(new TQuavix(Settings));
    if (Song.Data.size() > UINT32_MAX) {
        Code = QUAVIX_ERROR_TOO_LARGE;
        Reason = TQuavixLoadResult::TooLarge("a file: more than 4 GB").Reason;
        return false;
    }
    const TQuavixLoadResult Result = Player->Module->LoadFromMemory(Song.Data.data(), static_cast<uint32_t>(Song.Data.size()));
    if (!Result) {
        Code = LoadErrorCode(Result.Error);
        Reason = Result.Reason;
        return false;
    }
    Player->SetMeasureLevels(Song.LevelMeters);
    // Mutes given to the player before stay.
    if (Song.Player)
        for (int32_t i = 0; i < TQuavixModule::MaxChannels; ++i) Player->SetChannelMuted(i, Song.Player->ChannelMuted(i));
    Song.Player = std::move(Player);
    Song.Buffer.assign(static_cast<size_t>(RenderFrames) * static_cast<size_t>(Song.Channels), 0);
    Song.BufferPosition = Song.BufferLength = 0;
    Song.BufferStart = 0;
    Song.Ended = false;
    Song.Watch.Start(1);
    Song.PassBase = 0;
    ArmEnd(Song, true);
    Song.Player->SetSongEnd(&Song.Watch);
    Song.Player->Play();
    return true;
}

void ArmEnd(quavix_song& Song, bool StartOver) {
    TQuavixSongEnd& Watch = Song.Watch;
    if (StartOver) Song.PassBase = Watch.Ends;
    const int64_t Target = Song.Repeat < 0 ? INT32_MAX : static_cast<int64_t>(Song.PassBase) + Song.Repeat + 1;
    // An end already found, not yet handed out, that this count keeps.
    if (!StartOver && Watch.StopFrame >= 0 && Watch.Ends >= Target) return;
    Watch.StopFrame = -1;
    Watch.StopAfter = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(Target, Watch.Ends + 1), INT32_MAX));
    Song.Ended = false;
}

void Measure(quavix_song& Song) {
    if (Song.Measured) return;
    try {
        Song.Subsongs = QuavixFindSubsongs(Song.Data.data(), Song.Data.size(), Song.Rate, &Song.OrderStarts);
    } catch (const std::bad_alloc&) {
        // Without the memory to measure, the song has no known end.
        Song.Subsongs.clear();
        Song.OrderStarts.clear();
    }
    if (Song.Subsongs.empty()) Song.Subsongs.push_back(TQuavixSubsong());
    Song.Measured = true;
}

}  // namespace quavix_c_api

using namespace quavix_c_api;

extern "C" {

const char* quavix_version(void) { return QUAVIX_LIBRARY_VERSION; }

int quavix_version_number(void) {
    return QUAVIX_LIBRARY_VERSION_MAJOR * 10000 + QUAVIX_LIBRARY_VERSION_MINOR * 100 + QUAVIX_LIBRARY_VERSION_PATCH;
}

quavix_song* quavix_open_memory(const void* data, size_t size, int sample_rate, quavix_error* error) {
    if (!data && size > 0) {
        FillError(error, QUAVIX_ERROR_ARGUMENT, "no data (a NULL pointer)");
        return nullptr;
    }
    try {
        const uint8_t* Bytes = static_cast<const uint8_t*>(data);
        std::vector<uint8_t> Data(Bytes, Bytes + size);
        return Open(std::move(Data), sample_rate, error);
    } catch (const std::bad_alloc&) {
        FillError(error, QUAVIX_ERROR_TOO_LARGE, "too large a song: more memory than there is");
        return nullptr;
    } catch (const std::length_error&) {
        FillError(error, QUAVIX_ERROR_TOO_LARGE, "too large a song: more memory than there is");
        return nullptr;
    }
}

quavix_song* quavix_open_file(const char* path, int sample_rate, quavix_error* error) {
    if (!path) {
        FillError(error, QUAVIX_ERROR_ARGUMENT, "no file name (a NULL pointer)");
        return nullptr;
    }
    try {
        std::vector<uint8_t> Data;
        const TQuavixLoadResult Read = TQuavixModule::ReadFile(path, Data);
        if (!Read) {
            FillError(error, LoadErrorCode(Read.Error), Read.Reason);
            return nullptr;
        }
        return Open(std::move(Data), sample_rate, error);
    } catch (const std::bad_alloc&) {
        FillError(error, QUAVIX_ERROR_TOO_LARGE, "too large a song: more memory than there is");
        return nullptr;
    }
}

void quavix_close(quavix_song* song) {
    if (!song) return;
    song->Player->Stop();
    song->Player->SetSongEnd(nullptr);
    delete song;
}

int quavix_last_error(const quavix_song* song, quavix_error* error) {
    if (!song) {
        FillError(error, QUAVIX_ERROR_ARGUMENT, "no song (a NULL pointer)");
        return QUAVIX_ERROR_ARGUMENT;
    }
    if (error) *error = song->LastError;
    return song->LastError.code;
}

const char* quavix_title(const quavix_song* song) { return song ? song->Title.c_str() : ""; }
const char* quavix_format(const quavix_song* song) { return song ? song->Format.c_str() : ""; }
const char* quavix_tracker(const quavix_song* song) { return song ? song->Tracker.c_str() : ""; }
const char* quavix_message(const quavix_song* song) { return song ? song->Message.c_str() : ""; }
int quavix_channel_count(const quavix_song* song) { return song ? song->ChannelCount : 0; }
int quavix_order_count(const quavix_song* song) { return song ? song->OrderCount : 0; }

int quavix_instrument_count(const quavix_song* song) {
    return song ? static_cast<int>(song->InstrumentNames.size()) : 0;
}

const char* quavix_instrument_name(const quavix_song* song, int index) {
    if (!song || index < 0 || static_cast<size_t>(index) >= song->InstrumentNames.size()) return nullptr;
    return song->InstrumentNames[static_cast<size_t>(index)].c_str();
}

int quavix_sample_count(const quavix_song* song) { return song ? static_cast<int>(song->SampleNames.size()) : 0; }

const char* quavix_sample_name(const quavix_song* song, int index) {
    if (!song || index < 0 || static_cast<size_t>(index) >= song->SampleNames.size()) return nullptr;
    return song->SampleNames[static_cast<size_t>(index)].c_str();
}

int64_t quavix_duration_frames(quavix_song* song) {
    if (!song) return -1;
    Measure(*song);
    return song->Subsongs[0].DurationFrames;
}

double quavix_duration(quavix_song* song) {
    const int64_t Frames = quavix_duration_frames(song);
    return Frames < 0 ? -1.0 : static_cast<double>(Frames) / song->Rate;
}

int quavix_subsong_count(quavix_song* song) {
    if (!song) return 0;
    Measure(*song);
    return static_cast<int>(song->Subsongs.size());
}

int quavix_subsong_first_order(quavix_song* song, int index) {
    if (index < 0 || index >= quavix_subsong_count(song)) return -1;
    return song->Subsongs[static_cast<size_t>(index)].FirstOrder;
}

double quavix_subsong_duration(quavix_song* song, int index) {
    if (index < 0 || index >= quavix_subsong_count(song)) return -1.0;
    const int64_t Frames = song->Subsongs[static_cast<size_t>(index)].DurationFrames;
    return Frames < 0 ? -1.0 : static_cast<double>(Frames) / song->Rate;
}

}  // extern "C"
