// Texts from song files: names as trackers pad them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song/song_text.h"
#include "support/case_names.h"

namespace {

struct TTrimCase : quavix_test::TNamedCase {
    std::string Text, Want;
};

std::vector<TTrimCase> TrimCases() {
    return {
        {"spaces on both ends", "  song  ", "song"},
        {"control bytes on both ends", std::string("\0\t\r\n song \x1f", 10), "song"},
        {"only spaces", "   ", ""},
        {"empty", "", ""},
        {"blanks inside are kept", "a  b", "a  b"},
        {"bytes above 127 are not blanks", "\xa0x\xe9", "\xa0x\xe9"},
        {"a folder and a line feed", "/home/user/music/ \n", "/home/user/music/"},
    };
}

class SongTextNamesLoseTheBytesUpToTheSpaceOnBothEnds : public ::testing::TestWithParam<TTrimCase> {};

TEST_P(SongTextNamesLoseTheBytesUpToTheSpaceOnBothEnds, NamesLoseTheBytesUpToTheSpaceOnBothEnds) {
    EXPECT_EQ(QuavixTrimBlanks(GetParam().Text), GetParam().Want);
}
INSTANTIATE_TEST_SUITE_P(SongText, SongTextNamesLoseTheBytesUpToTheSpaceOnBothEnds, ::testing::ValuesIn(TrimCases()),
                         quavix_test::TCaseName());

}  // namespace
