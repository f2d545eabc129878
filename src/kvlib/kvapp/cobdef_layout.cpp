// cobdef_layout: builds a record definition from parsed entries and lays it
// out.
//
// Invariants of a record being filled: the first field's level number is
// lower than every later one; no field follows an elementary item at a
// greater level number. Hence level numbers describe a proper tree: a
// field's parent is the nearest earlier field of a lower level number, and
// depths follow from a simple ancestor stack.
//
// Invariants of a closed definition: every field has its depth (0 for the
// first field, parent + 1 for every other) beside its level number; every group is followed by a
// deeper field; every offset and length is within CD_MAX_BYTES, so the
// 32-bit fields hold them and any occurrence of any array starts within the
// record. Layout never unrolls an OCCURS, so nested arrays cost nothing.
//
// Also the positional redefinition rule, which reads only depths, offsets
// and group flags, so it holds for closed and for named lists alike.
#include "kvapp/cobdef.h"
#include "kvapp/cobdef_internal.h"

#include <algorithm>

namespace {

// The boundary a SYNCHRONIZED item is aligned on, as IBM COBOL aligns it:
// binary, floating-point, pointer and index items on their own size
// (halfword, fullword, doubleword); 1 (no alignment) for every other item,
// whose SYNC has no effect.
int64_t alignment_of(const column_entry& f) {
    if (!f.elementary || !f.sync) return 1;
    switch (f.usage) {
    case CD_USAGE_BINARY: case CD_USAGE_NATIVE_BINARY: case CD_USAGE_FLOAT:
    case CD_USAGE_POINTER: case CD_USAGE_INDEX:
        return f.int_len;
    default:
        return 1;
    }
}

struct layout_pass {
    std::vector<column_entry>& f;
    std::vector<cd_entry_text>* texts;
    std::string& error;
    const std::string& record_name;
    bool aligns;  // some item is SYNCHRONIZED: slack bytes may be needed

    int too_large() {
        return CD_error(error, "Record %s is too large (more than %lld bytes)", record_name.c_str(),
                        static_cast<long long>(CD_MAX_BYTES));
    }

    cd_entry_text* text_of(size_t i) {
        const int32_t t = f[i].text;
        return texts && t >= 0 && static_cast<size_t>(t) < texts->size() ? &(*texts)[static_cast<size_t>(t)] : nullptr;
    }

    // Slack bytes before the item or group at index `child`, placed at
    // `offset` in the record: the alignment of the first elementary item it
    // begins with. A group that begins with a SYNCHRONIZED item moves as a
    // whole, so the slack lies before it, as IBM COBOL places it after the
    // preceding elementary item.
    int64_t slack_before(size_t child, int64_t offset) {
        if (!aligns) return 0;
        size_t first = child;
        while (first < f.size() && !f[first].elementary) ++first;
        if (first >= f.size()) return 0;
        const int64_t m = alignment_of(f[first]);
        const int64_t slack = m > 1 ? (m - offset % m) % m : 0;
        if (slack > 0)
            if (cd_entry_text* t = text_of(child)) t->slack_before = static_cast<int32_t>(slack);
        return slack;
    }

