// dataopts: the data option words, one handler each in kDataOptions.
//
// Invariants: every option takes exactly the words its handler reads; a
// value is checked when read, so a run never starts with options it would
// refuse later; file names are kept as written (case and all).
#include "tabform/dataopts.h"

#include <charconv>

#include "kvstd/strutl.h"

namespace {

struct option_reader {
    const std::vector<std::string>& words;
    size_t& at;
    data_options& options;
    std::string& error;
    const std::string& option;  // the option word being read, for errors

    bool value(std::string& out) {
        if (at >= words.size()) {
            error = option + " needs a value";
            return false;
        }
        out = words[at++];
        return true;
    }

    bool fail(const std::string& value, const char* expected) {
        error = option + " " + value + " is not valid; " + expected;
        return false;
    }

    bool number(int64_t& out, int64_t least, int64_t most) {
        std::string text;
        if (!value(text)) return false;
        int64_t n = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
        if (r.ec != std::errc() || r.ptr != text.data() + text.size() || n < least || n > most)
            return fail(text, ("it takes a number from " + std::to_string(least) + " to " + std::to_string(most)).c_str());
        out = n;
        return true;
    }

    // One of `names`, whose index becomes `out`.
    template <typename T, size_t N>
    bool choice(T& out, const char* const (&names)[N], const T (&values)[N], const char* expected) {
        std::string text;
        if (!value(text)) return false;
        for (size_t i = 0; i < N; ++i) {
            if (!kvEqualsNoCase(text, names[i])) continue;
            out = values[i];
            return true;
        }
        return fail(text, expected);
    }

    // A file name the load script can quote: no quote and no line end.
    bool path(std::string& out) {
        if (!value(out)) return false;
        if (out.find_first_of("'\"\r\n") != std::string::npos)
            return fail(out, "a file name here may not hold a quote or a line end, which a load script could not quote");
        return true;
    }
};

bool framing_option(option_reader& r) {
    std::string text;
    if (!r.value(text)) return false;
    return rf_framing_word(text, r.options.framing) || r.fail(text, "the framings are FIXED, V, VB and LINE");
}

bool lrecl_option(option_reader& r) { return r.number(r.options.lrecl, 1, 2147483647); }

bool codepage_option(option_reader& r) {
    // The name is checked when the code page is loaded, with ICU's answer.
    return r.value(r.options.codepage);
}

bool rows_option(option_reader& r) { return r.path(r.options.rows); }
bool rejects_option(option_reader& r) { return r.path(r.options.rejects); }
bool reject_log_option(option_reader& r) { return r.path(r.options.reject_log); }
bool template_option(option_reader& r) { return r.value(r.options.template_path); }
bool def_option(option_reader& r) { return r.value(r.options.definition); }

bool on_error_option(option_reader& r) {
    static const char* const kNames[] = {"REJECT", "NULL", "STOP"};
    static const dp_on_error kValues[] = {dp_on_error::reject, dp_on_error::null, dp_on_error::stop};
    return r.choice(r.options.on_error, kNames, kValues, "ONERROR takes REJECT, NULL or STOP");
}

bool max_rejects_option(option_reader& r) { return r.number(r.options.max_rejects, 0, INT64_MAX); }

bool empty_option(option_reader& r) {
    static const char* const kNames[] = {"NULL", "ZERO", "ERROR"};
    static const dp_empty_numeric kValues[] = {dp_empty_numeric::null, dp_empty_numeric::zero,
                                               dp_empty_numeric::error};
    return r.choice(r.options.empty, kNames, kValues, "EMPTY takes NULL, ZERO or ERROR");
}

bool spaces_option(option_reader& r) {
    static const char* const kNames[] = {"TRIM", "KEEP"};
    static const bool kValues[] = {false, true};
    return r.choice(r.options.keep_spaces, kNames, kValues, "SPACES takes TRIM or KEEP");
}

bool overpunch_option(option_reader& r) {
    static const char* const kNames[] = {"LETTERS", "ZONE7"};
    static const dp_overpunch kValues[] = {dp_overpunch::letters, dp_overpunch::zone7};
    return r.choice(r.options.overpunch, kNames, kValues, "OVERPUNCH takes LETTERS or ZONE7");
}

bool byte_order_option(option_reader& r) {
    static const char* const kNames[] = {"BIG", "LITTLE"};
    static const int kValues[] = {0, 1};
    return r.choice(r.options.byte_order, kNames, kValues, "BYTEORDER takes BIG or LITTLE");
}

bool float_option(option_reader& r) {
    static const char* const kNames[] = {"HEX", "IEEE-BE", "IEEE-LE"};
    static const int kValues[] = {static_cast<int>(dp_float_format::hex), static_cast<int>(dp_float_format::ieee_big),
                                  static_cast<int>(dp_float_format::ieee_little)};
    return r.choice(r.options.floats, kNames, kValues, "FLOAT takes HEX, IEEE-BE or IEEE-LE");
}

bool unmatched_option(option_reader& r) {
    static const char* const kNames[] = {"REJECT", "SKIP"};
    static const bool kValues[] = {false, true};
    return r.choice(r.options.unmatched_skip, kNames, kValues, "UNMATCHED takes REJECT or SKIP");
}

bool odo_option(option_reader& r) {
    static const char* const kNames[] = {"PADDED", "COMPACT"};
    static const bool kValues[] = {false, true};
    return r.choice(r.options.odo_compact, kNames, kValues, "ODO takes PADDED or COMPACT");
}

bool threads_option(option_reader& r) {
    int64_t n = 0;
    if (!r.number(n, 1, 256)) return false;
    r.options.threads = static_cast<int>(n);
    return true;
}

bool start_option(option_reader& r) { return r.number(r.options.start, 0, INT64_MAX); }
bool length_option(option_reader& r) { return r.number(r.options.length, 0, INT64_MAX); }
bool first_record_option(option_reader& r) { return r.number(r.options.first_record, 1, INT64_MAX); }

// Record numbers in reject logs and messages stay those of the whole
// file: where they cannot be worked out from the offset, the part must
// say where it starts.
bool check_part(const data_options& o, std::string& error) {
    const bool arithmetic = o.framing == rf_framing::fixed && !o.odo_compact;
    if (o.start > 0 && o.first_record == 0 && !arithmetic) {
        error = "START " + std::to_string(o.start) +
                " needs FIRSTRECORD, the number of the record that starts there (tabcopy SPLIT lists it): "
                "records of variable length cannot be counted from the offset";
        return false;
    }
    if (o.start == 0 && o.first_record > 1) {
        error = "FIRSTRECORD " + std::to_string(o.first_record) + " at START 0: the first record of the file is record 1";
        return false;
    }
    return true;
}

struct data_option {
    const char* word;
    bool (*read)(option_reader&);
};

const data_option kDataOptions[] = {
    {"BYTEORDER", byte_order_option}, {"CODEPAGE", codepage_option},   {"DEF", def_option},
    {"DEFINITION", def_option},       {"EMPTY", empty_option},         {"FLOAT", float_option},
    {"FRAMING", framing_option},      {"LRECL", lrecl_option},         {"MAXREJECTS", max_rejects_option},
    {"ONERROR", on_error_option},     {"OVERPUNCH", overpunch_option}, {"REJECTLOG", reject_log_option},
    {"REJECTS", rejects_option},      {"ROWS", rows_option},           {"SPACES", spaces_option},
    {"TEMPLATE", template_option},    {"THREADS", threads_option},     {"UNMATCHED", unmatched_option},
    {"ODO", odo_option},              {"START", start_option},         {"LENGTH", length_option},
    {"FIRSTRECORD", first_record_option},
};

}  // namespace

