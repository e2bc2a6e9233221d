#include "shell_files.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <glib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "song/song_text.h"

namespace quavix_shell {

std::string SettingsDirFor(const char* Home) {
    return std::string(Home ? Home : "") + SettingsDirName;
}

bool PrepareSettingsDir(const std::string& Dir) {
    struct stat Info;
    if (stat(Dir.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode)) return true;
    return mkdir(Dir.c_str(), 0777) == 0;
}

std::string ReadLastPath(const std::string& FileName) {
    std::ifstream File(FileName, std::ios::binary);
    if (!File.is_open()) return "";
    std::string Line;
    char c;
    // A line ends at a line feed, a carriage return or both, so that a file
    // edited by hand on another system still gives the bare folder.
    while (File.get(c) && c != '\n' && c != '\r') Line += c;
    return Line;
}

void SaveLastPath(const std::string& FileName, const std::string& LastPath) {
    if (QuavixTrimBlanks(LastPath).empty()) {
        std::remove(FileName.c_str());
        return;
    }
    // Written beside the old file and renamed over it, so that a crash or a
    // full disk leaves the old folder or the new one, never a part of one.
    // A folder that is not remembered is no error worth showing.
    const std::string Line = LastPath + '\n';
    GError* Error = nullptr;
    if (!g_file_set_contents(FileName.c_str(), Line.data(), static_cast<gssize>(Line.size()), &Error))
        g_error_free(Error);
}

std::string FolderPart(const std::string& FileName) {
    return std::filesystem::path(FileName).remove_filename().string();
}

std::string FilePart(const std::string& FileName) { return std::filesystem::path(FileName).filename().string(); }

}  // namespace quavix_shell
