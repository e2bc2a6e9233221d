// The song files a command line names: files as given, folders walked for
// the songs they hold, and play lists (.m3u) read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "audio_file.h"
#include "cli.h"
#include "song/module.h"

namespace quavix_cli {

namespace {

namespace fs = std::filesystem;

// Play lists may name play lists; a list that names itself stops here.
constexpr int32_t MaxListDepth = 8;

// Enough of a file for every loader to tell its format: the signatures sit
// in the first 1084 bytes, the header of the 15-sample form in the first 600.
constexpr size_t ProbeBytes = 4096;

class TSongListing {
public:
    std::vector<TListedFile> Files;

    void Add(const std::string& Argument, int32_t Depth) {
        std::error_code Error;
        if (fs::is_directory(Argument, Error)) {
            const size_t Before = Files.size();
            Walk(fs::path(Argument), fs::path());
            if (Files.size() == Before) Files.push_back({Argument, "", "no module files in this folder"});
            return;
        }
        if (IsPlayList(Argument)) {
            ReadList(Argument, Depth);
            return;
        }
        // A file named as it is: whatever it holds, its turn says.
        Files.push_back({Argument, fs::path(Argument).filename().string(), ""});
    }

private:
    std::unique_ptr<TQuavixModule> Scratch;

    static bool IsPlayList(const std::string& Path) {
        std::string Extension = FileExtension(Path);
        std::transform(Extension.begin(), Extension.end(), Extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return Extension == ".m3u" || Extension == ".m3u8";
    }

    // A song by its content: the start of the file loads as a song of some
    // format, whole or cut short; only data that no loader takes for its
    // format is not a song.
    bool IsSong(const fs::path& Path) {
        std::FILE* File = std::fopen(Path.c_str(), "rb");
        if (!File) return false;
        std::vector<uint8_t> Start(ProbeBytes);
        Start.resize(std::fread(Start.data(), 1, Start.size(), File));
        std::fclose(File);
        if (!Scratch) Scratch.reset(new TQuavixModule());
        const TQuavixLoadResult Result = Scratch->LoadFromMemory(Start.data(), static_cast<uint32_t>(Start.size()));
        return Result.Error != TQuavixLoadError::NotModule;
    }

    // The songs under Folder, in name order, each folder's entries before
    // the next entry of its parent; names that start with a dot are hidden
    // and passed over. Relative is where Folder lies under the folder named.
    void Walk(const fs::path& Folder, const fs::path& Relative) {
        std::vector<fs::path> Entries;
        std::error_code Error;
        for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error))
            Entries.push_back(It->path());
        if (Error) {
            Files.push_back({Folder.string(), "", "cannot read this folder: " + Error.message()});
            return;
        }
        std::sort(Entries.begin(), Entries.end(),
                  [](const fs::path& A, const fs::path& B) { return A.filename().string() < B.filename().string(); });
        for (const fs::path& Entry : Entries) {
            const std::string Name = Entry.filename().string();
            if (Name.empty() || Name[0] == '.') continue;
            // Links to folders are not followed: they could lead round in a circle.
            if (fs::is_symlink(Entry, Error)) {
                if (fs::is_regular_file(Entry, Error) && IsSong(Entry))
                    Files.push_back({Entry.string(), (Relative / Name).string(), ""});
                continue;
            }
            if (fs::is_directory(Entry, Error)) {
                Walk(Entry, Relative / Name);
            } else if (fs::is_regular_file(Entry, Error) && IsSong(Entry)) {
                Files.push_back({Entry.string(), (Relative / Name).string(), ""});
            }
        }
    }

    // One path a line, relative to the list's folder; blank lines and lines
    // starting with # (the extended list's comments) are passed over.
    void ReadList(const std::string& List, int32_t Depth) {
        std::ifstream In(List, std::ios::binary);
        if (!In) {
            std::error_code Error;
            Files.push_back({List, "", fs::exists(List, Error) ? "cannot read this play list" : "cannot open: No such file or directory"});
            return;
        }
        if (Depth >= MaxListDepth) {
            Files.push_back({List, "", "play lists name each other more than " + std::to_string(MaxListDepth) + " deep"});
            return;
        }
        const fs::path Folder = fs::path(List).parent_path();
        std::string Line;
        bool First = true;
        while (std::getline(In, Line)) {
            // A byte order mark, and the line ends of other systems.
            if (First && Line.compare(0, 3, "\xEF\xBB\xBF") == 0) Line.erase(0, 3);
            First = false;
            while (!Line.empty() && (Line.back() == '\r' || Line.back() == ' ' || Line.back() == '\t')) Line.pop_back();
            const size_t Text = Line.find_first_not_of(" \t");
            if (Text == std::string::npos || Line[Text] == '#') continue;
            Line.erase(0, Text);
            const fs::path Entry(Line);
            Add(Entry.is_absolute() || Folder.empty() ? Line : (Folder / Entry).string(), Depth + 1);
        }
    }
};

}  // namespace

std::vector<TListedFile> ListSongFiles(const std::vector<std::string>& Arguments) {
    TSongListing Listing;
    for (const std::string& Argument : Arguments) Listing.Add(Argument, 0);
    return Listing.Files;
}

}  // namespace quavix_cli
