// datarun: DATAFILE and LOADSCRIPT, and the conversion of data files into
// rows: one pass over each data file for every table that reads it.
//
// Invariants: a table's rows hold exactly the columns its DDL writes, in
// its order, named as it names them; every record read is a row of one
// table (with the rows of its child tables), a reject, or (UNMATCHED SKIP)
// counted as matching no table: read = rows of the records' tables +
// rejected + skipped. Batches are decoded on several threads but written in
// file order, so the files do not depend on the number of threads. Rows,
// reject and load files are written beside their names and put in place
// with the DDL only when the run ends well. Memory does not grow with the
// data: a bounded number of batches of bounded size are in flight. A part
// of a file (START, LENGTH) numbers its records as the whole file does and
// writes header lines only when it starts the file, so that the outputs of
// the parts, concatenated in order, are those of the whole file.
#include "tabform/datarun.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "kvapp/console.h"
#include "kvapp/tabutl.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/childtables.h"
#include "tabform/datapass.h"
#include "tabform/loadscript.h"
#include "tabform/params.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: datarun.cpp 1.0 tabcopy $"};

std::vector<data_job> data_jobs;
std::string load_script_path;

namespace {

// A batch holds about this many bytes of records; output goes out in
// chunks of about the same size.
constexpr size_t kBatchBytes = 1 << 20;
constexpr size_t kFlushAt = 1 << 20;
constexpr size_t kWriteAsItIs = 64 << 10;

bool g_rejected = false;

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
    if (last_file_entry < 0) {
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247,
                       {"DATAFILE", "it names the data of the FILE command before it, and there is none"});
        return;
    }
    for (const data_job& j : data_jobs) {
        if (static_cast<int32_t>(j.entry) != last_file_entry) continue;
        kvRaiseMessage(KV_SITE_FN(kModule, "get_infile_params"), 1247,
                       {"DATAFILE", "the FILE command before it already has a DATAFILE"});
        return;
    }
    data_job job;
    job.entry = static_cast<uint32_t>(last_file_entry);
    job.data_path = words[1];
    size_t at = 2;
    std::string error;
    const bool read = read_data_options(error, words, at, job.options);
    if (read && (!job.options.template_path.empty() || !job.options.definition.empty()))
        error = "TEMPLATE and DEF belong to tabcopy DATA; the FILE command names the record and DDLTEMPLATEFILE "
                "the template";
    // A file several FILE commands read is read once: its options are
    // those of its first DATAFILE, and the others may only name their rows.
    for (const data_job& j : data_jobs)
        if (error.empty() && j.data_path == job.data_path && words.size() > 2 &&
            !(words.size() == 4 && kvEqualsNoCase(words[2], "ROWS")))
            error = "the data file " + job.data_path +
                    " is read once for every FILE command that names it, with the data options of its first "
                    "DATAFILE: a later one may only name its ROWS";
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

// A file the conversion writes, put in place with the DDL.
struct output_file {
    std::string name;
    FILE* stream = nullptr;

    bool open(const std::string& path) {
        name = path;
        stream = kvOpenReplacement(path.c_str(), false);
        if (!stream) kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1091, {path});
        return stream != nullptr;
    }
    void write(const char* data, size_t size) {
        if (size && stream && !kvWriteFlush(stream, data, size)) kvWriteFailed(name.c_str(), errno);
    }
};

// Output gathered from batches until there is enough to write; a batch's
// large output is written as it is, not copied first.
struct pending {
    output_file* file;
    std::string text;
    void add(const char* data, size_t size) {
        if (size < kWriteAsItIs) {
            text.append(data, size);
            if (text.size() >= kFlushAt) flush();
            return;
        }
        flush();
        file->write(data, size);
    }
    void flush() {
        file->write(text.data(), text.size());
        text.clear();
    }
};

