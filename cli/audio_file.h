// Audio files written by quavix render: WAV by the writer itself, FLAC, Ogg
// Vorbis, Ogg Opus and MP3 through libsndfile, which is loaded when the first
// such file is opened (a WAV render never loads it, nor the encoders it
// brings along: a megabyte of memory). A file appears under its name only once it is
// complete: it is written under a temporary name beside it and renamed at
// the end, so a failed or interrupted render never leaves a truncated file
// behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace quavix_cli {

struct TAudioFormat {
    std::string Name;       // "wav", "flac", "ogg", "opus", "mp3": also the extension
    int Major = 0;          // libsndfile's container and encoding, without the sample width
    bool Lossy = false;     // takes a quality
    std::vector<int32_t> Rates;  // the only rates the encoder takes; empty: any
};

// The names of the formats for messages, each after Prefix: "wav, flac,
// ogg, opus or mp3", or with Prefix "." the extensions.
std::string AudioFormatNames(const std::string& Prefix = "");
// The format called Name (lower case); false when there is none.
bool FindAudioFormat(const std::string& Name, TAudioFormat& Format);
// The format of an output: Named (a --format value) when given, else the
// output's extension; WAV for standard output ("-") and for names without
// an extension. False with Reason set for an extension no format has, and
// for a --format that another audio extension of the name contradicts.
bool AudioFormatFor(const std::string& Path, const std::string& Named, TAudioFormat& Format, std::string& Reason);
// The extension of Path's file name, lower case with its dot ("" when none).
std::string FileExtension(const std::string& Path);

// What a rendered file says about itself, each text UTF-8 (empty: left out).
struct TAudioTags {
    std::string Title;
    std::string Comment;
    std::string Software;
};

class TAudioFileWriter {
public:
    TAudioFileWriter() = default;
    ~TAudioFileWriter();
    TAudioFileWriter(const TAudioFileWriter&) = delete;
    TAudioFileWriter& operator=(const TAudioFileWriter&) = delete;

    // Path "-" writes to standard output. Bits 8 or 16 (the sample width of
    // WAV and FLAC; lossy formats take what they are given). Quality 0..10
    // for the lossy formats, -1 for the library's usual.
    bool Open(const std::string& Path, const TAudioFormat& Format, int32_t Rate, int32_t Channels, int32_t Bits,
              int32_t Quality, std::string& Reason);
    // Puts the tags in the file, as far as its format carries them (MP3
    // files get no software tag: their encoder names itself there). Called
    // between Open and the first Write.
    void Tag(const TAudioTags& Tags);
    // Frames of interleaved 16-bit samples; 8-bit files keep their high bytes.
    bool Write(const int16_t* Samples, int64_t Frames, std::string& Reason);
    // Completes the file and puts it under its name.
    bool Commit(std::string& Reason);
    // Drops an incomplete file: nothing is left under its name.
    void Abandon();

private:
    SNDFILE* File = nullptr;
    int32_t Channels = 0;
    // A WAV file, written here: its header goes out before the first frames
    // (or at the end, for a file without any) and gets its sizes at the end.
    bool Wave = false;
    bool HeaderWritten = false;
    int32_t Rate = 0;
    int32_t Bits = 16;
    TAudioTags WaveTags;
    int64_t HeaderBytes = 0;
    int64_t DataBytes = 0;
    std::vector<uint8_t> Bytes;  // the frames of one Write as the file stores them
    // Lossy encoders are handed floats: the MP3 writer of some libsndfile
    // releases garbles 16-bit stereo frames, never float ones.
    bool AsFloat = false;
    std::vector<float> Floats;
    int Handle = -1;          // what libsndfile writes to
    bool OwnHandle = false;   // Handle is ours to close
    std::string Target;       // the output name; empty for standard output
    std::string TempPath;     // written first, then renamed or copied
    int CopyTo = -1;          // the pipe or FIFO that gets TempPath's bytes at the end

    bool CloseFile(std::string& Reason);
    bool WriteWaveHeader(std::string& Reason);
    bool FinishWave(std::string& Reason);
};

}  // namespace quavix_cli