    // Lays out the subtree of field g at offset `base`; `next` receives the
    // index after the subtree, `align` the largest boundary inside it.
    int lay(size_t g, int64_t base, size_t& next, int64_t& align) {
        if (base > CD_MAX_BYTES) return too_large();
        f[g].fetch_offset = static_cast<int32_t>(base);
        align = alignment_of(f[g]);
        if (f[g].elementary) {
            next = g + 1;
            return 1;
        }
        const int16_t depth = f[g].depth;
        int64_t s = 0;
        size_t j = g + 1;
        while (j < f.size() && f[j].depth > depth) {
            const size_t child = j;
            column_entry& c = f[child];
            int64_t start = base + s;
            const int32_t redefined = c.redefines_before_naming;
            const bool redefining = redefined != 0;
            if (redefining) {
                if (redefined < 0 || static_cast<size_t>(redefined) >= child)
                    return CD_error(error, "Invalid REDEFINES field");
                // A redefinition starts where what it redefines starts:
                // compilers refuse one that would need slack first.
                start = f[static_cast<size_t>(redefined)].fetch_offset;
            } else {
                const int64_t slack = slack_before(child, start);
                start += slack;
                s += slack;
            }
            int64_t child_align = 1;
            if (c.elementary) {
                if (start > CD_MAX_BYTES) return too_large();
                c.fetch_offset = static_cast<int32_t>(start);
                child_align = alignment_of(c);
                j = child + 1;
            } else if (!lay(child, start, j, child_align)) {
                return 0;
            }
            align = std::max(align, child_align);
            // Both factors are at most CD_MAX_BYTES and CD_MAX_OCCURS: their
            // product fits 64 bits.
            const int64_t extent = static_cast<int64_t>(f[child].occurs) * CD_stored_size(f[child]);
            if (redefining) {
                // A redefinition longer than what it redefines still owns its
                // bytes: the group grows so that later fields never overlap it.
                s = std::max(s, start + extent - base);
            } else {
                s += extent;
            }
            if (s > CD_MAX_BYTES || base + s > CD_MAX_BYTES) return too_large();
        }
        // Every occurrence of a table must be aligned as the first: slack at
        // the end of each occurrence rounds it up to its largest boundary.
        if (f[g].occurs > 1 && align > 1 && s % align != 0) {
            const int64_t slack = align - s % align;
            s += slack;
            if (cd_entry_text* t = text_of(g)) t->slack_after = static_cast<int32_t>(slack);
            if (s > CD_MAX_BYTES || base + s > CD_MAX_BYTES) return too_large();
        }
        column_entry& group = f[g];
        group.int_len = group.bin_len = group.tbl_len = group.ext_len = static_cast<int32_t>(s);
        next = j;
        return 1;
    }
};

// SYNCHRONIZED on a level-01 group synchronizes every elementary item in
// it (IBM COBOL); on other groups it has no effect.
bool spread_record_sync(std::vector<column_entry>& f) {
    bool any = false;
    int16_t synced_depth = -1;  // depth of the open level-01 group that has SYNC; -1: none
    for (column_entry& c : f) {
        if (synced_depth >= 0 && c.depth <= synced_depth) synced_depth = -1;
        if (!c.elementary && c.sync && (c.level_number <= 1) && synced_depth < 0) synced_depth = c.depth;
        if (c.elementary && synced_depth >= 0) c.sync = 1;
        any = any || (c.elementary && c.sync);
    }
    return any;
}

}  // namespace

int32_t cd_redefinition_finder::add(const column_entry* previous, const column_entry& field, int32_t index) {
    if (index == 0) return 0;
    const uint64_t key = (static_cast<uint64_t>(static_cast<uint16_t>(field.depth)) << 32) |
                         static_cast<uint32_t>(field.fetch_offset);
    // The first index at an out-of-order place, or `index` when it is the
    // first there.
    const auto first_out_of_order = [&] { return out_of_order_.try_emplace(key, index).first->second; };
    int32_t first = index;
    if (field.depth < 0) {
        // Only a list built by hand has one; it has no run of its own.
        first = first_out_of_order();
    } else {
        const size_t depth = static_cast<size_t>(field.depth);
        if (depth >= by_depth_.size()) by_depth_.resize(depth + 1);
        std::vector<place>& run = by_depth_[depth];
        if (run.empty() || field.fetch_offset > run.back().offset) {
            run.push_back({field.fetch_offset, index});
        } else {
            const auto at = std::lower_bound(run.begin(), run.end(), field.fetch_offset,
                                             [](const place& p, int32_t offset) { return p.offset < offset; });
            first = at->offset == field.fetch_offset ? at->first : first_out_of_order();
        }
    }
    const bool header_before = previous && previous->depth == field.depth && !previous->elementary;
    return first == index || header_before ? 0 : first;
}

