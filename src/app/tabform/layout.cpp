// layout: record layouts as text tables and as JSON.
//
// Invariants: offsets count from 0, the first byte of the record; a length
// is the storage of one occurrence (DISPLAY-2 items and level-49 pairs with
// their 2-byte length); every field of a definition is listed, groups, FILLER and
// redefinitions included, so that a record can be read with the layout
// alone. The JSON document is built whole and written once, at the end of
// a successful run, through the same replacement file as the DDL.
#include "tabform/layout.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "kvapp/console.h"
#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"
#include "tabform/params.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: layout.cpp 1.0 tabcopy $"};

namespace {

using json = nlohmann::ordered_json;

struct layout_file {
    FILE* stream = nullptr;
    std::string name;
    bool as_json = false;
    json tables = json::array();
};

layout_file& file() {
    static layout_file f;
    return f;
}

const cd_entry_text* text_of(const cobol_def& def, const column_entry& f) {
    if (!def.texts || f.text < 0 || static_cast<size_t>(f.text) >= def.texts->size()) return nullptr;
    return &(*def.texts)[static_cast<size_t>(f.text)];
}

// What the layout says of one field, or of slack bytes.
struct field_row {
    int level = 0;            // as written
    int depth = 0;
    std::string name;         // the COBOL name
    int64_t offset = 0;
    int64_t length = 0;
    int32_t occurs = 1;
    std::string usage, picture, redefines;
    std::string type;         // GROUP for a group, SLACK for slack bytes
    int32_t precision = 0;
    int32_t scale = 0;
    int p_scale = 0;
    std::string storage;      // how the bytes hold the value (the usage after the dialect)
    std::string sign;         // where the sign is, empty for none
    std::string depending_on;
    bool sync = false;
    bool column = false;      // with resolution only
    std::string column_name, sql_type, sql_size;
    bool not_null = false, key = false;
    bool grouping() const { return type == "GROUP" || type == "SLACK"; }
};

const char* storage_name(const column_entry& c) {
    static constexpr const char* kNames[] = {"DISPLAY", "BINARY", "NATIVE-BINARY", "PACKED-DECIMAL",
                                             "UNSIGNED-PACKED", "FLOAT", "POINTER", "INDEX",
                                             "NATIONAL", "DISPLAY-1", "UTF-8", "DISPLAY-2",
                                             "VARCHAR-49", "NATIVE-VARCHAR-49"};
    if (c.usage == CD_USAGE_FLOAT) return c.int_len == 4 ? "FLOAT-SHORT" : "FLOAT-LONG";
    return c.usage < std::size(kNames) ? kNames[c.usage] : "";
}

const char* sign_name(const column_entry& c) {
    static constexpr const char* kNames[] = {"", "trailing", "leading", "trailing separate", "leading separate",
                                             "binary"};
    return c.sign < std::size(kNames) ? kNames[c.sign] : "";
}

// Slack bytes as a FILLER of their own, at `depth` with the level `level`.
field_row slack_row(int level, int depth, int64_t offset, int64_t length) {
    field_row r;
    r.level = level;
    r.depth = depth;
    r.name = "FILLER";
    r.offset = offset;
    r.length = length;
    r.type = "SLACK";
    return r;
}

// Slack bytes at the end of each occurrence of a table come when the
// occurrence's subtree closes.
struct open_group {
    size_t index;
    int64_t end;
    int32_t slack;
    int level;          // of the group's subordinates
};

void close_groups(std::vector<field_row>& rows, std::vector<open_group>& open, int depth) {
    while (static_cast<int>(open.size()) > depth) {
        const open_group g = open.back();
        open.pop_back();
        if (g.slack > 0) rows.push_back(slack_row(g.level, static_cast<int>(open.size()) + 1, g.end - g.slack, g.slack));
    }
}

std::vector<field_row> rows_of(const cobol_def& def, const std::vector<sql_column>* columns) {
    std::vector<field_row> rows;
    if (!def.fields) return rows;
    const std::vector<column_entry>& f = *def.fields;
    // Once named, redefinitions are found by depth and offset.
    const std::vector<int32_t> redefined = columns ? CD_redefinitions(f) : std::vector<int32_t>();
    const std::vector<char> included = columns ? columns_included(f) : std::vector<char>();
    std::vector<open_group> open;  // by depth
    for (size_t i = 0; i < f.size(); ++i) {
        const column_entry& c = f[i];
        const cd_entry_text* text = text_of(def, c);
        close_groups(rows, open, std::max<int>(c.depth, 0));
        if (text && text->slack_before > 0)
            rows.push_back(slack_row(text->level, c.depth, c.fetch_offset - text->slack_before, text->slack_before));
        field_row r;
        r.level = text ? text->level : c.level_number;
        r.depth = c.depth;
        r.name = text ? text->name : c.name;
        r.offset = c.fetch_offset;
        r.length = CD_stored_size(c);
        r.occurs = c.occurs;
        // An array unrolled by the naming pass leaves a group before its
        // elements: the picture belongs to the elements.
        if (text && c.elementary) {
            r.usage = text->usage;
            r.picture = text->picture;
        }
        if (text) r.depending_on = text->depending_on;
        const int32_t target = columns ? redefined[i] : c.redefines_before_naming;
        if (target > 0 && static_cast<size_t>(target) < f.size()) {
            const cd_entry_text* t = text_of(def, f[static_cast<size_t>(target)]);
            r.redefines = t ? t->name : f[static_cast<size_t>(target)].name;
        }
        if (c.elementary) {
            const derived_type type = derive_type(c);
            r.type = type.name;
            r.precision = type.precision;
            r.scale = c.scale;
            r.p_scale = c.p_scale;
            r.storage = storage_name(c);
            r.sign = sign_name(c);
            r.sync = c.sync;
        } else {
            r.type = "GROUP";
            // The header the naming pass leaves before an unrolled table
            // (followed by its first occurrence at its own depth) spans all
            // occurrences: their own subtrees carry the slack.
            const column_entry* next = i + 1 < f.size() ? &f[i + 1] : nullptr;
            const bool header = next && next->depth == c.depth;
            const cd_entry_text* child = next ? text_of(def, *next) : nullptr;
            open.push_back({i, c.fetch_offset + r.length, text && !header ? text->slack_after : 0,
                            child ? child->level : 0});
        }
        if (columns && included[i]) {
            r.column = true;
            r.column_name = templ_sql_name(c.name);
            r.sql_type = (*columns)[i].sql_type;
            r.sql_size = (*columns)[i].size_text;
            r.not_null = column_not_null(c);
            r.key = c.key_column != 0;
        }
        rows.push_back(std::move(r));
    }
    close_groups(rows, open, 0);
    return rows;
}

// Columns of text, left-aligned but for the numbers.
std::string table_text(const std::vector<std::vector<std::string>>& cells, const std::vector<bool>& right) {
    std::vector<size_t> width(right.size(), 0);
    for (const auto& row : cells)
        for (size_t k = 0; k < row.size(); ++k) width[k] = std::max(width[k], row[k].size());
    std::string out;
    for (const auto& row : cells) {
        std::string line;
        for (size_t k = 0; k < row.size(); ++k) {
            const std::string pad(width[k] - row[k].size(), ' ');
            line += k ? "  " : "";
            line += right[k] ? pad + row[k] : row[k] + pad;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    return out;
}

std::string level_text(int level) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", level);
    return text;
}

}  // namespace

std::string layout_text(const cobol_def& def, const std::vector<sql_column>* columns) {
    const std::vector<field_row> rows = rows_of(def, columns);
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> head = {"Level", "Name",  "Offset",    "Length",  "Occurs", "Usage",
                                     "Picture", "Redefines", "Type", "Precision", "Scale", "Storage", "Sign",
                                     "Depending on"};
    std::vector<bool> right = {false, false, true, true, true, false, false, false, false, true, true,
                               false, false, false};
    if (columns) {
        for (const char* h : {"Column", "SQL type", "Null", "Key"}) head.push_back(h);
        right.insert(right.end(), {false, false, false, false});
    }
    cells.push_back(head);
    for (const field_row& r : rows) {
        std::vector<std::string> row = {
            r.level ? level_text(r.level) : "--", std::string(static_cast<size_t>(r.depth) * 2, ' ') + r.name,
            std::to_string(r.offset), std::to_string(r.length), std::to_string(r.occurs), r.usage, r.picture,
            r.redefines, r.type, r.grouping() ? "" : std::to_string(r.precision),
            r.grouping() ? "" : std::to_string(r.scale), r.storage + (r.sync ? " SYNC" : ""), r.sign,
            r.depending_on};
        if (columns) {
            row.push_back(r.column ? r.column_name : "");
            row.push_back(r.column ? r.sql_type + (r.sql_size.empty() ? "" : " " + r.sql_size) : "");
            row.push_back(r.column ? (r.not_null ? "NOT NULL" : "NULL") : "");
            row.push_back(r.key ? "KEY" : "");
        }
        cells.push_back(std::move(row));
    }
    const int64_t length = rows.empty() ? 0 : rows[0].length * rows[0].occurs;
    std::string out = columns ? "Table " + templ_sql_name(def.table_name) + ", definition " + def.def_name
                              : "Record " + def.def_name;
    out += ": " + std::to_string(length) + " bytes, offsets from 0";
    if (def.dialect != cd_dialect::tabcopy) out += std::string(", ") + CD_dialect_name(def.dialect) + " dialect";
    out += "\n";
    return out + table_text(cells, right);
}

int layout_command(const std::vector<std::string>& words) {
    std::string command = "COBOLDEFSFILE";
    for (const std::string& w : words) command += " " + w;
    std::vector<cobol_def>& defs = CD_definitions();
    const size_t before = defs.size();
    if (!load_copybook(command, true)) return 12;
    std::string out;
    for (size_t i = before; i < defs.size(); ++i) out += (i > before ? "\n" : "") + layout_text(defs[i], nullptr);
    if (!kvWriteFlush(stdout, out.data(), out.size())) {
        kvWriteFailed("standard output", errno);
        return 12;
    }
    return 0;
}

bool open_layout_file(const std::string& name, bool as_json, bool append) {
    layout_file& f = file();
    f.stream = kvOpenReplacement(name.c_str(), append);
    if (!f.stream) {
        kvRaiseMessage(KV_SITE_FN(kModule, "open_layout_file"), 1091, {name});
        return false;
    }
    f.name = name;
    f.as_json = as_json;
    f.tables = json::array();
    return true;
}

bool layout_file_open() { return file().stream != nullptr; }

void write_layout_entry(const def_entry& entry, const std::vector<sql_column>& columns) {
    layout_file& f = file();
    if (!f.stream) return;
    if (!f.as_json) {
        const std::string text = layout_text(entry, &columns) + "\n";
        if (!kvWriteFlush(f.stream, text.data(), text.size())) kvWriteFailed(f.name.c_str(), errno);
        return;
    }
    const std::vector<field_row> rows = rows_of(entry, &columns);
    json fields = json::array();
    for (const field_row& r : rows) {
        const bool group = r.grouping();
        fields.push_back({{"level", r.level},
                          {"depth", r.depth},
                          {"name", r.name},
                          {"column", r.column ? json(r.column_name) : json(nullptr)},
                          {"offset", r.offset},
                          {"length", r.length},
                          {"occurs", r.occurs},
                          {"redefines", r.redefines.empty() ? json(nullptr) : json(r.redefines)},
                          {"usage", r.usage.empty() ? json(nullptr) : json(r.usage)},
                          {"picture", r.picture.empty() ? json(nullptr) : json(r.picture)},
                          {"type", r.type},
                          {"precision", group ? json(nullptr) : json(r.precision)},
                          {"scale", group ? json(nullptr) : json(r.scale)},
                          {"sql_type", r.column ? json(r.sql_type) : json(nullptr)},
                          {"sql_size", r.column ? json(r.sql_size) : json(nullptr)},
                          {"nullable", r.column ? json(!r.not_null) : json(nullptr)},
                          {"key", r.key},
                          {"filler", r.name == "FILLER"},
                          {"storage", group ? json(nullptr) : json(r.storage)},
                          {"sign", r.sign.empty() ? json(nullptr) : json(r.sign)},
                          {"sync", r.sync},
                          {"p_scaling", r.p_scale},
                          {"depending_on", r.depending_on.empty() ? json(nullptr) : json(r.depending_on)},
                          {"slack", r.type == "SLACK"}});
    }
    f.tables.push_back({{"table", entry.table_name},
                        {"definition", entry.def_name},
                        {"dialect", CD_dialect_name(entry.dialect)},
                        {"record_length", rows.empty() ? 0 : rows[0].length * rows[0].occurs},
                        {"fields", std::move(fields)}});
}

void finish_layout_file() {
    layout_file& f = file();
    if (!f.stream || !f.as_json) return;
    const std::string text = json{{"tables", f.tables}}.dump(2) + "\n";
    if (!kvWriteFlush(f.stream, text.data(), text.size())) kvWriteFailed(f.name.c_str(), errno);
}
