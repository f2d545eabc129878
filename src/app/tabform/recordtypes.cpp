// recordtypes: WHEN conditions, compiled once per table against its record
// and the data's code page, then tested on every record.
//
// Invariants: a text field is compared byte for byte with its values
// written in the data's code page and padded with its spaces, as COBOL
// compares alphanumeric items (and a THRU range orders them by those
// bytes, the mainframe's collating sequence); a number is decoded with
// the field's own decoder and compared by value, so 05, 5 and 5.0 are one.
#include "tabform/recordtypes.h"

#include <algorithm>
#include <unordered_map>

#include "kvstd/strutl.h"

namespace {

std::vector<std::string> condition_words(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == ',') {
            ++i;
            continue;
        }
        size_t j = i;
        if (c == '\'' || c == '"') {
            for (++j; j < text.size(); ++j) {
                if (text[j] != c) continue;
                if (j + 1 < text.size() && text[j + 1] == c) ++j;
                else break;
            }
            words.push_back(text.substr(i, j + 1 - i));
            i = j + 1;
            continue;
        }
        if (c == '=') {
            words.emplace_back("=");
            ++i;
            continue;
        }
        while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != ',' && text[j] != '=') ++j;
        words.push_back(text.substr(i, j - i));
        i = j;
    }
    return words;
}

struct literal {
    std::string text;
    bool quoted = false;
};

literal literal_of(const std::string& word) {
    literal l;
    if (word.size() >= 2 && (word[0] == '\'' || word[0] == '"') && word.back() == word[0]) {
        l.quoted = true;
        for (size_t i = 1; i + 1 < word.size(); ++i) {
            l.text += word[i];
            if (word[i] == word[0] && i + 2 < word.size() && word[i + 1] == word[0]) ++i;
        }
    } else {
        l.text = word;
    }
    return l;
}

// The figurative constants, by their words.
int figurative(const literal& l) {
    if (l.quoted) return 0;
    static const std::pair<const char*, int> kWords[] = {
        {"SPACE", 1},      {"SPACES", 1},      {"ZERO", 2},      {"ZEROS", 2},      {"ZEROES", 2},
        {"HIGH-VALUE", 3}, {"HIGH-VALUES", 3}, {"LOW-VALUE", 4}, {"LOW-VALUES", 4},
    };
    for (const auto& [word, kind] : kWords)
        if (kvEqualsNoCase(l.text, word)) return kind;
    return 0;
}

bool is_number(const std::string& t) {
    size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
    bool digits = false, point = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9') digits = true;
        else if (t[i] == '.' && !point) point = true;
        else return false;
    }
    return digits;
}

// A decimal as sign, integer digits without leading zeros, fraction
// digits without trailing zeros: one text for one value.
std::string canonical(const std::string& t) {
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    std::string whole, fraction;
    const size_t point = t.find('.', i);
    whole = t.substr(i, point == std::string::npos ? std::string::npos : point - i);
    if (point != std::string::npos) fraction = t.substr(point + 1);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (whole.empty() && fraction.empty()) return "0";
    std::string out = negative ? "-" : "";
    out += whole.empty() ? "0" : whole;
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
    return out;
}

// Orders two canonical decimals.
int compare_decimal(const std::string& a, const std::string& b) {
    const bool na = a[0] == '-', nb = b[0] == '-';
    if (na != nb) return na ? -1 : 1;
    const std::string x = na ? a.substr(1) : a, y = nb ? b.substr(1) : b;
    const size_t px = x.find('.'), py = y.find('.');
    const size_t wx = px == std::string::npos ? x.size() : px, wy = py == std::string::npos ? y.size() : py;
    int order = wx != wy ? (wx < wy ? -1 : 1) : x.compare(0, wx, y, 0, wy) < 0 ? -1 : x.compare(0, wx, y, 0, wy) > 0 ? 1 : 0;
    if (order == 0) {
        const std::string fx = px == std::string::npos ? "" : x.substr(px + 1);
        const std::string fy = py == std::string::npos ? "" : y.substr(py + 1);
        order = fx < fy ? -1 : fx > fy ? 1 : 0;
    }
    return na ? -order : order;
}

