// splitcmd: the SPLIT command.
//
// Invariants: the ranges cover the file's records without gap or overlap,
// in file order, each numbered with its first record's global number, so
// that the parts converted with START, LENGTH and FIRSTRECORD and then
// concatenated are byte for byte the whole file's output. Nothing is
// written to standard output unless every range was found.
#include "tabform/splitcmd.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <thread>

#include "kvapp/recframe.h"
#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"tabform.main", "$Id: splitcmd.cpp 1.0 tabcopy $"};

namespace {

struct split_request {
    rf_options framing;
    int64_t count = 0;  // 0 with size 0: one split per core
    int64_t size = 0;
};

// A count or a size: digits, for a size with an optional K, M or G (powers
// of 1024, as the sizes of files are spoken of).
bool read_amount(const std::string& text, bool suffix_allowed, int64_t& out) {
    int64_t n = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
    if (r.ec != std::errc() || n < 1) return false;
    std::string rest(r.ptr, text.data() + text.size());
    int shift = 0;
    if (!rest.empty() && suffix_allowed) {
        const std::string unit = kvUpshifted(rest);
        shift = unit == "K" ? 10 : unit == "M" ? 20 : unit == "G" ? 30 : -1;
        rest.clear();
    }
    if (!rest.empty() || shift < 0 || n > (INT64_MAX >> shift)) return false;
    out = n << shift;
    return true;
}

using word_reader = bool (*)(const std::string& value, split_request& request);

struct split_word {
    const char* word;
    word_reader read;
    const char* expected;
};

const split_word kSplitWords[] = {
    {"FRAMING", [](const std::string& v, split_request& r) { return rf_framing_word(v, r.framing.framing); },
     "the framings are FIXED, V, VB and LINE"},
    {"LRECL", [](const std::string& v, split_request& r) { return read_amount(v, false, r.framing.lrecl); },
     "it takes a record length in bytes"},
    {"COUNT", [](const std::string& v, split_request& r) { return read_amount(v, false, r.count); },
     "it takes the number of splits"},
    {"SIZE", [](const std::string& v, split_request& r) { return read_amount(v, true, r.size); },
     "it takes a size in bytes, or with K, M or G"},
};

// The words after the data file; false with an error text.
bool read_request(std::string& error, const std::vector<std::string>& words, split_request& request) {
    for (size_t i = 1; i < words.size(); i += 2) {
        const split_word* found = nullptr;
        for (const split_word& w : kSplitWords)
            if (kvEqualsNoCase(words[i], w.word)) found = &w;
        if (!found) {
            error = "unknown word " + words[i] + "; the words are FRAMING, LRECL, COUNT and SIZE";
            return false;
        }
        if (i + 1 >= words.size() || !found->read(words[i + 1], request)) {
            error = std::string(found->word) + (i + 1 < words.size() ? " " + words[i + 1] + " is not valid; " : " needs a value; ") +
                    found->expected;
            return false;
        }
    }
    if (request.count && request.size) {
        error = "give COUNT or SIZE, not both";
        return false;
    }
    if (request.framing.framing == rf_framing::fixed && request.framing.lrecl == 0) {
        error = "FIXED records are cut by their length: give LRECL, the record length (tabcopy LAYOUT shows it)";
        return false;
    }
    if (!request.count && !request.size) {
        // Left to the operator's engine otherwise; for one machine, one part per core.
        const unsigned cores = std::thread::hardware_concurrency();
        request.count = cores ? cores : 1;
    }
    return true;
}

}  // namespace

int split_command(const std::vector<std::string>& words) {
    if (words.empty()) {
        kvRaiseMessage(KV_SITE_FN(kModule, "split_command"), 1312);
        return 12;
    }
    split_request request;
    std::string error;
    if (!read_request(error, words, request)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "split_command"), 1247, {"SPLIT", error});
        return 12;
    }
    std::vector<rf_split> splits;
    if (rf_make_splits(error, words[0], request.framing, request.count, request.size, splits) != 1) {
        kvRaiseMessage(KV_SITE_FN(kModule, "split_command"), 1313, {words[0], error});
        return 12;
    }
    std::string text;
    for (const rf_split& s : splits)
        text += words[0] + '\t' + std::to_string(s.start) + '\t' + std::to_string(s.length) + '\t' +
                std::to_string(s.first_record) + '\n';
    if (!kvWriteFlush(stdout, text.data(), text.size())) {
        kvWriteFailed("standard output", errno);
        return 12;
    }
    return 0;
}
