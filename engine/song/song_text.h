// Texts from song files (titles, names, messages). Trackers stored them as
// plain bytes: newer ones UTF-8, older ones Latin-1.
#pragma once

#include <string>
#include <vector>

// The text as valid UTF-8: well-formed UTF-8 sequences stay as they are, any
// other byte above 127 is taken as the Latin-1 character of that number.
// With ReplaceControls, control characters (below 32, 127, and Latin-1's
// 128..159) become '?', for places that cannot show them.
std::string SongTextToUtf8(const std::string& Text, bool ReplaceControls);

// A name as trackers pad it: the text without its leading and trailing
// blanks, the bytes up to the space (codes 0..32). Bytes above 127 are
// characters, not blanks.
std::string QuavixTrimBlanks(const std::string& Text);

// The lines of a song's message, whatever line ends it uses (CR, LF or CR
// LF); trailing empty lines dropped.
std::vector<std::string> QuavixMessageLines(const std::string& Text);