// The code page's byte for each character it maps.
std::unordered_map<uint32_t, uint8_t> reverse_of(const kv_codepage& cp) {
    std::unordered_map<uint32_t, uint8_t> reverse;
    for (int b = 255; b >= 0; --b)
        if (cp.utf8 ? b < 0x80 : cp.utf8_len[b] > 0) reverse[cp.utf8 ? static_cast<uint32_t>(b) : cp.utf8_of[b]] = static_cast<uint8_t>(b);
    return reverse;
}

struct compiler {
    std::string& error;
    const kv_codepage& cp;
    record_condition& out;
    std::unordered_map<uint32_t, uint8_t> reverse;

    // A text value as the field's bytes: in the code page, padded with spaces.
    bool text_bytes(const literal& l, std::vector<uint8_t>& bytes) {
        bytes.assign(static_cast<size_t>(out.length), cp.space);
        const int kind = figurative(l);
        if (kind) {
            const uint8_t fill = kind == 1 ? cp.space : kind == 2 ? cp.digit0 : kind == 3 ? 0xFF : 0x00;
            bytes.assign(bytes.size(), fill);
            return true;
        }
        size_t at = 0;
        for (size_t i = 0; i < l.text.size();) {
            const unsigned char lead = static_cast<unsigned char>(l.text[i]);
            const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            uint32_t code = 0;
            for (size_t k = 0; k < n && i + k < l.text.size(); ++k)
                code |= static_cast<uint32_t>(static_cast<unsigned char>(l.text[i + k])) << (8 * k);
            if (cp.utf8) {
                for (size_t k = 0; k < n && at < bytes.size(); ++k) bytes[at++] = static_cast<uint8_t>(l.text[i + k]);
                i += n;
                continue;
            }
            const auto found = reverse.find(code);
            if (found == reverse.end()) {
                error = "the value '";
                error += l.text;
                error += "' holds a character code page ";
                error += cp.name;
                error += " cannot write";
                return false;
            }
            if (at >= bytes.size()) {
                error = "the value '" + l.text + "' is longer than its field";
                return false;
            }
            bytes[at++] = found->second;
            i += n;
        }
        return true;
    }

    bool number_text(const literal& l, std::string& number) {
        if (figurative(l) == 2) {
            number.assign(1, '0');
            return true;
        }
        if (l.quoted || !is_number(l.text)) {
            error.assign("the value ").append(l.text).append(" is no number, and its field is numeric");
            return false;
        }
        number = canonical(l.text);
        return true;
    }

    bool add(const literal& low, const literal* high) {
        record_value v;
        if (out.numeric) {
            if (!number_text(low, v.low_number) || (high && !number_text(*high, v.high_number))) return false;
        } else if (!text_bytes(low, v.low) || (high && !text_bytes(*high, v.high))) {
            return false;
        }
        out.values.push_back(std::move(v));
        return true;
    }
};

const std::vector<column_entry>& record_fields(const def_entry& def) { return def.closed ? *def.closed : *def.fields; }

// The elementary field of the record whose data name is `name`, outside
// any array; null when there is none.
const column_entry* find_field(const def_entry& def, const std::string& name, int32_t text_index) {
    const std::vector<column_entry>& f = record_fields(def);
    for (size_t i = 0; i < f.size(); ++i) {
        const cd_entry_text* t = def.texts && f[i].text >= 0 ? &(*def.texts)[static_cast<size_t>(f[i].text)] : nullptr;
        const bool match = text_index >= 0 ? f[i].text == text_index : t && t->name == name;
        if (match && f[i].elementary) return &f[i];
    }
    return nullptr;
}

bool is_numeric(const column_entry& c) { return c.data_type != CD_TYPE_CHAR && c.data_type != CD_TYPE_VARCHAR; }

