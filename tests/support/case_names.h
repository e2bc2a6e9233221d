// Names for the cases of a parameterised test, so that ctest lists each case
// and a failing one runs alone: the case's Name, every character that cannot
// stand in a test name made '_'. Names must differ within a suite (gtest
// refuses the suite otherwise).
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace quavix_test {

inline std::string TestNameOf(const std::string& Text) {
    std::string Name;
    for (char c : Text) {
        const bool Kept = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (Kept)
            Name += c;
        else if (!Name.empty() && Name.back() != '_')
            Name += '_';
    }
    while (!Name.empty() && Name.back() == '_') Name.pop_back();
    return Name.empty() ? "empty" : Name;
}

// The start of every case of a parameterised test: its name, which gtest also
// prints wherever it shows the case (the listing, a failure).
struct TNamedCase {
    std::string Name;
    friend std::ostream& operator<<(std::ostream& Out, const TNamedCase& Case) { return Out << Case.Name; }
};

struct TCaseName {
    template <typename TCase>
    std::string operator()(const ::testing::TestParamInfo<TCase>& Info) const {
        return TestNameOf(Info.param.Name);
    }
};

}  // namespace quavix_test
