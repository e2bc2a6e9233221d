// The list of loaders: each file goes to the loader that reads it, formats
// with a signature before the one judged by its header, and the reason a
// file does not load comes from the loader whose signature it carries.
#include <gtest/gtest.h>

#include <string>

#include "loader_checks.h"
#include "support/case_names.h"

using namespace quavix_test;

namespace {

struct TLoaderCase : TNamedCase {
    TBytes File;
    TQuavixLoadError Error;
    TQuavixFormat Format;  // when it loads
    std::string Reason;    // the start of the reason, when it does not
};

TModSong FifteenSample() {
    TModSong Song = SmallMod();
    Song.Tag = "";
    Song.Samples.resize(15);
    return Song;
}

// Its title carries the Extended Module signature; the second sample's name
// ends where that header keeps its channel count, which it makes 65535.
TModSong TitledLikeAnExtendedModule() {
    TModSong Song = SmallMod();
    Song.Title = "Extended Module: ab";
    Song.Samples.resize(2);
    Song.Samples[1].Name = std::string(18, 'x') + "\xff\xff";
    return Song;
}

TXmSong XmCutInItsHeader() {
    TXmSong Song = SmallXm();
    Song.CutBytes = static_cast<uint32_t>(WriteXm(Song).size()) - 100;
    return Song;
}

TModSong UnknownTag() {
    TModSong Song = SmallMod();
    Song.Tag = "ABCD";
    return Song;
}

class Loaders : public ::testing::TestWithParam<TLoaderCase> {};

TEST_P(Loaders, EachFileGoesToTheLoaderThatReadsIt) {
    const TLoaderCase& Case = GetParam();
    TQuavixModule M;
    const TQuavixLoadResult Result = LoadBytes(M, Case.File);
    EXPECT_EQ(Result.Error, Case.Error) << Result.Reason;
    if (Result) {
        EXPECT_EQ(M.Format, Case.Format);
    } else {
        EXPECT_EQ(Result.Reason.substr(0, Case.Reason.size()), Case.Reason);
        EXPECT_TRUE(IsCleared(M));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Loaders,
    ::testing::Values(
        TLoaderCase{{"an Extended Module"}, WriteXm(SmallXm()), TQuavixLoadError::None, TQuavixFormat::ExtendedModule, ""},
        TLoaderCase{{"a tagged pattern-format song"}, WriteMod(SmallMod()), TQuavixLoadError::None,
                    TQuavixFormat::PatternFormat, ""},
        TLoaderCase{{"a Scream Tracker 3 module"}, WriteS3m(SmallS3m()), TQuavixLoadError::None,
                    TQuavixFormat::ScreamTracker3, ""},
        TLoaderCase{{"a 15-sample song"}, WriteMod(FifteenSample()), TQuavixLoadError::None,
                    TQuavixFormat::PatternFormat, ""},
        // The Extended Module loader, whose signature the title carries,
        // cannot read it; the next loader can.
        TLoaderCase{{"a pattern-format song titled like an Extended Module"}, WriteMod(TitledLikeAnExtendedModule()),
                    TQuavixLoadError::None, TQuavixFormat::PatternFormat, ""},
        // An unknown tag leaves the 15-sample form, whose checks refuse it.
        TLoaderCase{{"an unknown tag"}, WriteMod(UnknownTag()), TQuavixLoadError::NotModule, TQuavixFormat::None,
                    "not a module file"},
        TLoaderCase{{"an Extended Module cut in its header"}, WriteXm(XmCutInItsHeader()), TQuavixLoadError::Damaged,
                    TQuavixFormat::None, "damaged Extended Module file"},
        TLoaderCase{{"no data"}, TBytes(), TQuavixLoadError::NotModule, TQuavixFormat::None,
                    "not a module file (the file is empty)"}),
    TCaseName());

}  // namespace
