#include "audio_file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <type_traits>
#include <utility>

namespace quavix_cli {

namespace {

std::string Lower(std::string Text) {
    for (char& c : Text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

std::string SystemError(const std::string& What) { return What + ": " + std::strerror(errno); }

// Opens an existing file, device or FIFO for writing; -1 with Reason set
// when it cannot be.
int OpenForWriting(const std::string& Path, std::string& Reason) {
    const int Handle = open(Path.c_str(), O_WRONLY | O_CLOEXEC);
    if (Handle < 0) Reason = SystemError("cannot write");
    return Handle;
}

// The functions of libsndfile the writer uses, found when the library is
// loaded.
struct TSoundFileLibrary {
    SNDFILE* (*OpenFd)(int, int, SF_INFO*, int) = nullptr;
    const char* (*StrError)(SNDFILE*) = nullptr;
    int (*Command)(SNDFILE*, int, void*, int) = nullptr;
    int (*SetString)(SNDFILE*, int, const char*) = nullptr;
    sf_count_t (*WriteFloats)(SNDFILE*, const float*, sf_count_t) = nullptr;
    sf_count_t (*WriteShorts)(SNDFILE*, const short*, sf_count_t) = nullptr;
    int (*Close)(SNDFILE*) = nullptr;
};

// libsndfile, loaded on first use (under LibraryLock); null with Reason set
// when it cannot be.
const TSoundFileLibrary* SoundFileLibrary(std::string& Reason) {
    static TSoundFileLibrary Library;
    static bool Tried = false, Loaded = false;
    static std::string Problem;
    if (!Tried) {
        Tried = true;
        void* Handle = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!Handle) {
            const char* Why = dlerror();
            Problem = std::string("libsndfile cannot be loaded (") + (Why ? Why : "not found") + ")";
        } else {
            auto Find = [Handle](auto& Function, const char* Name) {
                Function = reinterpret_cast<std::remove_reference_t<decltype(Function)>>(dlsym(Handle, Name));
                return Function != nullptr;
            };
            Loaded = Find(Library.OpenFd, "sf_open_fd") && Find(Library.StrError, "sf_strerror") &&
                     Find(Library.Command, "sf_command") && Find(Library.SetString, "sf_set_string") &&
                     Find(Library.WriteFloats, "sf_writef_float") && Find(Library.WriteShorts, "sf_writef_short") &&
                     Find(Library.Close, "sf_close");
            if (!Loaded) Problem = "libsndfile lacks a function the writer needs";
        }
    }
    if (!Loaded) Reason = Problem;
    return Loaded ? &Library : nullptr;
}

// libsndfile's reason, without its own "System error : " wording.
std::string SoundFileError(const TSoundFileLibrary& Library, SNDFILE* File) {
    std::string Text = Library.StrError(File);
    const std::string Prefix = "System error : ";
    if (Text.compare(0, Prefix.size(), Prefix) == 0) Text.erase(0, Prefix.size());
    while (!Text.empty() && (Text.back() == '.' || Text.back() == ' ')) Text.pop_back();
    return Text;
}

// The process's file-creation mask, read once: reading it means setting it,
// which renders on other threads must not see.
int CurrentUmask() {
    static const int Mask = [] {
        const mode_t Old = umask(0);
        umask(Old);
        return static_cast<int>(Old);
    }();
    return Mask;
}

bool WriteAll(int Handle, const char* Data, size_t Size) {
    while (Size > 0) {
        ssize_t Count = write(Handle, Data, Size);
        if (Count < 0 && errno == EINTR) continue;
        if (Count <= 0) return false;
        Data += Count;
        Size -= static_cast<size_t>(Count);
    }
    return true;
}

}  // namespace

namespace {

// The formats, in the order messages list them.
const TAudioFormat Formats[] = {
    {"wav", SF_FORMAT_WAV, false, {}},
    {"flac", SF_FORMAT_FLAC, false, {}},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true, {}},
    // Opus encodes at these rates only; render takes 48000 Hz for it.
    {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, true, {8000, 12000, 16000, 24000, 48000}},
    {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, true,
     {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}},
};

// libsndfile keeps the reason of a failed open, and its encoders build
// shared tables when they start, in state of the whole library: renders
// running side by side open and close their files one at a time.
std::mutex LibraryLock;

}  // namespace

std::string AudioFormatNames(const std::string& Prefix) {
    std::string Names;
    const size_t Count = sizeof(Formats) / sizeof(Formats[0]);
    for (size_t i = 0; i < Count; ++i)
        Names += (i == 0 ? "" : i + 1 == Count ? " or " : ", ") + Prefix + Formats[i].Name;
    return Names;
}

bool FindAudioFormat(const std::string& Name, TAudioFormat& Format) {
    for (const TAudioFormat& Known : Formats)
        if (Known.Name == Name) {
            Format = Known;
            return true;
        }
    return false;
}

std::string FileExtension(const std::string& Path) {
    // From the last dot of the file name on: none for "." and "..", which
    // name folders, nor for a hidden name's leading dot.
    return Lower(std::filesystem::path(Path).extension().string());
}

bool AudioFormatFor(const std::string& Path, const std::string& Named, TAudioFormat& Format, std::string& Reason) {
    const std::string Extension = Path == "-" ? "" : FileExtension(Path);
    TAudioFormat ByName;
    const bool Known = !Extension.empty() && FindAudioFormat(Extension.substr(1), ByName);
    if (!Named.empty()) {
        if (!FindAudioFormat(Named, Format)) {
            Reason = "unknown format '" + Named + "': give " + AudioFormatNames();
            return false;
        }
        if (Known && ByName.Name != Format.Name) {
            Reason = "the name says " + ByName.Name + " but --format says " + Format.Name;
            return false;
        }
        return true;
    }
    if (Known || Extension.empty()) {
        Format = Known ? ByName : Formats[0];
        return true;
    }
    Reason = "cannot write '" + Extension + "' files: name the output " + AudioFormatNames(".") + ", or give --format";
    return false;
}

TAudioFileWriter::~TAudioFileWriter() { Abandon(); }

bool TAudioFileWriter::Open(const std::string& Path, const TAudioFormat& Format, int32_t Rate, int32_t Channels,
                            int32_t Bits, int32_t Quality, std::string& Reason) {
    SF_INFO Info{};
    Info.samplerate = Rate;
    Info.channels = Channels;
    Info.format = Format.Major;
    // WAV keeps 8-bit audio unsigned, FLAC signed; lossy encoders take floats
    // whatever the render's width.
    if (Format.Major == SF_FORMAT_WAV) Info.format |= Bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16;
    if (Format.Major == SF_FORMAT_FLAC) Info.format |= Bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16;

    struct stat Status;
    const bool ToStdout = Path == "-";
    const bool Exists = !ToStdout && stat(Path.c_str(), &Status) == 0;
    if (ToStdout) fstat(STDOUT_FILENO, &Status);
    if (Exists && S_ISDIR(Status.st_mode)) {
        Reason = "is a directory";
        return false;
    }
    const bool Stream = (ToStdout || Exists) && (S_ISFIFO(Status.st_mode) || S_ISSOCK(Status.st_mode));
    const bool Direct = (ToStdout || Exists) && !Stream && (ToStdout || !S_ISREG(Status.st_mode));

    if (Direct) {
        // A device such as /dev/null, or standard output sent to a file: the
        // data goes straight there.
        if (ToStdout) {
            Handle = STDOUT_FILENO;
        } else {
            Handle = OpenForWriting(Path, Reason);
            if (Handle < 0) return false;
            OwnHandle = true;
        }
    } else {
        // WAV and FLAC headers are completed at the end, which a pipe cannot
        // take: the file is written in full first. A regular file is written
        // beside its final name and renamed into place.
        std::string Pattern;
        if (Stream) {
            const char* Dir = std::getenv("TMPDIR");
            Pattern = std::string(Dir && *Dir ? Dir : "/tmp") + "/quavix-render-XXXXXX";
            if (ToStdout) {
                CopyTo = STDOUT_FILENO;
            } else {
                CopyTo = OpenForWriting(Path, Reason);
                if (CopyTo < 0) return false;
            }
        } else {
            const std::filesystem::path Parts(Path);
            Pattern = std::filesystem::path(Parts).remove_filename().string() + "." + Parts.filename().string() +
                      ".part-XXXXXX";
            Target = Path;
        }
        std::string Buffer = Pattern;
        Handle = mkstemp(&Buffer[0]);
        if (Handle < 0) {
            Reason = SystemError("cannot write");
            return false;
        }
        TempPath = Buffer;
        OwnHandle = true;
        // The file gets the permissions of any new file, not mkstemp's 0600.
        fchmod(Handle, static_cast<mode_t>(0666 & ~CurrentUmask()));
    }

    this->Channels = Channels;
    if (Format.Major == SF_FORMAT_WAV) {
        Wave = true;
        this->Rate = Rate;
        this->Bits = Bits == 8 ? 8 : 16;
        return true;
    }
    {
        std::lock_guard<std::mutex> Guard(LibraryLock);
        std::string Problem;
        const TSoundFileLibrary* Library = SoundFileLibrary(Problem);
        if (!Library)
            Reason = "cannot write: " + Problem;
        else if (!(File = Library->OpenFd(Handle, SFM_WRITE, &Info, SF_FALSE)))
            Reason = "cannot write: " + SoundFileError(*Library, nullptr);
    }
    if (!File) {
        Abandon();
        return false;
    }
    AsFloat = Format.Lossy;
    if (Format.Lossy && Quality >= 0) {
        // libsndfile's scale runs from 0.0 (smallest) to 1.0 (best).
        double Level = Quality / 10.0;
        std::string Unused;
        SoundFileLibrary(Unused)->Command(File, SFC_SET_VBR_ENCODING_QUALITY, &Level, sizeof(Level));
    }
    return true;
}

namespace {

void PutWord(std::vector<uint8_t>& Out, uint32_t Value, int Bytes) {
    for (int i = 0; i < Bytes; ++i) Out.push_back(static_cast<uint8_t>(Value >> (8 * i)));
}

void PutId(std::vector<uint8_t>& Out, const char* Id) { Out.insert(Out.end(), Id, Id + 4); }

}  // namespace

bool TAudioFileWriter::WriteWaveHeader(std::string& Reason) {
    // RIFF, the PCM format, the tags as INFO strings of a LIST chunk (each
    // with its closing zero, padded to an even length) and the data's own
    // header; the two sizes are filled in at the end.
    std::vector<uint8_t> Header;
    PutId(Header, "RIFF");
    PutWord(Header, 0, 4);
    PutId(Header, "WAVE");
    PutId(Header, "fmt ");
    PutWord(Header, 16, 4);
    PutWord(Header, 1, 2);  // PCM
    PutWord(Header, static_cast<uint32_t>(Channels), 2);
    PutWord(Header, static_cast<uint32_t>(Rate), 4);
    const uint32_t FrameBytes = static_cast<uint32_t>(Channels * Bits / 8);
    PutWord(Header, static_cast<uint32_t>(Rate) * FrameBytes, 4);
    PutWord(Header, FrameBytes, 2);
    PutWord(Header, static_cast<uint32_t>(Bits), 2);
    std::vector<uint8_t> Info;
    const std::pair<const char*, const std::string*> Strings[] = {
        {"INAM", &WaveTags.Title}, {"ICMT", &WaveTags.Comment}, {"ISFT", &WaveTags.Software}};
    for (const auto& [Id, Text] : Strings) {
        if (Text->empty()) continue;
        const uint32_t Size = static_cast<uint32_t>((Text->size() + 2) & ~static_cast<size_t>(1));
        PutId(Info, Id);
        PutWord(Info, Size, 4);
        Info.insert(Info.end(), Text->begin(), Text->end());
        Info.resize(Info.size() + (Size - Text->size()), 0);
    }
    if (!Info.empty()) {
        PutId(Header, "LIST");
        PutWord(Header, static_cast<uint32_t>(Info.size() + 4), 4);
        PutId(Header, "INFO");
        Header.insert(Header.end(), Info.begin(), Info.end());
    }
    PutId(Header, "data");
    PutWord(Header, 0, 4);
    HeaderBytes = static_cast<int64_t>(Header.size());
    HeaderWritten = true;
    if (!WriteAll(Handle, reinterpret_cast<const char*>(Header.data()), Header.size())) {
        Reason = SystemError("cannot write");
        return false;
    }
    return true;
}

bool TAudioFileWriter::FinishWave(std::string& Reason) {
    if (!HeaderWritten && !WriteWaveHeader(Reason)) return false;
    // An odd count of data bytes takes a pad byte after them.
    if (DataBytes % 2 != 0 && !WriteAll(Handle, "", 1)) {
        Reason = SystemError("cannot write");
        return false;
    }
    // The sizes, where the output can take them (a device that cannot seek
    // keeps the header as it went out).
    const int64_t Total = HeaderBytes + DataBytes + DataBytes % 2;
    std::vector<uint8_t> Riff, Data;
    PutWord(Riff, static_cast<uint32_t>(std::min<int64_t>(Total - 8, UINT32_MAX)), 4);
    PutWord(Data, static_cast<uint32_t>(std::min<int64_t>(DataBytes, UINT32_MAX)), 4);
    if (pwrite(Handle, Riff.data(), 4, 4) != 4 || pwrite(Handle, Data.data(), 4, HeaderBytes - 4) != 4) {
        if (errno != ESPIPE) {
            Reason = SystemError("cannot write");
            return false;
        }
    }
    return true;
}

void TAudioFileWriter::Tag(const TAudioTags& Tags) {
    // WAV keeps them in a LIST chunk before its data, FLAC, Ogg Vorbis and
    // Opus as comments, MP3 in an ID3 tag. A string a format cannot carry is
    // left out without a word: the audio is what matters.
    const std::pair<int, const std::string*> Strings[] = {
        {SF_STR_TITLE, &Tags.Title}, {SF_STR_COMMENT, &Tags.Comment}, {SF_STR_SOFTWARE, &Tags.Software}};
    if (Wave) {
        WaveTags = Tags;
        return;
    }
    std::string Unused;
    for (const auto& [Kind, Text] : Strings)
        if (File && !Text->empty()) SoundFileLibrary(Unused)->SetString(File, Kind, Text->c_str());
}

bool TAudioFileWriter::Write(const int16_t* Samples, int64_t Frames, std::string& Reason) {
    if (Frames <= 0) return true;
    if (Wave) {
        if (!HeaderWritten && !WriteWaveHeader(Reason)) return false;
        // Little-endian 16-bit values (on a little-endian machine the
        // samples as they are), or 8-bit ones kept unsigned (each sample's
        // high byte, offset by 128).
        const size_t Values = static_cast<size_t>(Frames * Channels);
        const char* Out = reinterpret_cast<const char*>(Samples);
        size_t Size = 2 * Values;
        if (Bits == 8) {
            Bytes.resize(Values);
            for (size_t i = 0; i < Values; ++i)
                Bytes[i] = static_cast<uint8_t>((static_cast<uint16_t>(Samples[i]) >> 8) ^ 0x80);
            Out = reinterpret_cast<const char*>(Bytes.data());
            Size = Values;
        } else if (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__) {
            Bytes.resize(Size);
            for (size_t i = 0; i < Values; ++i) {
                const uint16_t Value = static_cast<uint16_t>(Samples[i]);
                Bytes[2 * i] = static_cast<uint8_t>(Value);
                Bytes[2 * i + 1] = static_cast<uint8_t>(Value >> 8);
            }
            Out = reinterpret_cast<const char*>(Bytes.data());
        }
        if (!WriteAll(Handle, Out, Size)) {
            Reason = SystemError("cannot write");
            return false;
        }
        DataBytes += static_cast<int64_t>(Size);
        return true;
    }
    std::string Unused;
    const TSoundFileLibrary& Library = *SoundFileLibrary(Unused);
    sf_count_t Written;
    if (AsFloat) {
        // Full scale is 1.0: 16-bit samples over 32768, exactly.
        Floats.resize(static_cast<size_t>(Frames * Channels));
        for (size_t i = 0; i < Floats.size(); ++i) Floats[i] = static_cast<float>(Samples[i]) / 32768.0f;
        Written = Library.WriteFloats(File, Floats.data(), Frames);
    } else {
        Written = Library.WriteShorts(File, Samples, Frames);
    }
    if (Written != Frames) {
        Reason = "cannot write: " + SoundFileError(Library, File);
        return false;
    }
    return true;
}

bool TAudioFileWriter::CloseFile(std::string& Reason) {
    bool Ok = true;
    if (Wave && Handle >= 0) {
        Ok = FinishWave(Reason);
        Wave = false;
    }
    if (File) {
        // Closing writes the remaining data and completes the header.
        std::lock_guard<std::mutex> Guard(LibraryLock);
        std::string Unused;
        const TSoundFileLibrary& Library = *SoundFileLibrary(Unused);
        if (Library.Close(File) != 0) {
            Reason = "cannot write: " + SoundFileError(Library, nullptr);
            Ok = false;
        }
        File = nullptr;
    }
    if (OwnHandle && Handle >= 0) {
        if (close(Handle) != 0 && Ok) {
            Reason = SystemError("cannot write");
            Ok = false;
        }
    }
    Handle = -1;
    OwnHandle = false;
    return Ok;
}

bool TAudioFileWriter::Commit(std::string& Reason) {
    if (!CloseFile(Reason)) {
        Abandon();
        return false;
    }
    if (!TempPath.empty() && CopyTo >= 0) {
        int Source = open(TempPath.c_str(), O_RDONLY | O_CLOEXEC);
        bool Ok = Source >= 0;
        char Block[65536];
        while (Ok) {
            ssize_t Count = read(Source, Block, sizeof(Block));
            if (Count < 0 && errno == EINTR) continue;
            if (Count < 0) {
                Reason = SystemError("cannot read the rendered audio");
                Ok = false;
            } else if (Count == 0) {
                break;
            } else if (!WriteAll(CopyTo, Block, static_cast<size_t>(Count))) {
                Reason = SystemError("cannot write");
                Ok = false;
            }
        }
        if (Source < 0) Reason = SystemError("cannot read the rendered audio");
        if (Source >= 0) close(Source);
        Abandon();
        return Ok;
    }
    if (!TempPath.empty()) {
        if (rename(TempPath.c_str(), Target.c_str()) != 0) {
            Reason = SystemError("cannot write");
            Abandon();
            return false;
        }
        TempPath.clear();
    }
    return true;
}

void TAudioFileWriter::Abandon() {
    if (File) {
        std::lock_guard<std::mutex> Guard(LibraryLock);
        std::string Unused;
        SoundFileLibrary(Unused)->Close(File);
    }
    File = nullptr;
    Wave = false;
    if (OwnHandle && Handle >= 0) close(Handle);
    Handle = -1;
    OwnHandle = false;
    if (!TempPath.empty()) unlink(TempPath.c_str());
    TempPath.clear();
    if (CopyTo >= 0 && CopyTo != STDOUT_FILENO) close(CopyTo);
    CopyTo = -1;
}

}  // namespace quavix_cli
