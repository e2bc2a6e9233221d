// The window's remembered state on disk and the file-name rules it lives by:
// the settings directory under the home directory, the one-line "lastpath"
// file, and the folder and file parts of a chosen name. No GTK here, so that
// every rule can be checked on its own.
#pragma once

#include <string>

namespace quavix_shell {

// Name of the settings directory under the home directory, and of the file
// in it that remembers the folder of the last file opened.
constexpr const char* SettingsDirName = "/.quavixplayer";
constexpr const char* LastPathFileName = "/lastpath";

// HomeDir + "/.quavixplayer"; Home is the value of "HOME", or null when it
// is unset (which gives "/.quavixplayer").
std::string SettingsDirFor(const char* Home);

// True when Dir is an existing directory or could be made (one level, mode
// 0777 before the umask).
bool PrepareSettingsDir(const std::string& Dir);

// The first line of the file, without its line end; empty when the file is
// missing or cannot be read.
std::string ReadLastPath(const std::string& FileName);

// Writes LastPath and a line feed to the file when LastPath holds more than
// blanks, replacing the old file at once (a new file renamed over it);
// otherwise deletes the file. A file that cannot be written is left as it
// is, without a message.
void SaveLastPath(const std::string& FileName, const std::string& LastPath);

// "/home/user/music/song.xm" -> "/home/user/music/" (up to and including the
// last "/"; empty without one) and "song.xm" (after the last "/"; the whole
// name without one).
std::string FolderPart(const std::string& FileName);
std::string FilePart(const std::string& FileName);

}  // namespace quavix_shell