std::vector<int32_t> CD_redefinitions(const std::vector<column_entry>& fields) {
    std::vector<int32_t> redefined(fields.size(), 0);
    cd_redefinition_finder finder;
    for (size_t i = 0; i < fields.size(); ++i)
        redefined[i] = finder.add(i ? &fields[i - 1] : nullptr, fields[i], static_cast<int32_t>(i));
    return redefined;
}

int CD_add_field(std::string& error, cobol_def& def, column_entry entry) {
    if (!def.fields) def.fields = std::make_shared<std::vector<column_entry>>();
    std::vector<column_entry>& f = *def.fields;
    if (!f.empty()) {
        const column_entry& prev = f.back();
        // Elementary items have no subordinates, whatever the new entry is:
        // a group under an elementary item would get no meaningful layout.
        if (entry.level_number > prev.level_number && prev.elementary)
            return CD_error(error, "Field is not part of group (%s)", entry.name.c_str());
        // A level number between those of two open groups (05 A, 10 B, then
        // 03 C) makes the entry a sibling of the deeper group's children, as
        // compilers take it; depths follow from the open groups alone.
        if (entry.level_number <= f.front().level_number)
            return CD_error(error, "Invalid level for field (%s)", entry.name.c_str());
        if (f.size() >= static_cast<size_t>(INT32_MAX))
            return CD_error(error, "Record %s has too many fields", f.front().name.c_str());
    }
    f.push_back(std::move(entry));
    def.field_count = static_cast<int32_t>(f.size());
    return 1;
}

void CD_set_depths(cobol_def& def) {
    if (!def.fields || def.fields->empty()) return;
    std::vector<column_entry>& f = *def.fields;
    // Level numbers of the chain of open groups, the first field at the
    // bottom; the depth of a field is the number of its ancestors.
    std::vector<int16_t> open{f[0].level_number};
    f[0].depth = 0;
    for (size_t i = 1; i < f.size(); ++i) {
        const int16_t level = f[i].level_number;
        while (open.size() > 1 && open.back() >= level) open.pop_back();
        f[i].depth = static_cast<int16_t>(open.size());
        open.push_back(level);
    }
}

int CD_set_offsets(std::string& error, cobol_def& def) {
    std::vector<column_entry>& f = *def.fields;
    const bool aligns = spread_record_sync(f);
    layout_pass pass{f, def.texts.get(), error, f[0].name, aligns};
    size_t next = 0;
    int64_t align = 1;
    if (!pass.lay(0, 0, next, align)) return 0;
    // The record's own OCCURS repeats the whole record; it must fit as well.
    if (static_cast<int64_t>(f[0].occurs) * f[0].int_len > CD_MAX_BYTES) return pass.too_large();
    return 1;
}

int CD_find_empty_group(const cobol_def& def) {
    if (!def.fields) return -1;
    const std::vector<column_entry>& f = *def.fields;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i].elementary) continue;
        if (i + 1 >= f.size() || f[i + 1].level_number <= f[i].level_number) return static_cast<int>(i);
    }
    return -1;
}

int CD_close_record(std::string& error, cobol_def& def) {
    if (!def.fields || def.fields->empty()) return CD_error(error, "Record has no fields");
    std::vector<column_entry>& f = *def.fields;
    CD_set_depths(def);
    const int group = CD_find_empty_group(def);
    if (group >= 0) return CD_error(error, "Group %s did not have elementary items", f[static_cast<size_t>(group)].name.c_str());
    if (!CD_set_offsets(error, def)) return 0;
    // After the layout, so that a pair keeps the offset and the slack its
    // group was given.
    CD_merge_varchar_pairs(def);
    def.def_name = f[0].name;
    f.shrink_to_fit();
    def.field_count = static_cast<int32_t>(f.size());
    return 1;
}
