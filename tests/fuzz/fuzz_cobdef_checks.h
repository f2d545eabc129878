// Checks of a closed record definition, shared by the definitions fuzz
// targets: what every definition the reader or the layout produces holds.
#pragma once

#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "kvapp/cobdef.h"

namespace fuzz_support {

inline int64_t storage(const column_entry& f) { return f.data_type == CD_TYPE_VARCHAR ? f.ext_len : f.int_len; }

inline bool known_type(int16_t t) {
    switch (t) {
        case CD_TYPE_CHAR: case CD_TYPE_VARCHAR: case CD_TYPE_BIN16: case CD_TYPE_BIN32:
        case CD_TYPE_BIN64: case CD_TYPE_FLOAT32: case CD_TYPE_FLOAT64: case CD_TYPE_UNUM:
        case CD_TYPE_SNUM: case CD_TYPE_PACKED:
            return true;
        default:
            return false;
    }
}

inline void check_definition(const cobol_def& def) {
    FUZZ_CHECK(def.fields != nullptr);
    const std::vector<column_entry>& f = *def.fields;
    FUZZ_CHECK(!f.empty());
    FUZZ_CHECK(def.field_count == static_cast<int32_t>(f.size()));
    FUZZ_CHECK(def.def_name == f[0].name);
    FUZZ_CHECK(f[0].depth == 0);
    FUZZ_CHECK(static_cast<int64_t>(f[0].occurs) * f[0].int_len <= CD_MAX_BYTES);
    bool redefines = false;
    for (const column_entry& c : f) redefines = redefines || c.redefines_before_naming != 0;
    std::vector<size_t> parents;  // open groups, innermost last
    for (size_t i = 0; i < f.size(); ++i) {
        const column_entry& c = f[i];
        FUZZ_CHECK(!c.name.empty());
        FUZZ_CHECK(c.occurs >= 1 && c.occurs <= CD_MAX_OCCURS);
        FUZZ_CHECK(c.fetch_offset >= 0 && c.int_len >= 0 && c.ext_len >= 0);
        const int32_t redefined = c.redefines_before_naming;
        FUZZ_CHECK(redefined >= 0 && static_cast<size_t>(redefined) < (i == 0 ? 1 : i));
        if (i > 0) FUZZ_CHECK(c.depth >= 1 && c.depth <= f[i - 1].depth + 1);
        const bool has_children = i + 1 < f.size() && f[i + 1].depth > c.depth;
        if (c.elementary) {
            FUZZ_CHECK(!has_children);
            FUZZ_CHECK(known_type(c.data_type));
            FUZZ_CHECK(c.int_len >= 1);
            FUZZ_CHECK(c.usage <= CD_USAGE_NATIVE_VARCHAR49 && c.sign <= CD_SIGN_COMPLEMENT);
            // A VARCHAR, written (DISPLAY-2 text) or made of a level-49
            // pair, stores its 2-byte length before its text.
            const bool pair = c.usage == CD_USAGE_VARCHAR49 || c.usage == CD_USAGE_NATIVE_VARCHAR49;
            if (pair) FUZZ_CHECK(c.data_type == CD_TYPE_VARCHAR);
            if (c.data_type == CD_TYPE_VARCHAR) {
                FUZZ_CHECK(pair || c.usage == CD_USAGE_DISPLAY2);
                FUZZ_CHECK(c.ext_len == static_cast<int64_t>(c.int_len) + 2);
            }
            FUZZ_CHECK(c.p_scale >= -CD_MAX_P_SCALING && c.p_scale <= CD_MAX_P_SCALING);
            // A SYNCHRONIZED binary item lies on a boundary of its size,
            // unless a redefinition placed it.
            const bool aligned_kind = c.usage == CD_USAGE_BINARY || c.usage == CD_USAGE_NATIVE_BINARY ||
                                      c.usage == CD_USAGE_FLOAT || c.usage == CD_USAGE_POINTER ||
                                      c.usage == CD_USAGE_INDEX;
            if (c.sync && aligned_kind && !redefines) FUZZ_CHECK(c.fetch_offset % c.int_len == 0);
        } else {
            FUZZ_CHECK(has_children);
        }
        while (parents.size() > static_cast<size_t>(c.depth)) parents.pop_back();
        if (i > 0) {
            FUZZ_CHECK(!parents.empty());
            const column_entry& p = f[parents.back()];
            // Every occurrence lies inside the enclosing group's one occurrence.
            FUZZ_CHECK(c.fetch_offset >= p.fetch_offset);
            FUZZ_CHECK(c.fetch_offset + static_cast<int64_t>(c.occurs) * storage(c) <=
                       static_cast<int64_t>(p.fetch_offset) + p.int_len);
        }
        parents.push_back(i);
    }
}

}  // namespace fuzz_support
