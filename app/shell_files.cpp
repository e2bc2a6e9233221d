#include "shell_files.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
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
    std::ofstream File(FileName, std::ios::binary | std::ios::trunc);
    if (File.is_open()) File << LastPath << '\n';
}

std::string FolderPart(const std::string& FileName) {
    size_t Slash = FileName.rfind('/');
    return Slash == std::string::npos ? "" : FileName.substr(0, Slash + 1);
}

std::string FilePart(const std::string& FileName) {
    size_t Slash = FileName.rfind('/');
    return Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
}

}  // namespace quavix_shell
