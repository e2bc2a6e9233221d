// Texts from song files: names as trackers pad them.
#include <gtest/gtest.h>

#include <string>

#include "song/song_text.h"

namespace {

TEST(SongText, NamesLoseTheBytesUpToTheSpaceOnBothEnds) {
    struct Case {
        std::string Text, Want;
    };
    const Case Cases[] = {
        {"  song  ", "song"},
        {std::string("\0\t\r\n song \x1f", 10), "song"},
        {"   ", ""},
        {"", ""},
        {"a  b", "a  b"},
        {"\xa0x\xe9", "\xa0x\xe9"},  // bytes above 127 are not blanks
        {"/home/user/music/ \n", "/home/user/music/"},
    };
    for (const Case& C : Cases) EXPECT_EQ(QuavixTrimBlanks(C.Text), C.Want) << C.Text;
}

}  // namespace
