// A random record for the tests that compare a fast pass with a plain
// rule: nested groups, arrays, REDEFINES of the sibling before, repeated
// names, FILLER and the usages of different sizes.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace cobdef_testing {

class record_maker {
public:
    // An OCCURS clause gives from 2 to 1 + `occurs_above` occurrences.
    explicit record_maker(uint32_t seed, int occurs_above = 3) : rng_(seed), occurs_above_(occurs_above) {}

    std::string make() {
        text_ = "01 REC.\n";
        fields_ = 0;
        group(1, 5);
        return text_;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string name() {
        static const char* const pool[] = {"A", "B", "C", "X", "A-B", "B-C", "A_1", "FILLER", "D", "A-B-C"};
        return pool[pick(10)];
    }

    void group(int depth, int level) {
        const int members = 1 + pick(depth == 1 ? 5 : 3);
        std::string previous;  // a sibling that a REDEFINES may name
        for (int m = 0; m < members; ++m) {
            std::string n = name();
            std::string line = std::string(static_cast<size_t>(depth), ' ') + std::to_string(level) + " " + n;
            if (!previous.empty() && pick(5) == 0) line += " REDEFINES " + previous;
            const bool redefining = line.find("REDEFINES") != std::string::npos;
            if (!redefining && pick(4) == 0) line += " OCCURS " + std::to_string(2 + pick(occurs_above_));
            ++fields_;
            if (depth < 4 && fields_ < 18 && pick(3) == 0) {
                text_ += line + ".\n";
                group(depth + 1, level + 5);
            } else {
                static const char* const pics[] = {" PIC X(2)", " PIC 9(3)", " PIC S9(3) COMP-3", " PIC X(3) DISPLAY-2",
                                                   " PIC X"};
                text_ += line + pics[pick(5)] + ".\n";
            }
            if (!redefining) previous = n;
        }
    }

    std::mt19937 rng_;
    int occurs_above_;
    std::string text_;
    int fields_ = 0;
};

}  // namespace cobdef_testing
