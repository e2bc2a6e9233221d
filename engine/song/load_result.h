// What a load attempt came to: a song, or the reason there is none, in one
// line a user can act on. Its truth value is success, so that a caller that
// only asks whether the song loaded reads as with a plain flag:
//
//   if (!Module.LoadFromFile(Name)) ...
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class TQuavixLoadError : uint8_t {
    None,         // the song loaded
    NotModule,    // the data is not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file
    Damaged,      // it is one, but a part the song cannot do without is cut short
    Unsupported,  // it is one, in a variant this player does not play
    TooLarge,     // more data than a song is read from, or more memory than there is
    CannotRead,   // the file cannot be opened or read
};

class TQuavixLoadResult {
public:
    TQuavixLoadError Error = TQuavixLoadError::None;
    // Empty on success; otherwise starts with what the file is taken for:
    // "not a module file (...)", "damaged Extended Module file: its song
    // header is cut short", "cannot open: No such file or directory", ...
    std::string Reason;
    // On success, what the file announces but does not hold, each part
    // loaded as silence: "3 samples are cut short", "2 patterns are
    // missing". Empty for a whole file.
    std::vector<std::string> Warnings;

    TQuavixLoadResult() = default;
    TQuavixLoadResult(TQuavixLoadError AError, std::string AReason) : Error(AError), Reason(std::move(AReason)) {}

    explicit operator bool() const { return Error == TQuavixLoadError::None; }

    // A warning that Count parts ("sample", "pattern", "instrument") are What
    // ("cut short", "missing"); none for a count of 0.
    void Warn(int32_t Count, const std::string& Part, const std::string& What) {
        if (Count <= 0) return;
        Warnings.push_back(std::to_string(Count) + " " + Part + (Count == 1 ? " is " : "s are ") + What);
    }

    static TQuavixLoadResult NotModule(
        const std::string& Why = "not an Extended Module, pattern-format, Scream Tracker 3 or Impulse Tracker file") {
        return {TQuavixLoadError::NotModule, "not a module file (" + Why + ")"};
    }
    // Format is the file's kind as users know it ("Extended Module"); Missing
    // says which part of it is missing ("its song header is cut short").
    static TQuavixLoadResult Damaged(const std::string& Format, const std::string& Missing) {
        return {TQuavixLoadError::Damaged, "damaged " + Format + " file: " + Missing};
    }
    static TQuavixLoadResult Unsupported(const std::string& Format, const std::string& Variant) {
        return {TQuavixLoadError::Unsupported, "unsupported " + Format + " file: " + Variant};
    }
    static TQuavixLoadResult TooLarge(const std::string& Why) {
        return {TQuavixLoadError::TooLarge, "too large " + Why};
    }
    // What failed ("cannot open", "cannot read") and the system's words for
    // why; a folder is "is a directory", as the tool says of any path.
    static TQuavixLoadResult CannotRead(const std::string& Why) { return {TQuavixLoadError::CannotRead, Why}; }
};
