// datarun: DATAFILE and LOADSCRIPT, and the conversion of data files into
// rows.
//
// Invariants: a table's rows hold exactly the columns its DDL writes, in
// its order, named as it names them (the columns resolution includes,
// through the same names); every record read is either a row or a reject,
// and read = written + rejected; rows, reject and load files are written
// beside their names and put in place with the DDL only when the run ends
// well, so a failed or interrupted run leaves existing files as they were.
// Memory does not grow with the data: rows, rejects and log lines pass
// through buffers written out as they fill.
#include "tabform/datarun.h"

#include <algorithm>
#include <cerrno>
#include <set>

#include "kvapp/console.h"
#include "kvapp/tabutl.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/loadscript.h"
#include "tabform/params.h"
#include "tabform/resolve.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: datarun.cpp 1.0 tabcopy $"};

std::vector<data_job> data_jobs;
std::string load_script_path;

namespace {

// Output goes out in chunks of this size.
constexpr size_t kFlushAt = 1 << 20;

}  // namespace

std::vector<std::string> command_words(const std::string& command) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < command.size()) {
        while (at < command.size() && (command[at] == ' ' || command[at] == '\t' || command[at] == ';')) ++at;
        const size_t start = at;
        while (at < command.size() && command[at] != ' ' && command[at] != '\t' && command[at] != ';') ++at;
        if (at > start) words.push_back(command.substr(start, at - start));
    }
    return words;
}

void datafile_command(std::string& command, const std::string& word) {
    const std::vector<std::string> words = command_words(command);
    if (words.size() < 2) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 209, {word});
        return;
    }
    const uint32_t entries = TABUTL_arrayGetElements(def_table);
    if (entries == 0) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247,
                       {"DATAFILE", "it names the data of the FILE command before it, and there is none"});
        return;
    }
    for (const data_job& j : data_jobs) {
        if (j.entry != entries - 1) continue;
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247,
                       {"DATAFILE", "the FILE command before it already has a DATAFILE"});
        return;
    }
    data_job job;
    job.entry = entries - 1;
    job.data_path = words[1];
    size_t at = 2;
    std::string error;
    const bool read = read_data_options(error, words, at, job.options);
    if (read && (!job.options.template_path.empty() || !job.options.definition.empty()))
        error = "TEMPLATE and DEF belong to tabcopy DATA; the FILE command names the record and DDLTEMPLATEFILE "
                "the template";
    if (!error.empty()) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247, {"DATAFILE", error});
        return;
    }
    data_jobs.push_back(std::move(job));
}

void loadscript_command(std::string& command, const std::string& word) {
    const std::vector<std::string> words = command_words(command);
    if (words.size() != 2) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 209, {word});
        return;
    }
    load_script_path = words[1];
}

namespace {

std::string upper_hex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0xF];
    }
    return out;
}

// A file the conversion writes, put in place with the DDL.
struct output_file {
    std::string name;
    FILE* stream = nullptr;
    dp_buffer buffer;
    bool own = true;  // false for standard output

    bool open(const std::string& path) {
        name = path;
        stream = kvOpenReplacement(path.c_str(), false);
        if (!stream) kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1091, {path});
        return stream != nullptr;
    }
    void flush() {
        if (buffer.size() && stream && !kvWriteFlush(stream, buffer.data(), buffer.size()))
            kvWriteFailed(name.c_str(), errno);
        buffer.clear();
    }
    void flush_if_full() {
        if (buffer.size() >= kFlushAt) flush();
    }
    void append(const std::string& text) {
        if (buffer.reserve(text.size())) buffer.put(text.data(), text.size());
        flush_if_full();
    }
};

// The names a job's files get: the rows file named after the table
// unless ROWS names it, rejects and log beside it.
struct job_files {
    std::string rows, rejects, log;
};

job_files files_of(const data_job& job, const def_entry& entry) {
    job_files f;
    f.rows = job.options.rows.empty() ? entry.table_name + rows_suffix() : job.options.rows;
    f.rejects = job.options.rejects.empty() ? f.rows + ".rej" : job.options.rejects;
    f.log = job.options.reject_log.empty() ? f.rows + ".rej.log" : job.options.reject_log;
    return f;
}

const cd_entry_text* text_of(const def_entry& entry, const column_entry& c) {
    if (!entry.texts || c.text < 0 || static_cast<size_t>(c.text) >= entry.texts->size()) return nullptr;
    return &(*entry.texts)[static_cast<size_t>(c.text)];
}

