#include "audio_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

// libsndfile's reason, without its own "System error : " wording.
std::string SoundFileError(SNDFILE* File) {
    std::string Text = sf_strerror(File);
    const std::string Prefix = "System error : ";
    if (Text.compare(0, Prefix.size(), Prefix) == 0) Text.erase(0, Prefix.size());
    while (!Text.empty() && (Text.back() == '.' || Text.back() == ' ')) Text.pop_back();
    return Text;
}

int CurrentUmask() {
    mode_t Mask = umask(0);
    umask(Mask);
    return static_cast<int>(Mask);
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

bool AudioFormatFor(const std::string& Path, int32_t Bits, int& Format, std::string& Reason) {
    std::string Name = Path.substr(Path.find_last_of('/') == std::string::npos ? 0 : Path.find_last_of('/') + 1);
    size_t Dot = Name.find_last_of('.');
    // "." and ".." name folders, and a leading dot starts a hidden name.
    std::string Extension = (Dot == std::string::npos || Dot == 0 || Name == "..") ? "" : Lower(Name.substr(Dot));
    if (Path == "-" || Extension.empty() || Extension == ".wav") {
        Format = SF_FORMAT_WAV | (Bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        return true;
    }
    if (Extension == ".flac") {
        Format = SF_FORMAT_FLAC | (Bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
        return true;
    }
    Reason = "cannot write '" + Extension + "' files: name the output .wav or .flac";
    return false;
}

TAudioFileWriter::~TAudioFileWriter() { Abandon(); }

bool TAudioFileWriter::Open(const std::string& Path, int32_t Rate, int32_t Channels, int32_t Bits,
                            std::string& Reason) {
    SF_INFO Info{};
    Info.samplerate = Rate;
    Info.channels = Channels;
    if (!AudioFormatFor(Path, Bits, Info.format, Reason)) return false;

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
            size_t Slash = Path.find_last_of('/');
            std::string Dir = Slash == std::string::npos ? "" : Path.substr(0, Slash + 1);
            std::string Name = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
            Pattern = Dir + "." + Name + ".part-XXXXXX";
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

    File = sf_open_fd(Handle, SFM_WRITE, &Info, SF_FALSE);
    if (!File) {
        Reason = "cannot write: " + SoundFileError(nullptr);
        Abandon();
        return false;
    }
    return true;
}

bool TAudioFileWriter::Write(const int16_t* Samples, int64_t Frames, std::string& Reason) {
    if (Frames <= 0) return true;
    if (sf_writef_short(File, Samples, Frames) != Frames) {
        Reason = "cannot write: " + SoundFileError(File);
        return false;
    }
    return true;
}

bool TAudioFileWriter::CloseFile(std::string& Reason) {
    bool Ok = true;
    if (File) {
        // Closing writes the remaining data and completes the header.
        if (sf_close(File) != 0) {
            Reason = "cannot write: " + SoundFileError(nullptr);
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
    if (File) sf_close(File);
    File = nullptr;
    if (OwnHandle && Handle >= 0) close(Handle);
    Handle = -1;
    OwnHandle = false;
    if (!TempPath.empty()) unlink(TempPath.c_str());
    TempPath.clear();
    if (CopyTo >= 0 && CopyTo != STDOUT_FILENO) close(CopyTo);
    CopyTo = -1;
}

}  // namespace quavix_cli
