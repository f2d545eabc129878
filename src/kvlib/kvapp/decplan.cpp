// decplan: building a table's decode plan, the growing row buffer and the
// texts of field errors. The decoding itself is in decode.cpp.
//
// Invariants: the plan's tables are complete for every byte value, so the
// decoders never test a byte against a range: a text byte that needs care
// in the row format (a separator, quote, escape, line end, NUL or an
// unmapped byte) carries kDpSlow, every other byte its UTF-8 bytes.
#include "kvapp/decplan.h"

#include <algorithm>
#include <cstdint>

#include "kvstd/memutl.h"

namespace {

constexpr uint8_t kNoDigit = 0xFF;

// Characters each row format must treat with care.
bool needs_care(dp_row_format format, uint32_t code) {
    switch (format) {
    case dp_row_format::csv: return code == ',' || code == '"' || code == '\r' || code == '\n';
    case dp_row_format::pg_text:
    case dp_row_format::mysql: return code == '\\' || code == '\t' || code == '\r' || code == '\n' || code == 0;
    }
    return false;
}

void build_text_table(dp_plan& plan) {
    const kv_codepage& cp = plan.codepage;
    for (int b = 0; b < 256; ++b) {
        const uint32_t utf8 = cp.utf8_of[b];
        const uint32_t length = cp.utf8 ? (b < 0x80 ? 1 : 0) : cp.utf8_len[b];
        const uint32_t bytes = cp.utf8 ? static_cast<uint32_t>(b) : utf8;
        // Single-byte UTF-8 is its code; longer sequences are never special.
        const uint32_t code = length == 1 ? (bytes & 0xFF) : 0x100;
        bool slow = length == 0 || needs_care(plan.options.format, code);
        if (code == 0 && plan.options.refuse_nul) slow = true;
        plan.text[b] = (bytes & 0xFFFFFF) | (length << kDpLengthShift) | (slow ? kDpSlow : 0);
    }
}

void build_digit_tables(dp_plan& plan) {
    std::memset(plan.digit, kNoDigit, sizeof plan.digit);
    for (int d = 0; d < 10; ++d) plan.digit[static_cast<uint8_t>(plan.codepage.digit0 + d)] = static_cast<uint8_t>(d);
    for (int b = 0; b < 256; ++b) {
        const int high = b >> 4, low = b & 0xF;
        plan.packed_pair[b] =
            high <= 9 && low <= 9 ? static_cast<uint16_t>(('0' + high) | (('0' + low) << 8)) : 0;
    }
}

// The sign an embedded sign position shows. EBCDIC: the zone of the byte,
// C, A, E, F positive, D, B negative, F the unsigned form. ASCII data:
// plain digits, and either the letters an EBCDIC transfer turns signed
// digits into or the 0x70 zone of negative digits.
void build_zone_signs(dp_plan& plan) {
    std::memset(plan.zone_sign, kNoDigit, sizeof plan.zone_sign);
    if (plan.codepage.ebcdic) {
        for (int b = 0; b < 256; ++b) {
            const int zone = b >> 4, d = b & 0xF;
            if (d > 9) continue;
            if (zone == 0xF) plan.zone_sign[b] = static_cast<uint8_t>(d);
            else if (zone == 0xC || zone == 0xA || zone == 0xE) plan.zone_sign[b] = static_cast<uint8_t>(d | kDpSigned);
            else if (zone == 0xD || zone == 0xB)
                plan.zone_sign[b] = static_cast<uint8_t>(d | kDpSigned | kDpNegative);
        }
        return;
    }
    for (int d = 0; d < 10; ++d) plan.zone_sign[static_cast<uint8_t>(plan.codepage.digit0 + d)] = static_cast<uint8_t>(d);
    if (plan.options.overpunch == dp_overpunch::letters) {
        plan.zone_sign[static_cast<uint8_t>('{')] = kDpSigned;
        plan.zone_sign[static_cast<uint8_t>('}')] = kDpSigned | kDpNegative;
        for (int d = 1; d < 10; ++d) {
            plan.zone_sign['A' + d - 1] = static_cast<uint8_t>(d | kDpSigned);
            plan.zone_sign['J' + d - 1] = static_cast<uint8_t>(d | kDpSigned | kDpNegative);
        }
    } else {
        for (int d = 0; d < 10; ++d) plan.zone_sign[0x70 + d] = static_cast<uint8_t>(d | kDpSigned | kDpNegative);
    }
}

// The most bytes a field's value takes in a row, written the careful way
// (every byte three UTF-8 bytes or an escape, quotes around), plus the four
// bytes the fast text path stores ahead.
size_t out_max(const dp_field& f, const dp_options& options) {
    const size_t n = static_cast<size_t>(f.length);
    size_t most = 0;
    switch (f.kind) {
    case dp_kind::text:
    case dp_kind::utf8: most = 3 * n + 2; break;
    case dp_kind::national: most = 2 * n + 2; break;
    case dp_kind::varchar: most = 3 * static_cast<size_t>(f.text_max) + 2; break;
    case dp_kind::zoned:
    case dp_kind::packed:
    case dp_kind::packed_unsigned: most = 2 * n + f.scale + f.p_scale + 4; break;
    case dp_kind::binary: most = 20 + f.scale + f.p_scale + 4; break;
    case dp_kind::float_hex:
    case dp_kind::float_ieee: most = 340; break;
    case dp_kind::ordinal: most = 24; break;
    }
    return std::max(most, options.null_text.size() + 2) + 1 + 4;
}

struct kind_choice {
    dp_kind kind;
    const char* refusal;  // null: decodable
};

kind_choice kind_of(const column_entry& c, const dp_options& options) {
    switch (c.data_type) {
    case CD_TYPE_VARCHAR: return {dp_kind::varchar, nullptr};
    case CD_TYPE_UNUM:
    case CD_TYPE_SNUM: return {dp_kind::zoned, nullptr};
    case CD_TYPE_PACKED:
        return {c.usage == CD_USAGE_PACKED_UNSIGNED ? dp_kind::packed_unsigned : dp_kind::packed, nullptr};
    case CD_TYPE_BIN16:
    case CD_TYPE_BIN32:
    case CD_TYPE_BIN64: return {dp_kind::binary, nullptr};
    case CD_TYPE_FLOAT32:
    case CD_TYPE_FLOAT64:
        return {options.floats == dp_float_format::hex ? dp_kind::float_hex : dp_kind::float_ieee, nullptr};
    default: break;
    }
    switch (c.usage) {
    case CD_USAGE_NATIONAL: return {dp_kind::national, nullptr};
    case CD_USAGE_UTF8: return {dp_kind::utf8, nullptr};
    case CD_USAGE_DBCS:
        return {dp_kind::text, "is double-byte text (PIC G or DISPLAY-1), whose shift-out and shift-in "
                               "encoding tabcopy does not decode"};
    default: return {dp_kind::text, nullptr};
    }
}

bool little_endian(const column_entry& c, const dp_options& options) {
    if (c.data_type == CD_TYPE_FLOAT32 || c.data_type == CD_TYPE_FLOAT64)
        return options.floats == dp_float_format::ieee_little;
    // Big-endian binary is what BINARY means; only the native usages and
    // the DISPLAY-2 length follow the machine that wrote the data. A
    // level-49 pair's length is read as its own item would be.
    return options.native_little && (c.usage == CD_USAGE_NATIVE_BINARY ||
                                     (c.data_type == CD_TYPE_VARCHAR && c.usage != CD_USAGE_VARCHAR49));
}

}  // namespace