// What the bytes of a file full of rejects suggest: the character set the
// text looks like, compared with the one named.
std::string misdescription_hint(const data_pass& pass, const std::vector<uint8_t>& sample) {
    size_t ascii = 0, ebcdic = 0;
    for (uint8_t b : sample) {
        if (b == 0x20 || (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A)) ++ascii;
        if (b == 0x40 || (b >= 0xF0 && b <= 0xF9) || (b >= 0xC1 && b <= 0xE9)) ++ebcdic;
    }
    if (pass.codepage.ebcdic && ascii > 2 * ebcdic)
        return "its text looks like ASCII, not EBCDIC: try CODEPAGE ASCII (or ISO-8859-1, WINDOWS-1252, UTF-8)";
    if (!pass.codepage.ebcdic && ebcdic > 2 * ascii)
        return "its text looks like EBCDIC: try CODEPAGE 037 (or the code page of the system that wrote it)";
    return "check that FRAMING " + std::string(rf_framing_name(pass.options.framing)) +
           " and the record (DEF of its FILE command) are those of the file, and the reject log for the fields "
           "that fail";
}

// The FIXED record length a pass reads by: LRECL, else its longest layout.
int64_t pass_lrecl(const data_pass& pass) { return pass.options.lrecl ? pass.options.lrecl : pass.longest; }

// Records from the framer, or, for FIXED files whose records are only as
// long as their OCCURS DEPENDING ON counts make them, cut here.
class record_source {
public:
    record_source(const data_pass& pass, pass_scratch& scratch) : pass_(pass), scratch_(scratch) {}

    bool open(std::string& error, int64_t lrecl) {
        const data_options& o = pass_.options;
        compact_ = o.odo_compact && o.framing == rf_framing::fixed;
        rf_options framing;
        framing.framing = o.framing;
        framing.lrecl = lrecl;
        framing.start = o.start;
        framing.end = o.length >= 0 ? o.start + o.length : -1;
        framing.first_record = first_record_of(o, lrecl);
        if (!compact_) return reader_.open(error, pass_.data_path, framing);
        file_ = kvOpenFile(pass_.data_path.c_str(), "rb");
        if (!file_) {
            error = "cannot open " + pass_.data_path;
            return false;
        }
        if (o.start > 0 && !kvSeekFile(file_, o.start)) {
            error = "cannot read " + pass_.data_path + " from byte offset " + std::to_string(o.start) + ": " +
                    std::strerror(errno);
            return false;
        }
        offset_ = o.start;
        end_offset_ = framing.end;
        number_ = framing.first_record;
        return true;
    }

    // 1: a record; 0: the end; -1: an error.
    int next(std::string& error, rf_record& record) {
        if (!compact_) return reader_.next(error, record);
        return next_compact(error, record);
    }

    int64_t file_size() const { return compact_ ? -1 : reader_.file_size(); }

    // Whether records stay in the framer's buffers, which hold() keeps.
    bool holds() const { return !compact_; }
    std::shared_ptr<const uint8_t[]> hold() const { return reader_.hold(); }
    const uint8_t* buffer() const { return reader_.buffer(); }

    void close() {
        reader_.close();
        if (file_) kvFclose(file_);
        file_ = nullptr;
    }

private:
    int next_compact(std::string& error, rf_record& record) {
        const size_t want = static_cast<size_t>(pass_.longest);
        if (at_ > 0 && buffer_.size() - at_ < want) {
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at_));
            at_ = 0;
        }
        while (!end_ && buffer_.size() - at_ < want) {
            const size_t had = buffer_.size();
            buffer_.resize(had + (1 << 16));
            const size_t got = std::fread(buffer_.data() + had, 1, 1 << 16, file_);
            buffer_.resize(had + got);
            if (got == 0) end_ = true;
        }
        const size_t left = buffer_.size() - at_;
        if (left == 0 || (end_offset_ >= 0 && offset_ >= end_offset_)) return 0;
        const int64_t length = compact_length(pass_, buffer_.data() + at_, left, scratch_);
        if (length <= 0 || static_cast<size_t>(length) > left) {
            error = length <= 0 ? "the counts of OCCURS DEPENDING ON cannot be read"
                                : "the file ends inside a record of " + std::to_string(length) + " bytes";
            error += ": record " + std::to_string(number_) + " at byte offset " + std::to_string(offset_);
            return -1;
        }
        record = rf_record{};
        record.data = record.raw = buffer_.data() + at_;
        record.size = record.raw_size = static_cast<size_t>(length);
        record.number = number_++;
        record.offset = offset_;
        offset_ += length;
        at_ += static_cast<size_t>(length);
        return 1;
    }

    const data_pass& pass_;
    pass_scratch& scratch_;
    bool compact_ = false;
    rf_reader reader_;
    FILE* file_ = nullptr;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0;
    bool end_ = false;
    int64_t number_ = 1, offset_ = 0, end_offset_ = -1;
};

