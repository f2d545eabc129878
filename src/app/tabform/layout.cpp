// layout: record layouts as text tables and as JSON.
//
// Invariants: offsets count from 0, the first byte of the record; a length
// is the storage of one occurrence (DISPLAY-2 items with their 2-byte
// prefix); every field of a definition is listed, groups, FILLER and
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

// What the layout says of one field.
struct field_row {
    int level = 0;            // as written
    int depth = 0;
    std::string name;         // the COBOL name
    int64_t offset = 0;
    int64_t length = 0;
    int32_t occurs = 1;
    std::string usage, picture, redefines;
    std::string type;         // GROUP for a group
    int32_t precision = 0;
    int32_t scale = 0;
    bool column = false;      // with resolution only
    std::string column_name, sql_type, sql_size;
    bool not_null = false, key = false;
};

std::vector<field_row> rows_of(const cobol_def& def, const std::vector<sql_column>* columns) {
    std::vector<field_row> rows;
    if (!def.fields) return rows;
    const std::vector<column_entry>& f = *def.fields;
    // Once named, redefinitions are found by depth and offset.
    const std::vector<int32_t> redefined = columns ? CD_redefinitions(f) : std::vector<int32_t>();
    const std::vector<char> included = columns ? columns_included(f) : std::vector<char>();
    for (size_t i = 0; i < f.size(); ++i) {
        const column_entry& c = f[i];
        const cd_entry_text* text = text_of(def, c);
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
        } else {
            r.type = "GROUP";
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
    std::vector<std::string> head = {"Level", "Name", "Offset", "Length", "Occurs", "Usage", "Picture",
                                     "Redefines", "Type", "Precision", "Scale"};
    std::vector<bool> right = {false, false, true, true, true, false, false, false, false, true, true};
    if (columns) {
        for (const char* h : {"Column", "SQL type", "Null", "Key"}) head.push_back(h);
        right.insert(right.end(), {false, false, false, false});
    }
    cells.push_back(head);
    for (const field_row& r : rows) {
        std::vector<std::string> row = {
            r.level ? level_text(r.level) : "--", std::string(static_cast<size_t>(r.depth) * 2, ' ') + r.name,
            std::to_string(r.offset), std::to_string(r.length), std::to_string(r.occurs), r.usage, r.picture,
            r.redefines, r.type, r.type == "GROUP" ? "" : std::to_string(r.precision),
            r.type == "GROUP" ? "" : std::to_string(r.scale)};
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
    out += ": " + std::to_string(length) + " bytes, offsets from 0\n";
    return out + table_text(cells, right);
}

int layout_command(const std::vector<std::string>& words) {
    std::string command = "COBOLDEFSFILE";
    for (const std::string& w : words) command += " " + w;
    std::vector<cobol_def>& defs = CD_definitions();
    const size_t before = defs.size();
    std::string error;
    if (!CD_read_defs(error, command))
        kvRaiseMessage(KV_SITE_FN(kModule, "layout_command"), 1244, {error});
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
        const bool group = r.type == "GROUP";
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
                          {"filler", r.name == "FILLER"}});
    }
    f.tables.push_back({{"table", entry.table_name},
                        {"definition", entry.def_name},
                        {"record_length", rows.empty() ? 0 : rows[0].length * rows[0].occurs},
                        {"fields", std::move(fields)}});
}

void finish_layout_file() {
    layout_file& f = file();
    if (!f.stream || !f.as_json) return;
    const std::string text = json{{"tables", f.tables}}.dump(2) + "\n";
    if (!kvWriteFlush(f.stream, text.data(), text.size())) kvWriteFailed(f.name.c_str(), errno);
}