const char* dp_fault_text(dp_fault fault) {
    switch (fault) {
    case dp_fault::none: return "no error";
    case dp_fault::not_a_digit: return "a byte that is not a digit";
    case dp_fault::bad_sign: return "a sign that is not one of the known signs";
    case dp_fault::unsigned_signed: return "a sign on an unsigned field";
    case dp_fault::packed_digit: return "a packed digit above 9";
    case dp_fault::unmappable: return "a byte the code page does not map";
    case dp_fault::nul_character: return "a NUL character, which the database cannot store";
    case dp_fault::bad_utf8: return "text that is not valid UTF-8";
    case dp_fault::bad_utf16: return "national text that is not valid UTF-16";
    case dp_fault::bad_length: return "a length prefix beyond the field";
    case dp_fault::not_finite: return "a float that is infinite or not a number";
    case dp_fault::empty_numeric: return "a number of spaces, low-values or high-values only";
    case dp_fault::null_not_allowed: return "no value for a column that cannot be NULL";
    case dp_fault::cut_short: return "the record ends inside the field";
    case dp_fault::too_many_digits: return "more digits than the picture has";
    case dp_fault::out_of_range: return "a value beyond what the column's type holds";
    case dp_fault::negative_length: return "a negative length";
    }
    return "an unknown error";
}