// The columns of the DDL, in its order, as the decoder needs them.
std::vector<dp_column> ddl_columns(const def_entry& entry) {
    const std::vector<column_entry>& f = *entry.fields;
    const std::vector<char> included = columns_included(f);
    std::vector<dp_column> columns;
    for (size_t i = 0; i < f.size(); ++i) {
        if (!included[i]) continue;
        const column_entry& c = f[i];
        const derived_type type = derive_type(c);
        const std::string kind = type.name;
        const cd_entry_text* text = text_of(entry, c);
        dp_column col;
        col.entry = &c;
        col.name = templ_sql_name(c.name);
        col.field = text ? text->name : c.name;
        col.nullable = !column_not_null(c);
        col.precision = type.precision;
        col.integer = (kind == "SMALLINT" || kind == "INTEGER" || kind == "LARGEINT") && c.scale == 0 && c.p_scale <= 0;
        columns.push_back(std::move(col));
    }
    return columns;
}

int64_t record_length(const def_entry& entry) {
    const column_entry& first = entry.fields->front();
    return static_cast<int64_t>(first.int_len) * first.occurs;
}

// What the bytes of a file full of rejects suggest: the character set the
// text looks like, compared with the one named.
std::string misdescription_hint(const data_job& job, const kv_codepage& codepage, const std::vector<uint8_t>& sample) {
    size_t ascii = 0, ebcdic = 0;
    for (uint8_t b : sample) {
        if (b == 0x20 || (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A)) ++ascii;
        if (b == 0x40 || (b >= 0xF0 && b <= 0xF9) || (b >= 0xC1 && b <= 0xE9)) ++ebcdic;
    }
    std::string hint;
    if (codepage.ebcdic && ascii > 2 * ebcdic)
        hint = "its text looks like ASCII, not EBCDIC: try CODEPAGE ASCII (or ISO-8859-1, WINDOWS-1252, UTF-8)";
    else if (!codepage.ebcdic && ebcdic > 2 * ascii)
        hint = "its text looks like EBCDIC: try CODEPAGE 037 (or the code page of the system that wrote it)";
    else
        hint = "check that FRAMING " + std::string(rf_framing_name(job.options.framing)) +
               " and the record (DEF of its FILE command) are those of the file, and the reject log for the "
               "fields that fail";
    return hint;
}

// A record that became no row: its bytes as they stood in the file (with
// their descriptor word), and a log line for each field error.
void log_errors(const dp_plan& plan, const rf_record& record, const std::vector<dp_error>& errors, bool rejected,
                output_file& log) {
    const int64_t data_offset = record.offset + (record.data - record.raw);
    for (const dp_error& e : errors) {
        const dp_field& f = plan.fields[e.field];
        const size_t from = std::min(static_cast<size_t>(f.offset), record.size);
        const size_t to = std::min(static_cast<size_t>(f.offset) + static_cast<size_t>(f.length), record.size);
        const bool nulled = !rejected || (plan.options.on_error == dp_on_error::null && f.nullable);
        log.append(std::to_string(record.number) + "\t" + std::to_string(data_offset + f.offset) + "\t" + f.field +
                   "\t" + f.column + "\t" + dp_fault_text(e.fault) + "\t" + (nulled ? "NULL" : "rejected") + "\t" +
                   upper_hex(record.data + from, to - from) + "\n");
    }
}

std::string stop_detail(const dp_plan& plan, const rf_record& record, const dp_error& e) {
    const dp_field& f = plan.fields[e.field];
    const size_t from = std::min(static_cast<size_t>(f.offset), record.size);
    const size_t to = std::min(static_cast<size_t>(f.offset) + static_cast<size_t>(f.length), record.size);
    return "field " + f.field + " (column " + f.column + ") has " + dp_fault_text(e.fault) + "; its bytes are " +
           (to > from ? upper_hex(record.data + from, to - from) : std::string("beyond the record"));
}

// The state of one table's conversion.
struct conversion {
    data_job& job;
    const def_entry& entry;
    dp_plan plan;
    kv_codepage codepage;
    job_files names;
    output_file rows, rejects, log;
    std::vector<dp_error> errors;
    std::vector<uint8_t> sample;  // bytes of the first rejects, for the hint