// Decoding workers over a queue of batches; batches are handed back in the
// order they were given.
class workers {
public:
    workers(const data_pass& pass, int threads) : pass_(pass) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
    }
    ~workers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }
    // On lines of its own: the main thread fills one while a worker decodes the next.
    struct alignas(kCacheLine) job {
        batch_input in;
        batch_output out;
        bool decoded = false;
        // A FIXED file's records are not framed in turn: each job reads
        // its own byte range, on its worker.
        bool ranged = false;
        rf_options range;
        std::string error;  // why its range could not be read to its end
    };
    void submit(job* j) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(j);
        }
        wake_.notify_one();
    }
    void wait(job* j) {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [j] { return j->decoded; });
    }

private:
    void work() {
        pass_scratch scratch;
        rf_reader reader;
        for (;;) {
            job* j = nullptr;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return done_ || !queue_.empty(); });
                if (queue_.empty()) return;
                j = queue_.front();
                queue_.pop_front();
            }
            if (j->ranged) decode_range(*j, reader, scratch);
            else decode_batch(pass_, j->in, j->out, scratch);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                j->decoded = true;
            }
            finished_.notify_all();
        }
    }

    // The records of a job's range, read and decoded here, in place.
    void decode_range(job& j, rf_reader& reader, pass_scratch& scratch) {
        j.out.reset(pass_.tables.size());
        j.error.clear();
        std::string error;
        if (!reader.open(error, pass_.data_path, j.range)) {
            j.error = error;
            return;
        }
        rf_record r{};
        int got = 0;
        while ((got = reader.next(error, r)) == 1)
            decode_record(pass_, batch_record{r.raw, r.raw_size, r.data, r.size, r.number, r.offset}, j.out, scratch);
        if (got < 0) j.error = error;
    }

    const data_pass& pass_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::deque<job*> queue_;
    bool done_ = false;
};

int thread_count(const data_options& options) {
    if (options.threads > 0) return options.threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores ? static_cast<int>(std::min(cores, 64u)) : 1;
}

// The files of a pass and what has been written to them.
struct pass_output {
    std::vector<output_file> rows;
    std::vector<pending> row_text;
    output_file rejects, log;
    pending reject_bytes, log_text;
    pass_counts totals;
    std::vector<uint8_t> sample;
};

// Why a pass ends early. Raised only once the workers have stopped: the
// message ends the process, which must not happen under their feet.
struct failure {
    uint32_t code = 0;
    std::string text, detail;
    int64_t a = 0, b = 0;
    void raise(const data_pass& pass) const {
        switch (code) {
        case 1302:
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1302,
                           {pass.data_path, rf_framing_name(pass.options.framing), detail});
            break;
        case 1303:
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1303, {pass.data_path, a, b, detail});
            break;
        case 1304:
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1304, {pass.data_path, a, a, detail});
            break;
        default: break;
        }
    }
};

// Appends a decoded batch in file order. False when the run ends here
// (ONERROR STOP, MAXREJECTS), with the reason in `why`.
bool commit(const data_pass& pass, pass_output& out, const batch_output& b, failure& why) {
    if (b.stop_record) {
        why = failure{1303, "", b.stop_detail, b.stop_record, b.stop_offset};
        return false;
    }
    for (size_t t = 0; t < b.rows.size(); ++t) {
        out.row_text[t].add(b.rows[t].data(), b.rows[t].size());
        out.totals.records[t] += b.counts.records[t];
        out.totals.rejected_of[t] += b.counts.rejected_of[t];
        out.totals.longer_of[t] += b.counts.longer_of[t];
        out.totals.rows[t] += b.counts.rows[t];
    }
    out.reject_bytes.add(b.rejects.data(), b.rejects.size());
    out.log_text.add(b.log.data(), b.log.size());
    out.totals.read += b.counts.read;
    out.totals.unmatched += b.counts.unmatched;
    out.totals.rejected += b.counts.rejected;
    if (out.sample.size() < 4096) out.sample.insert(out.sample.end(), b.sample.begin(), b.sample.end());
    const int64_t limit = pass.options.max_rejects;
    if (limit > 0 && out.totals.rejected >= limit) {
        why = failure{1304, "", misdescription_hint(pass, out.sample), limit, 0};
        return false;
    }
    return true;
}

