// recframe: a record file split into its records by the file's framing
// (FIXED, V, VB, LINE), and record-aligned byte ranges of such a file for
// converting it in parts.
//
// Invariants: the reader reads into one buffer, as large as the larger of
// the buffer size and the largest record; a record is handed out in place,
// never copied, and stays valid until the next call, or for as long as a
// copy of its buffer from hold() is kept: the reader then reads on into
// another buffer (one let go by its holders, or a new one). Every byte of the
// part read is in exactly one record's raw bytes or in a block descriptor
// word, in file order, or the reader stops with an error naming the record
// number and byte offset where the bytes stop matching the framing: a tail
// is never dropped. Errors are texts for the caller's message; nothing
// here raises one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class rf_framing { fixed, v, vb, line };

// "FIXED", "V", "VB", "LINE".
const char* rf_framing_name(rf_framing framing);
// The framing a word names, case-insensitive; false for any other word.
bool rf_framing_word(std::string_view word, rf_framing& framing);

inline constexpr size_t kRfDefaultBuffer = size_t{4} << 20;
inline constexpr int64_t kRfDefaultMaxLine = int64_t{64} << 20;

struct rf_options {
    rf_framing framing = rf_framing::fixed;
    int64_t lrecl = 0;  // FIXED: the record length (> 0)
    // The byte offset of the first record to read: a split's start. It must
    // be a record boundary (VB: a block boundary); FIXED and LINE check it.
    int64_t start = 0;
    // Read the records that start before this offset (VB: the blocks that
    // start before it, whole); -1: to the end of the file.
    int64_t end = -1;
    int64_t first_record = 1;  // the number of the first record read
    size_t buffer_size = 0;    // 0: kRfDefaultBuffer; tests set small ones
    int64_t max_line = 0;      // LINE: the longest line taken; 0: kRfDefaultMaxLine
};

struct rf_record {
    const uint8_t* data = nullptr;  // the record's bytes, without descriptor words or line end
    size_t size = 0;
    const uint8_t* raw = nullptr;  // as it stands in the file: with its RDW (V, VB) or line end (LINE)
    size_t raw_size = 0;
    int64_t number = 0;  // 1-based, global
    int64_t offset = 0;  // byte offset of `raw` in the file
    int64_t block = -1;  // VB: byte offset of the descriptor of the block holding it; -1 otherwise
};

// Where a reader or a walk over descriptor words stands.
struct rf_cursor {
    int64_t offset = 0;      // where the next record (VB: or block) starts
    int64_t number = 1;      // the next record's number
    int64_t block = -1;      // VB: the current block's offset, -1 before the first
    int64_t block_end = -1;  // VB: the current block's end
};

struct rf_found;

class rf_reader {
public:
    rf_reader() = default;
    ~rf_reader();
    rf_reader(const rf_reader&) = delete;
    rf_reader& operator=(const rf_reader&) = delete;

    // 1, or 0 with an error text naming the file and what is wrong (the
    // system's error, or options the file or framing cannot take). A
    // reader opened again keeps its buffer when no one holds it.
    int open(std::string& error, const std::string& path, const rf_options& options);
    // 1: a record, valid until the next call; 0: the end of the part read;
    // -1: the file does not match its framing, or cannot be read. The text
    // says what is wrong, then "record N at byte offset M", then, where the
    // file's first bytes show one, the framing that fits. Once 0 or -1,
    // always the same (with the same text).
    int next(std::string& error, rf_record& record);
    void close();

    // Where the record after the last one read starts (VB: or its block);
    // at the end, the end of the part read.
    int64_t offset() const { return cursor_.offset; }

    // The buffer the last record handed out lies in. Records are kept past
    // the next call without copying them by keeping this.
    std::shared_ptr<const uint8_t[]> hold() const { return buffer_; }
    // That buffer's address, to tell whether it is one already held.
    const uint8_t* buffer() const { return buffer_.get(); }
    // The size of the file open; -1 for one that is no regular file.
    int64_t file_size() const { return file_size_; }

private:
    // The descriptor walk is shared with the splits (recframe_internal.h);
    // these are what it asks of a reader.
    template <bool Payload, class Source>
    friend int rf_step_described(Source& source, rf_cursor& cursor, rf_found& found, std::string& error);
    const uint8_t* reach(int64_t at, int64_t n, int64_t& got);
    int64_t exists(int64_t at, int64_t n);
    int fail_io(std::string& error, const rf_cursor& at) const;
    int fail(std::string& error, const std::string& what, const rf_cursor& at) const;
    const rf_options& framing_options() const { return options_; }

    int next_fixed(std::string& error, rf_record& record);
    int next_line(std::string& error, rf_record& record);
    int fail_long_line(std::string& error) const;
    int next_described(std::string& error, rf_record& record);
    int64_t fill(int64_t at, int64_t n);
    int64_t read_limit() const;
    bool grow(size_t n);

    int fd_ = -1;
    std::string path_;
    rf_options options_;
    bool replace(size_t capacity, size_t from);

    std::shared_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
    // Buffers given up while held, with their capacities: reused once
    // their holders let go.
    std::vector<std::pair<std::shared_ptr<uint8_t[]>, size_t>> spares_;
    int64_t buffer_offset_ = 0;  // the file offset of buffer_[0]
    size_t length_ = 0;          // bytes in the buffer
    bool at_eof_ = false;
    int read_errno_ = 0;
    int64_t file_size_ = -1;  // -1: not a regular file (a pipe)
    size_t line_scanned_ = 0;  // LINE: bytes from the cursor known to hold no LF
    rf_cursor cursor_;
    int status_ = 0;  // 1 while open and not ended; then 0 or -1
    std::string failure_;
};

// A record-aligned byte range of a data file, with its first record's number.
struct rf_split {
    int64_t start = 0;
    int64_t length = 0;
    int64_t first_record = 1;
};

// Splits the part of the file `options` selects (all of it by default) into
// `count` ranges, or when count is 0 into ranges of about `size` bytes, each
// starting at a record boundary (VB: a block boundary) and numbered
// globally; together they cover the records of the part without gap or
// overlap, the last ending where the last record ends. Ranges that would
// hold no record are left out, so there may be fewer than asked for; an
// empty part gives one empty range. FIXED by arithmetic; V and VB by a walk
// over the descriptor words alone (payloads are skipped, not read, where
// records are larger than the walk's window); LINE by reading for line
// ends. 1, 0 for a file that cannot be opened or bad arguments, -1 for
// bytes that do not match the framing, each with an error text as for
// rf_reader.
int rf_make_splits(std::string& error, const std::string& path, const rf_options& options,
                   int64_t count, int64_t size, std::vector<rf_split>& out);
