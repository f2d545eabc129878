// cobdef_pairs: DB2 level-49 VARCHAR pairs. DCLGEN writes a VARCHAR column
// as a group of a 49-level binary length and a 49-level text; the record
// holds the same bytes as a DISPLAY-2 item (length, then text), so the
// pair becomes one such item and every later step (naming, DDL, layout,
// decoding) sees one VARCHAR field.
//
// Only the exact shape is a pair: any other group of 49-level items stays
// as written, so that a copybook that merely uses level 49 is read as
// before.
#include <string_view>

#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

namespace {

// X and A positions with repetition factors only: an edited picture (B, 0,
// /, Z...) is formatted text, not a VARCHAR's.
bool plain_text_picture(std::string_view picture) {
    bool positions = false;
    for (size_t i = 0; i < picture.size(); ++i) {
        const char c = picture[i];
        if (c == 'X' || c == 'A') {
            positions = true;
        } else if (c == '(' && positions) {
            const size_t close = picture.find(')', i);
            if (close == std::string_view::npos || close == i + 1) return false;
            for (size_t d = i + 1; d < close; ++d)
                if (picture[d] < '0' || picture[d] > '9') return false;
            i = close;
        } else {
            return false;
        }
    }
    return positions;
}

// A 49-level subordinate that is itself plain storage: one occurrence,
// redefining nothing (a REDEFINES among the pair would be a third view).
bool plain_49(const column_entry& c, int16_t depth) {
    return c.elementary && c.level_number == 49 && c.depth == depth && c.occurs == 1 &&
           c.redefines_before_naming == 0;
}

bool length_item(const column_entry& c) {
    return c.data_type == CD_TYPE_BIN16 && c.int_len == 2 && c.scale == 0 && c.p_scale == 0 &&
           (c.usage == CD_USAGE_BINARY || c.usage == CD_USAGE_NATIVE_BINARY);
}

const cd_entry_text* text_of(const cobol_def& def, const column_entry& c) {
    if (!def.texts || c.text < 0 || static_cast<size_t>(c.text) >= def.texts->size()) return nullptr;
    return &(*def.texts)[static_cast<size_t>(c.text)];
}

bool text_item(const cobol_def& def, const column_entry& c) {
    if (c.data_type != CD_TYPE_CHAR || c.usage != CD_USAGE_DISPLAY) return false;
    const cd_entry_text* t = text_of(def, c);
    return t && plain_text_picture(t->picture);
}

// Whether the group at `i` is a pair: its only subordinates the length
// and the text, side by side with no slack bytes around them.
bool is_pair(const cobol_def& def, size_t i) {
    const std::vector<column_entry>& f = *def.fields;
    const column_entry& g = f[i];
    if (g.elementary || i + 2 >= f.size()) return false;
    const int16_t depth = static_cast<int16_t>(g.depth + 1);
    const column_entry& length = f[i + 1];
    const column_entry& text = f[i + 2];
    if (i + 3 < f.size() && f[i + 3].depth > g.depth) return false;
    if (!plain_49(length, depth) || !plain_49(text, depth) || !length_item(length) || !text_item(def, text))
        return false;
    return length.fetch_offset == g.fetch_offset && text.fetch_offset == g.fetch_offset + 2 &&
           static_cast<int64_t>(g.int_len) == 2 + static_cast<int64_t>(text.int_len);
}

column_entry pair_item(const column_entry& group, const column_entry& length, const column_entry& text) {
    column_entry v = group;
    v.elementary = 1;
    v.data_type = CD_TYPE_VARCHAR;
    v.usage = length.usage == CD_USAGE_NATIVE_BINARY ? CD_USAGE_NATIVE_VARCHAR49 : CD_USAGE_VARCHAR49;
    // A signed length can say it is negative, which is bad data.
    v.sign = length.sign;
    v.sync = length.sync;
    v.int_len = v.bin_len = v.tbl_len = text.int_len;
    v.ext_len = text.int_len + 2;
    v.scale = 0;
    v.p_scale = 0;
    return v;
}

}  // namespace

int32_t CD_merge_varchar_pairs(cobol_def& def) {
    if (!def.fields) return 0;
    std::vector<column_entry>& f = *def.fields;
    // Most records have no pair: they are only scanned.
    size_t first = 0;
    while (first < f.size() && !is_pair(def, first)) ++first;
    if (first >= f.size()) return 0;

    // Old index -> new one, for what later fields redefine.
    std::vector<int32_t> moved(f.size());
    for (size_t i = 0; i < first; ++i) moved[i] = static_cast<int32_t>(i);
    size_t out = first;
    int32_t pairs = 0;
    for (size_t i = first; i < f.size();) {
        moved[i] = static_cast<int32_t>(out);
        if (is_pair(def, i)) {
            // Nothing outside the group can redefine its subordinates;
            // their indexes map to it all the same.
            moved[i + 1] = moved[i + 2] = static_cast<int32_t>(out);
            f[out++] = pair_item(f[i], f[i + 1], f[i + 2]);
            i += 3;
            ++pairs;
        } else {
            if (out != i) f[out] = std::move(f[i]);
            ++out;
            ++i;
        }
    }
    f.resize(out);
    for (column_entry& c : f)
        if (c.redefines_before_naming > 0) c.redefines_before_naming = moved[static_cast<size_t>(c.redefines_before_naming)];
    def.field_count = static_cast<int32_t>(f.size());
    return pairs;
}