// Adds a record to a batch: in place, holding the framer's buffer it lies
// in, or copied when the source keeps no buffer to hold.
void add_record(batch_input& in, const rf_record& r, const record_source& source) {
    batch_record b;
    b.raw = r.raw;
    b.data = r.data;
    if (source.holds()) {
        if (in.holds.empty() || in.holds.back().get() != source.buffer()) in.holds.push_back(source.hold());
    } else {
        b.raw = in.bytes.data() + in.bytes.size();
        b.data = b.raw + (r.data - r.raw);
        in.bytes.insert(in.bytes.end(), r.raw, r.raw + r.raw_size);
    }
    b.raw_size = r.raw_size;
    b.size = r.size;
    b.number = r.number;
    b.offset = r.offset;
    in.total += r.raw_size;
    in.records.push_back(b);
}

// One thread: records decoded straight from the framer into one output,
// committed after each batch's worth of records, as batches would be.
bool decode_here(data_pass& pass, pass_output& out, record_source& source, pass_scratch& scratch, failure& why) {
    batch_output b;
    b.reset(pass.tables.size());
    std::string error;
    rf_record r{};
    size_t taken = 0;
    int got = 0;
    while ((got = source.next(error, r)) == 1) {
        decode_record(pass, batch_record{r.raw, r.raw_size, r.data, r.size, r.number, r.offset}, b, scratch);
        taken += r.raw_size;
        if (taken < kBatchBytes) continue;
        if (!commit(pass, out, b, why)) return false;
        b.reset(pass.tables.size());
        taken = 0;
    }
    if (!commit(pass, out, b, why)) return false;
    if (got < 0) why = failure{1302, "", error, 0, 0};
    return got == 0;
}

// The byte ranges of the batches of a FIXED file, which workers read
// themselves: record-aligned, numbered from the part's first record. Not
// active for other framings, nor for a file that is no regular file.
class ranges {
public:
    ranges(const data_pass& pass, const record_source& source) {
        const data_options& o = pass.options;
        lrecl_ = pass_lrecl(pass);
        if (o.framing != rf_framing::fixed || o.odo_compact || source.file_size() < 0 || lrecl_ <= 0) return;
        active_ = true;
        step_ = std::max<int64_t>(1, static_cast<int64_t>(kBatchBytes) / lrecl_) * lrecl_;
        at_ = o.start;
        end_ = o.length >= 0 ? std::min(o.start + o.length, source.file_size()) : source.file_size();
        number_ = first_record_of(o, lrecl_);
        base_.framing = rf_framing::fixed;
        base_.lrecl = lrecl_;
        base_.buffer_size = static_cast<size_t>(step_ + lrecl_);
    }
    bool active() const { return active_; }
    // The next range; false when the part has no more.
    bool take(rf_options& range) {
        if (at_ >= end_) return false;
        range = base_;
        range.start = at_;
        range.end = std::min(at_ + step_, end_);
        range.first_record = number_;
        at_ += step_;
        number_ += step_ / lrecl_;
        return true;
    }

private:
    bool active_ = false;
    int64_t lrecl_ = 0, step_ = 0, at_ = 0, end_ = 0, number_ = 1;
    rf_options base_;
};