bool dp_build_plan(std::string& error, const std::vector<dp_column>& columns, int32_t record_length,
                   const kv_codepage& codepage, const dp_options& options, dp_plan& plan) {
    plan.fields.clear();
    plan.fields.reserve(columns.size());
    plan.options = options;
    plan.codepage = codepage;
    plan.record_length = record_length;
    plan.separator = options.format == dp_row_format::csv ? ',' : '\t';
    build_text_table(plan);
    build_digit_tables(plan);
    build_zone_signs(plan);
    plan.row_bound = kDpSlack;
    plan.scratch = 0;
    for (const dp_column& column : columns) {
        const column_entry& c = *column.entry;
        const kind_choice choice = column.ordinal >= 0 ? kind_choice{dp_kind::ordinal, nullptr} : kind_of(c, options);
        if (choice.refusal) {
            error = "The column " + column.name + " (field " + column.field + ") " + choice.refusal;
            return false;
        }
        dp_field f;
        f.offset = c.fetch_offset;
        f.length = static_cast<int32_t>(CD_stored_size(c));
        f.kind = choice.kind;
        f.sign = c.sign;
        f.little = little_endian(c, options);
        f.nullable = column.nullable;
        f.scale = c.scale;
        f.p_scale = c.p_scale > 0 ? c.p_scale : 0;
        f.text_max = c.data_type == CD_TYPE_VARCHAR ? c.int_len : 0;
        f.max_digits = column.integer ? 0 : column.precision;
        const bool separate = c.sign == CD_SIGN_LEADING_SEPARATE || c.sign == CD_SIGN_TRAILING_SEPARATE;
        f.digits = c.data_type == CD_TYPE_PACKED ? c.ext_len : c.int_len - (separate ? 1 : 0);
        f.out_max = static_cast<int32_t>(out_max(f, options));
        f.column = column.name;
        f.field = column.field;
        f.level = column.ordinal;
        if (f.kind == dp_kind::ordinal) f.length = 0;
        plan.row_bound += static_cast<size_t>(f.out_max);
        plan.scratch = std::max(plan.scratch, 3 * static_cast<size_t>(f.length) + 8);
        plan.fields.push_back(std::move(f));
    }
    return true;
}

dp_buffer::~dp_buffer() {
    if (data_) kvFree(data_);
}

// The allocation wrappers take an int: a buffer stays below 2 GB, far
// above any row or chunk of rows.
bool dp_buffer::grow(size_t more) {
    size_t cap = cap_ ? cap_ : 4096;
    while (cap - size_ < more) {
        if (cap > static_cast<size_t>(INT32_MAX) / 2) return false;
        cap *= 2;
    }
    void* data = kvRealloc(data_, static_cast<int>(cap));
    if (!data) return false;
    data_ = static_cast<char*>(data);
    cap_ = cap;
    return true;
}

void dp_write_header(const dp_plan& plan, dp_buffer& out) {
    for (size_t i = 0; i < plan.fields.size(); ++i) {
        const std::string& name = plan.fields[i].column;
        if (!out.reserve(2 * name.size() + 4)) return;
        if (i) out.put(plan.separator);
        const bool quote = name.find_first_of(",\"\r\n") != std::string::npos;
        if (quote) out.put('"');
        for (char c : name) {
            if (c == '"') out.put('"');
            out.put(c);
        }
        if (quote) out.put('"');
    }
    if (out.reserve(1)) out.put(plan.line_end);
}