bool read_data_options(std::string& error, const std::vector<std::string>& words, size_t& at,
                       data_options& options) {
    while (at < words.size()) {
        const std::string word = kvUpshifted(words[at]);
        const data_option* found = nullptr;
        for (const data_option& o : kDataOptions)
            if (word == o.word) found = &o;
        if (!found) {
            error = "unknown data option " + words[at] +
                    "; the options are FRAMING, LRECL, CODEPAGE, ROWS, REJECTS, REJECTLOG, ONERROR, MAXREJECTS, "
                    "EMPTY, SPACES, OVERPUNCH, BYTEORDER, FLOAT, UNMATCHED, ODO, THREADS, START, LENGTH and "
                    "FIRSTRECORD";
            return false;
        }
        ++at;
        option_reader r{words, at, options, error, word};
        if (!found->read(r)) return false;
    }
    return check_part(options, error);
}

bool is_data_option(const std::string& word) {
    for (const data_option& o : kDataOptions)
        if (kvEqualsNoCase(word, o.word)) return true;
    return false;
}

bool is_part(const data_options& options) {
    return options.start > 0 || options.length >= 0 || options.first_record > 0;
}

int64_t first_record_of(const data_options& options, int64_t lrecl) {
    if (options.first_record > 0) return options.first_record;
    // Only FIXED gets here with a START beyond 0 (check_part); a START
    // that is no record boundary is refused by the reader.
    return lrecl > 0 ? options.start / lrecl + 1 : 1;
}

std::string part_tag(const data_options& options, int64_t lrecl) {
    if (!is_part(options)) return {};
    std::string tag(1, '.');
    tag += std::to_string(first_record_of(options, lrecl));
    return tag;
}

dp_options decode_options(const data_options& options, const kv_codepage& codepage) {
    dp_options d;
    d.keep_spaces = options.keep_spaces;
    d.empty = options.empty;
    d.on_error = options.on_error;
    d.overpunch = options.overpunch;
    // Mainframe data is big-endian with hexadecimal floats; data already
    // converted to ASCII most likely comes from a little-endian machine.
    d.native_little = options.byte_order < 0 ? !codepage.ebcdic : options.byte_order == 1;
    d.floats = options.floats < 0 ? (codepage.ebcdic ? dp_float_format::hex : dp_float_format::ieee_little)
                                  : static_cast<dp_float_format>(options.floats);
    return d;
}