// Batches of records decoded by `threads` workers and committed in order.
bool decode_on_workers(data_pass& pass, pass_output& out, record_source& source, int threads, failure& why) {
    // Twice as many batches as workers: one filling, one being written.
    const size_t slots = static_cast<size_t>(threads) * 2 + 1;
    std::vector<workers::job> jobs(slots);
    // Declared after the jobs: it stops its workers before they go away.
    workers pool(pass, threads);
    std::deque<workers::job*> in_flight;
    std::string error;
    size_t next_slot = 0;
    bool ok = true, end = false;
    ranges next(pass, source);
    while (ok && (!end || !in_flight.empty())) {
        if (!end && in_flight.size() < slots) {
            workers::job& j = jobs[next_slot];
            next_slot = (next_slot + 1) % slots;
            j.in.clear();
            j.decoded = false;
            j.ranged = next.active();
            if (j.ranged) {
                end = !next.take(j.range);
            } else {
                rf_record record{};
                int got = 0;
                // Copied records must never move: the bytes hold the
                // batch's whole, one record beyond its size at most.
                if (!source.holds()) j.in.bytes.reserve(kBatchBytes + static_cast<size_t>(pass.longest));
                while (j.in.total < kBatchBytes && (got = source.next(error, record)) == 1)
                    add_record(j.in, record, source);
                if (got <= 0) end = true;
                // The records before the error are decoded and committed
                // first, so that a STOP or MAXREJECTS among them is what is
                // reported.
                if (got < 0) why = failure{1302, "", error, 0, 0};
            }
            if (!end || !j.ranged) {
                pool.submit(&j);
                in_flight.push_back(&j);
            }
            if (in_flight.size() < slots && !end) continue;
            if (in_flight.empty()) break;
        }
        workers::job* oldest = in_flight.front();
        pool.wait(oldest);
        in_flight.pop_front();
        if (ok) ok = commit(pass, out, oldest->out, why);
        if (ok && !oldest->error.empty()) {
            why = failure{1302, "", oldest->error, 0, 0};
            ok = false;
        }
    }
    return ok && !why.code;
}

// Reads the file and decodes it on `threads` threads, committing in file
// order. False when the run must end.
bool read_and_decode(data_pass& pass, pass_output& out, int threads) {
    pass_scratch scratch;
    record_source source(pass, scratch);
    std::string error;
    if (!source.open(error, pass_lrecl(pass))) {
        kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1301, {pass.tables[0].def->table_name, error});
        return false;
    }
    failure why;
    const bool ok = threads > 1 ? decode_on_workers(pass, out, source, threads, why)
                                : decode_here(pass, out, source, scratch, why);
    source.close();
    if (!ok) why.raise(pass);
    return ok;
}

// The tables a job's FILE command made; its ROWS names its own table's
// rows file, the others are named with the pass's outputs.
void add_job_tables(data_pass& pass, const data_job& job) {
    const size_t first = pass.tables.size();
    add_file_tables(pass, job.entry);
    if (first < pass.tables.size()) pass.tables[first].rows_name = job.options.rows;
}

// Rows files not named by ROWS, the reject file and its log: a part's
// carry the number of its first record.
void name_outputs(data_pass& pass) {
    const std::string tag = part_tag(pass.options, pass_lrecl(pass));
    for (table_run& t : pass.tables)
        if (t.rows_name.empty()) t.rows_name = t.def->table_name + tag + rows_suffix();
    const std::string& first_rows = pass.tables.front().rows_name;
    pass.rejects_name = pass.options.rejects.empty() ? first_rows + ".rej" : pass.options.rejects;
    pass.log_name = pass.options.reject_log.empty() ? first_rows + ".rej.log" : pass.options.reject_log;
}

dp_options pass_decode_options(const data_pass& pass, bool csv) {
    dp_options options = decode_options(pass.options, pass.codepage);
    options.format = csv ? dp_row_format::csv : templ_rows.format;
    options.refuse_nul = templ_rows.refuse_nul || options.format == dp_row_format::pg_text;
    options.null_text = options.format == dp_row_format::csv ? templ_rows.null_text : std::string();
    return options;
}

bool fail(const data_pass& pass, const std::string& reason) {
    kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1301,
                   {pass.tables.empty() ? pass.data_path : pass.tables[0].def->table_name, reason});
    return false;
}