    bool fail(const std::string& reason) {
        kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1301, {entry.table_name, reason});
        return false;
    }

    bool prepare(FILE* stdout_rows, bool header) {
        std::string error;
        if (!kvCodepageLoad(error, job.options.codepage, codepage)) return fail(error);
        dp_options options = decode_options(job.options, codepage);
        options.format = stdout_rows && job.options.template_path.empty() ? dp_row_format::csv : templ_rows.format;
        options.refuse_nul = templ_rows.refuse_nul || options.format == dp_row_format::pg_text;
        options.null_text = options.format == dp_row_format::csv ? templ_rows.null_text : std::string();
        const int64_t length = record_length(entry);
        if (job.options.framing == rf_framing::fixed && job.options.lrecl > length)
            return fail("LRECL " + std::to_string(job.options.lrecl) + " is more than the " + std::to_string(length) +
                        " bytes of its record " + entry.def_name +
                        ", and a FIXED record longer than its layout would lose bytes: check the record and LRECL");
        if (!dp_build_plan(error, ddl_columns(entry), static_cast<int32_t>(length), codepage, options, plan))
            return fail(error);
        names = files_of(job, entry);
        if (stdout_rows) {
            rows.name = "standard output";
            rows.stream = stdout_rows;
            rows.own = false;
        } else if (!rows.open(names.rows)) {
            return false;
        }
        if (!rejects.open(names.rejects) || !log.open(names.log)) return false;
        log.append("record\toffset\tfield\tcolumn\terror\taction\tbytes\n");
        if (header) dp_write_header(plan, rows.buffer);
        return true;
    }

    // One record: a row, or a reject. False when the run must end here.
    bool take(const rf_record& record) {
        ++job.read;
        if (record.size > static_cast<size_t>(plan.record_length)) ++job.longer;
        const bool written = dp_decode_record(plan, record.data, record.size, rows.buffer, errors);
        if (!errors.empty() && plan.options.on_error == dp_on_error::stop) {
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1303,
                           {job.data_path, record.number, record.offset, stop_detail(plan, record, errors[0])});
            return false;
        }
        if (!errors.empty()) log_errors(plan, record, errors, !written, log);
        if (written) {
            ++job.written;
            rows.flush_if_full();
            return true;
        }
        if (errors.empty()) return false;  // memory ran out: reported
        ++job.rejected;
        if (rejects.buffer.reserve(record.raw_size)) rejects.buffer.put(reinterpret_cast<const char*>(record.raw), record.raw_size);
        rejects.flush_if_full();
        if (sample.size() < 4096) sample.insert(sample.end(), record.data, record.data + std::min<size_t>(record.size, 512));
        if (job.options.max_rejects > 0 && job.rejected >= job.options.max_rejects) {
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1304,
                           {job.data_path, job.rejected, job.options.max_rejects,
                            misdescription_hint(job, codepage, sample)});
            return false;
        }
        return true;
    }

    bool read_all() {
        rf_options framing;
        framing.framing = job.options.framing;
        framing.lrecl = job.options.lrecl ? job.options.lrecl : record_length(entry);
        rf_reader reader;
        std::string error;
        if (!reader.open(error, job.data_path, framing)) return fail(error);
        rf_record record{};
        int got = 0;
        while ((got = reader.next(error, record)) == 1)
            if (!take(record)) return false;
        reader.close();
        if (got < 0) {
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1302,
                           {job.data_path, rf_framing_name(job.options.framing), error});
            return false;
        }
        return true;
    }

    void finish() {
        rows.flush();
        rejects.flush();
        log.flush();
        kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1305,
                       {entry.table_name, job.read, job.data_path, job.written, rows.name, job.rejected});
        if (job.longer)
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1307,
                           {entry.table_name, job.longer, job.data_path, static_cast<int64_t>(plan.record_length)});
        if (job.rejected)
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1306,
                           {entry.table_name, job.rejected, names.rejects, names.log});
    }
};

}  // namespace

bool convert_data(data_job& job, const def_entry& entry, FILE* rows, bool header) {
    conversion c{job, entry, {}, {}, {}, {}, {}, {}, {}, {}};
    if (!c.prepare(rows, header) || !c.read_all()) return false;
    c.finish();
    return true;
}

bool data_rejected_any() {
    for (const data_job& j : data_jobs)
        if (j.rejected) return true;
    return false;
}

void run_data_jobs() {
    if (data_jobs.empty()) return;
    std::vector<load_entry> loads;
    std::set<std::string> rows_files;
    for (data_job& job : data_jobs) {
        const auto* entry = static_cast<const def_entry*>(TABUTL_arrayGetElement(job.entry, def_table));
        const job_files names = files_of(job, *entry);
        if (!rows_files.insert(names.rows).second) {
            kvRaiseMessage(KV_SITE_FN(kModule, "run_data_jobs"), 1301,
                           {entry->table_name, "its rows file " + names.rows +
                                                   " is the rows file of another table too; name another with ROWS"});
            return;
        }
        if (!convert_data(job, *entry, nullptr, templ_rows.header)) return;
        load_entry load;
        load.table = templ_sql_name(entry->table_name);
        load.rows_file = names.rows;
        for (const dp_column& c : ddl_columns(*entry)) {
            load.columns.push_back(c.name);
            if (c.nullable) load.nullable.push_back(c.name);
        }
        loads.push_back(std::move(load));
    }
    if (!templ_rows.has_load_section) {
        kvRaiseMessage(KV_SITE_FN(kModule, "run_data_jobs"), 1308);
        return;
    }
    // With the DDL on standard output the script is named after the
    // parameter file instead.
    const std::string& named_after = ddl_file.stream == stdout ? global_settings.param_file_name : ddl_file.name;
    write_load_script(load_script_path.empty() ? default_load_script_name(named_after) : load_script_path, loads);
}