bool prepare_field(std::string& error, const column_entry& field, const kv_codepage& cp, record_condition& out) {
    if (field.occurs > 1) {
        error = "its field is an array; a condition takes a field that occurs once";
        return false;
    }
    out.offset = field.fetch_offset;
    out.length = static_cast<int32_t>(CD_stored_size(field));
    out.numeric = is_numeric(field);
    if (!out.numeric) return true;
    dp_column column;
    column.entry = &field;
    column.name = field.name;
    column.field = field.name;
    column.precision = 38;
    dp_options options;
    options.floats = cp.ebcdic ? dp_float_format::hex : dp_float_format::ieee_little;
    options.native_little = !cp.ebcdic;
    column_entry at_zero = field;
    at_zero.fetch_offset = 0;
    column.entry = &at_zero;
    return dp_build_plan(error, {column}, out.length, cp, options, out.number_plan);
}

}  // namespace

bool compile_condition(std::string& error, const std::string& text, const def_entry& def, const kv_codepage& cp,
                       record_condition& out) {
    out = record_condition{};
    out.text = text;
    const std::vector<std::string> words = condition_words(text);
    if (words.empty()) {
        error = "WHEN needs a condition";
        return false;
    }
    const std::string name = kvUpshifted(words[0]);
    compiler c{error, cp, out, reverse_of(cp)};
    if (words.size() == 1) {
        // A condition name of the record: its field and its values.
        const cd_condition* condition = nullptr;
        if (def.conditions)
            for (const cd_condition& k : *def.conditions)
                if (k.name == name) condition = &k;
        const column_entry* field = condition ? find_field(def, name, condition->text) : nullptr;
        if (!field) {
            error = name + " is no condition name (level 88) of the record " + def.def_name;
            return false;
        }
        if (!prepare_field(error, *field, cp, out)) return false;
        for (const cd_condition_value& v : condition->values) {
            const literal low{v.low, v.quoted}, high{v.high, v.quoted};
            if (!c.add(low, v.high.empty() ? nullptr : &high)) return false;
        }
        return true;
    }
    const column_entry* field = find_field(def, name, -1);
    if (!field) {
        error = name + " is no field of the record " + def.def_name;
        return false;
    }
    if (!prepare_field(error, *field, cp, out)) return false;
    size_t i = 1;
    while (i < words.size() && (words[i] == "=" || kvEqualsNoCase(words[i], "IS") || kvEqualsNoCase(words[i], "EQUAL") ||
                                kvEqualsNoCase(words[i], "TO")))
        ++i;
    if (i == 1 || i >= words.size()) {
        error = "write the condition as " + name + " = value [, value ...], or name a condition (level 88)";
        return false;
    }
    for (; i < words.size(); ++i) {
        if (kvEqualsNoCase(words[i], "OR")) continue;
        const literal low = literal_of(words[i]);
        if (i + 2 < words.size() && (kvEqualsNoCase(words[i + 1], "THRU") || kvEqualsNoCase(words[i + 1], "THROUGH"))) {
            const literal high = literal_of(words[i + 2]);
            if (!c.add(low, &high)) return false;
            i += 2;
        } else if (!c.add(low, nullptr)) {
            return false;
        }
    }
    return !out.values.empty();
}

bool condition_met(const record_condition& c, const uint8_t* field, size_t size, dp_buffer& scratch) {
    if (!c.numeric) {
        if (size < static_cast<size_t>(c.length)) return false;
        for (const record_value& v : c.values) {
            if (v.high.empty() ? std::equal(v.low.begin(), v.low.end(), field)
                               : !std::lexicographical_compare(field, field + c.length, v.low.begin(), v.low.end()) &&
                                     !std::lexicographical_compare(v.high.begin(), v.high.end(), field, field + c.length))
                return true;
        }
        return false;
    }
    if (size < static_cast<size_t>(c.length)) return false;
    std::vector<dp_error> errors;
    scratch.clear();
    if (!dp_decode_record(c.number_plan, field, static_cast<size_t>(c.length), scratch, errors)) return false;
    std::string value(scratch.data(), scratch.size());
    while (!value.empty() && (value.back() == '\n')) value.pop_back();
    if (value.empty()) return false;  // no number (spaces): meets no value
    value = canonical(value);
    for (const record_value& v : c.values) {
        if (v.high_number.empty() ? value == v.low_number
                                  : compare_decimal(value, v.low_number) >= 0 && compare_decimal(value, v.high_number) <= 0)
            return true;
    }
    return false;
}