bool open_outputs(const data_pass& pass, pass_output& out, FILE* stdout_rows) {
    out.rows.resize(pass.tables.size());
    out.row_text.resize(pass.tables.size());
    out.totals.records.assign(pass.tables.size(), 0);
    out.totals.rejected_of.assign(pass.tables.size(), 0);
    out.totals.longer_of.assign(pass.tables.size(), 0);
    out.totals.rows.assign(pass.tables.size(), 0);
    for (size_t t = 0; t < pass.tables.size(); ++t) {
        if (stdout_rows) {
            out.rows[t].name = "standard output";
            out.rows[t].stream = stdout_rows;
        } else if (!out.rows[t].open(pass.tables[t].rows_name)) {
            return false;
        }
        out.row_text[t].file = &out.rows[t];
    }
    if (!out.rejects.open(pass.rejects_name) || !out.log.open(pass.log_name)) return false;
    out.reject_bytes.file = &out.rejects;
    out.log_text.file = &out.log;
    if (pass.options.start == 0) out.log_text.text = "record\toffset\tfield\tcolumn\terror\taction\tbytes\n";
    return true;
}

// A file whose records are routed by WHEN, or shared by several tables,
// has rejects that are no single table's: they are reported as the file's.
bool routes_records(const data_pass& pass) {
    return pass.tops.size() > 1 || pass.tables[static_cast<size_t>(pass.tops[0])].has_when;
}

// "2 of table DETAILS, 1 meeting no WHEN condition": the file's rejects by
// where they were headed, adding up to its count.
std::string rejects_by_table(const data_pass& pass, const pass_counts& totals) {
    std::string parts;
    auto add = [&parts](int64_t count, const std::string& what) {
        if (!count) return;
        if (!parts.empty()) parts += ", ";
        parts += std::to_string(count) + " " + what;
    };
    for (int32_t top : pass.tops)
        add(totals.rejected_of[static_cast<size_t>(top)],
            "of table " + pass.tables[static_cast<size_t>(top)].def->table_name);
    if (!pass.options.unmatched_skip) add(totals.unmatched, "meeting no WHEN condition");
    return parts;
}

void report_counts(const data_pass& pass, const pass_output& out) {
    for (size_t t = 0; t < pass.tables.size(); ++t) {
        const table_run& run = pass.tables[t];
        if (run.top == static_cast<int32_t>(t))
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1305,
                           {run.def->table_name, out.totals.records[t], pass.data_path, out.totals.rows[t],
                            out.rows[t].name, out.totals.rejected_of[t]});
        else
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1311,
                           {run.def->table_name, out.totals.rows[t], out.rows[t].name,
                            pass.tables[static_cast<size_t>(run.top)].def->table_name});
    }
    if (out.totals.unmatched)
        kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1310,
                       {pass.data_path, out.totals.unmatched, pass.options.unmatched_skip ? "skipped" : "rejected"});
    for (int32_t top : pass.tops) {
        const int64_t longer = out.totals.longer_of[static_cast<size_t>(top)];
        const def_entry& def = *pass.tables[static_cast<size_t>(top)].def;
        if (longer)
            kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1307,
                           {def.table_name, longer, pass.data_path, layout_length(def)});
    }
    if (!out.totals.rejected) return;
    if (routes_records(pass))
        kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1314,
                       {pass.data_path, out.totals.rejected, rejects_by_table(pass, out.totals), pass.rejects_name,
                        pass.log_name});
    else
        kvRaiseMessage(KV_SITE_FN(kModule, "convert_data"), 1306,
                       {pass.tables[0].def->table_name, out.totals.rejected, pass.rejects_name, pass.log_name});
}

