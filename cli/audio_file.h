// Audio files written by quavix render: WAV or FLAC through libsndfile. A
// file appears under its name only once it is complete: it is written under
// a temporary name beside it and renamed at the end, so a failed or
// interrupted render never leaves a truncated file behind.
#pragma once

#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

namespace quavix_cli {

// The libsndfile format for an output name, chosen by its extension: ".flac"
// gives FLAC, ".wav" or no extension WAV. False with Reason set for other
// extensions. "-" (standard output) is WAV.
bool AudioFormatFor(const std::string& Path, int32_t Bits, int& Format, std::string& Reason);

class TAudioFileWriter {
public:
    TAudioFileWriter() = default;
    ~TAudioFileWriter();
    TAudioFileWriter(const TAudioFileWriter&) = delete;
    TAudioFileWriter& operator=(const TAudioFileWriter&) = delete;

    // Path "-" writes to standard output. Bits 8 or 16.
    bool Open(const std::string& Path, int32_t Rate, int32_t Channels, int32_t Bits, std::string& Reason);
    // Frames of interleaved 16-bit samples; 8-bit files keep their high bytes.
    bool Write(const int16_t* Samples, int64_t Frames, std::string& Reason);
    // Completes the file and puts it under its name.
    bool Commit(std::string& Reason);
    // Drops an incomplete file: nothing is left under its name.
    void Abandon();

private:
    SNDFILE* File = nullptr;
    int Handle = -1;          // what libsndfile writes to
    bool OwnHandle = false;   // Handle is ours to close
    std::string Target;       // the output name; empty for standard output
    std::string TempPath;     // written first, then renamed or copied
    int CopyTo = -1;          // the pipe or FIFO that gets TempPath's bytes at the end

    bool CloseFile(std::string& Reason);
};

}  // namespace quavix_cli
