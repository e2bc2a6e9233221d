// Writes the files the window is driven with into one folder:
//   titled.xm  a song titled "Quavix Window Song" that sounds from its first row
//   blank.xm   the same song with a title of spaces
//   notes.txt  a text file, which is no module
#include <cstdio>
#include <string>

#include "support/module_writer.h"

using namespace quavix_test;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string Folder = argv[1];

    // A looped square wave on both channels, struck again on every fourth
    // row, so that the song never falls silent while it plays.
    TXmSong Song = SmallXm();
    Song.Title = "Quavix Window Song";
    TXmPattern Pattern(16, {});
    for (int32_t Row = 0; Row < 16; Row += 4) {
        Pattern.Cells.push_back(At(Row, 0, Note(Row % 8 ? "G-4" : "C-4"), 1));
        Pattern.Cells.push_back(At(Row, 1, Note("C-3"), 1));
    }
    Song.Patterns = {Pattern};
    SaveBytes(Folder + "/titled.xm", WriteXm(Song));

    Song.Title = "      ";
    SaveBytes(Folder + "/blank.xm", WriteXm(Song));

    const std::string Text = "Quavix Player plays tracker modules; this is a text file.\n";
    SaveBytes(Folder + "/notes.txt", TBytes(Text.begin(), Text.end()));
    return 0;
}