// Converts the data file of a prepared pass. False when the run must end.
bool convert_pass(data_pass& pass, FILE* stdout_rows) {
    const int64_t length = pass.longest;
    if (pass.options.framing == rf_framing::fixed && pass.options.lrecl > length)
        return fail(pass, "LRECL " + std::to_string(pass.options.lrecl) + " is more than the " + std::to_string(length) +
                              " bytes of its record " + pass.tables[0].def->def_name +
                              ", and a FIXED record longer than its layout would lose bytes: check the record and LRECL");
    pass_output out;
    if (!open_outputs(pass, out, stdout_rows)) return false;
    for (size_t t = 0; t < pass.tables.size(); ++t) {
        if (!pass.tables[t].header) continue;
        dp_buffer header;
        dp_write_header(pass.tables[t].plan, header);
        out.row_text[t].add(header.data(), header.size());
    }
    if (!read_and_decode(pass, out, thread_count(pass.options))) return false;
    for (pending& p : out.row_text) p.flush();
    out.reject_bytes.flush();
    out.log_text.flush();
    report_counts(pass, out);
    if (out.totals.rejected) g_rejected = true;
    return true;
}

// Loads the code page and prepares a pass whose tables are listed.
bool prepare(data_pass& pass, bool csv, bool header) {
    std::string error;
    if (!kvCodepageLoad(error, pass.options.codepage, pass.codepage)) return fail(pass, error);
    // Parts concatenated give the whole file's rows: only the part at its
    // start has the header line.
    for (table_run& t : pass.tables) t.header = header && pass.options.start == 0;
    if (!prepare_pass(error, pass, pass_decode_options(pass, csv))) return fail(pass, error);
    return true;
}

// The passes of the run: jobs of one data file together, in the order of
// their first DATAFILE.
std::vector<data_pass> passes_of_run() {
    std::vector<data_pass> passes;
    std::map<std::string, size_t> by_path;
    for (const data_job& job : data_jobs) {
        auto [it, fresh] = by_path.try_emplace(job.data_path, passes.size());
        if (fresh) {
            passes.emplace_back();
            data_pass& p = passes.back();
            p.data_path = job.data_path;
            p.options = job.options;
        }
        add_job_tables(passes[it->second], job);
    }
    return passes;
}

}  // namespace

bool convert_data(data_job& job, const def_entry& entry, FILE* rows, bool header) {
    data_pass pass;
    pass.data_path = job.data_path;
    pass.options = job.options;
    table_run t;
    t.def = &entry;
    t.top = 0;
    t.rows_name = "standard output";
    pass.tables.push_back(std::move(t));
    pass.rejects_name = job.options.rejects;
    pass.log_name = job.options.reject_log;
    if (!prepare(pass, job.options.template_path.empty(), header) || !convert_pass(pass, rows)) return false;
    job.rejected = g_rejected ? 1 : 0;
    return true;
}

bool data_rejected_any() { return g_rejected; }

void run_data_jobs() {
    if (data_jobs.empty()) return;
    std::vector<data_pass> passes = passes_of_run();
    std::vector<load_entry> loads;
    std::set<std::string> rows_files;
    std::string tag;  // the load script of a part is named as its rows files are
    for (data_pass& pass : passes) {
        if (!prepare(pass, false, templ_rows.header)) return;
        name_outputs(pass);
        if (tag.empty()) tag = part_tag(pass.options, pass_lrecl(pass));
        for (const table_run& t : pass.tables)
            if (!rows_files.insert(t.rows_name).second) {
                fail(pass, "the rows file " + t.rows_name + " of table " + t.def->table_name +
                               " is the rows file of another table too; name another with ROWS");
                return;
            }
        if (!convert_pass(pass, nullptr)) return;
        for (const table_run& t : pass.tables) {
            load_entry load;
            load.table = templ_sql_name(t.def->table_name);
            load.rows_file = t.rows_name;
            load.header = t.header;
            for (const dp_field& f : t.plan.fields) {
                load.columns.push_back(f.column);
                if (f.nullable) load.nullable.push_back(f.column);
            }
            loads.push_back(std::move(load));
        }
    }
    if (!templ_rows.has_load_section) {
        kvRaiseMessage(KV_SITE_FN(kModule, "run_data_jobs"), 1308);
        return;
    }
    // With the DDL on standard output the script is named after the
    // parameter file instead.
    const std::string& named_after = ddl_file.stream == stdout ? global_settings.param_file_name : ddl_file.name;
    write_load_script(load_script_path.empty() ? default_load_script_name(named_after, tag) : load_script_path, loads);
}
