// recframe: the record reader over one buffer, and the checks and texts it
// shares with the split walk.
//
// Invariants: the buffer holds the file from buffer_offset_ for length_
// bytes, and the cursor never stands before buffer_offset_ nor after the
// buffered bytes; moving bytes to the front (compaction) only ever moves a
// part of one record, so a read costs no copy of the data beyond the
// system's. Reads stop near the end of the part (VB: of the block
// straddling it), so a split reads little of its neighbour.
#include "kvapp/recframe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "kvapp/recframe_internal.h"
#include "kvstd/strutl.h"

namespace {

// Whatever the part's end, reads are at least this large: a line or block
// that runs past the end is read in chunks, not a byte at a time.
constexpr size_t kMinRead = size_t{64} << 10;

constexpr const char* kFramingNames[] = {"FIXED", "V", "VB", "LINE"};

std::string hex_word(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "X'%08X'", word);
    return text;
}

std::string system_error(const std::string& doing, const std::string& path, int error) {
    return doing + " " + path + ": " + std::strerror(error);
}

int open_failed(std::string& error, int& fd, std::string text) {
    if (fd >= 0) ::close(fd);
    fd = -1;
    error = std::move(text);
    return 0;
}

bool read_byte_at(int fd, int64_t offset, uint8_t& byte) {
    for (;;) {
        const ssize_t n = ::pread(fd, &byte, 1, offset);
        if (n >= 0 || errno != EINTR) return n == 1;
    }
}

// The start must be where a record begins; only FIXED and LINE show it
// without a walk from the file's beginning.
int check_start(std::string& error, const std::string& path, const rf_options& o, int fd, int64_t size) {
    if (size >= 0 && o.start > size)
        return open_failed(error, fd, "the start offset " + std::to_string(o.start) + " is beyond the end of " +
                                          path + " (" + std::to_string(size) + " bytes)");
    if (o.framing == rf_framing::fixed && o.start % o.lrecl != 0)
        return open_failed(error, fd, "the start offset " + std::to_string(o.start) + " in " + path +
                                          " is no record boundary: it is not a multiple of the record length " +
                                          std::to_string(o.lrecl));
    uint8_t before = 0;
    if (o.framing == rf_framing::line && o.start > 0 && (!read_byte_at(fd, o.start - 1, before) || before != '\n'))
        return open_failed(error, fd, "the start offset " + std::to_string(o.start) + " in " + path +
                                          " is no record boundary: the byte before it is no LF");
    return 1;
}

int check_options(std::string& error, const rf_options& o) {
    int fd = -1;
    if (o.framing == rf_framing::fixed && o.lrecl <= 0)
        return open_failed(error, fd, "FIXED framing needs a record length above 0, not " + std::to_string(o.lrecl));
    if (o.start < 0 || o.end < -1 || o.first_record < 1)
        return open_failed(error, fd, "a part of a file needs a start of 0 or more, an end of 0 or more (-1: the "
                                      "file's end) and a first record number of 1 or more");
    return 1;
}

std::string reserved_not_zero(const char* kind, uint32_t word) {
    return std::string("the reserved bytes of the ") + kind + " descriptor word " + hex_word(word) + " are not zero";
}

// The length a descriptor gives, or 0 with `what` set when it is below 4.
int64_t at_least_four(const char* kind, uint32_t word, int64_t length, std::string& what) {
    if (length >= 4) return length;
    what = std::string("the ") + kind + " descriptor word " + hex_word(word) + " holds the length " +
           std::to_string(length) + ", below 4 (the length counts the descriptor's own 4 bytes)";
    return 0;
}

}  // namespace

const char* rf_framing_name(rf_framing framing) { return kFramingNames[static_cast<int>(framing)]; }

bool rf_framing_word(std::string_view word, rf_framing& framing) {
    for (int f = 0; f < 4; ++f)
        if (kvEqualsNoCase(word, kFramingNames[f])) {
            framing = static_cast<rf_framing>(f);
            return true;
        }
    return false;
}

int rf_open_file(std::string& error, const std::string& path, const rf_options& options, int& fd, int64_t& size) {
    fd = -1;
    if (!check_options(error, options)) return 0;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return open_failed(error, fd, system_error("cannot open", path, errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) return open_failed(error, fd, system_error("cannot read", path, errno));
    if (S_ISDIR(st.st_mode)) return open_failed(error, fd, "cannot read " + path + ": it is a folder");
    size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
    if (!check_start(error, path, options, fd, size)) return 0;
    if (options.start > 0 && ::lseek(fd, options.start, SEEK_SET) < 0)
        return open_failed(error, fd, system_error("cannot move to the start offset " + std::to_string(options.start) + " in",
                                                   path, errno));
    if (size >= 0) ::posix_fadvise(fd, options.start, 0, POSIX_FADV_SEQUENTIAL);
    return 1;
}

std::string rf_error_text(const std::string& what, const rf_cursor& at, int fd, int64_t file_size,
                          const rf_options& options) {
    return what + ": record " + std::to_string(at.number) + " at byte offset " + std::to_string(at.offset) +
           rf_framing_hint(fd, file_size, options);
}

std::string rf_short_tail_text(int64_t file_size, int64_t lrecl, int64_t left) {
    if (file_size < 0)
        return "the file ends " + std::to_string(left) + " bytes into a record of " + std::to_string(lrecl) + " bytes";
    return "the file's size " + std::to_string(file_size) + " is not a multiple of the record length " +
           std::to_string(lrecl) + " (" + std::to_string(left) + " bytes are left over)";
}

int64_t rf_rdw_length(uint32_t word, std::string& what) {
    if (word & 0xFFFF) {
        what = reserved_not_zero("record", word);
        // A spanned record's segments carry their position in the third byte.
        if ((word & 0xFF) == 0 && (word >> 8 & 0xFF) <= 3)
            what += " (they look like the segment flags of a spanned record: VS and VBS files are not read)";
        return 0;
    }
    return at_least_four("record", word, word >> 16, what);
}

int64_t rf_bdw_length(uint32_t word, std::string& what) {
    // The large-block form: the high bit set, a 31-bit length.
    if (word & 0x80000000u) return at_least_four("block", word, word & 0x7FFFFFFF, what);
    if (word & 0xFFFF) {
        what = reserved_not_zero("block", word);
        return 0;
    }
    return at_least_four("block", word, word >> 16, what);
}

std::string rf_ends_inside_text(const char* kind, int64_t got) {
    return std::string("the file ends inside a ") + kind + " descriptor word (" + std::to_string(got) + " of its 4 bytes)";
}

std::string rf_beyond_text(const char* kind, uint32_t word, int64_t length, const std::string& where) {
    return std::string("the ") + kind + " descriptor word " + hex_word(word) + " holds the length " +
           std::to_string(length) + ", beyond " + where;
}

rf_reader::~rf_reader() { close(); }

void rf_reader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.reset();
    spares_.clear();
    capacity_ = length_ = 0;
    status_ = 0;
}

int rf_reader::open(std::string& error, const std::string& path, const rf_options& options) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    status_ = 0;
    length_ = 0;
    if (buffer_.use_count() > 1) {
        buffer_.reset();
        capacity_ = 0;
    }
    if (!rf_open_file(error, path, options, fd_, file_size_)) return 0;
    path_ = path;
    options_ = options;
    if (!options_.buffer_size) options_.buffer_size = kRfDefaultBuffer;
    if (!options_.max_line) options_.max_line = kRfDefaultMaxLine;
    buffer_offset_ = options.start;
    length_ = line_scanned_ = 0;
    at_eof_ = false;
    read_errno_ = 0;
    cursor_ = {options.start, options.first_record, -1, options.start};
    status_ = 1;
    failure_.clear();
    return 1;
}

int rf_reader::next(std::string& error, rf_record& record) {
    if (status_ != 1) {
        if (status_ < 0) error = failure_;
        return status_;
    }
    int status;
    switch (options_.framing) {
        case rf_framing::fixed: status = next_fixed(error, record); break;
        case rf_framing::line: status = next_line(error, record); break;
        default: status = next_described(error, record); break;
    }
    if (status != 1) {
        status_ = status;
        if (status < 0) failure_ = error;
    }
    return status;
}

int rf_reader::next_fixed(std::string& error, rf_record& record) {
    const int64_t lrecl = options_.lrecl;
    if (options_.end >= 0 && cursor_.offset >= options_.end) return 0;
    if (static_cast<size_t>(cursor_.offset - buffer_offset_) + lrecl > length_) {
        const int64_t got = fill(cursor_.offset, lrecl);
        if (got < 0) return fail_io(error, cursor_);
        if (got == 0) return 0;
        if (got < lrecl) return fail(error, rf_short_tail_text(file_size_, lrecl, got), cursor_);
    }
    const uint8_t* at = buffer_.get() + (cursor_.offset - buffer_offset_);
    record = {at, static_cast<size_t>(lrecl), at, static_cast<size_t>(lrecl), cursor_.number, cursor_.offset, -1};
    cursor_.offset += lrecl;
    ++cursor_.number;
    return 1;
}

// A line ends at an LF, with a CR before it taken into the line end; a last
// line without an LF keeps every byte, a CR included.
int rf_reader::next_line(std::string& error, rf_record& record) {
    if (options_.end >= 0 && cursor_.offset >= options_.end) return 0;
    for (;;) {
        const uint8_t* at = buffer_.get() + (cursor_.offset - buffer_offset_);
        const size_t have = length_ - static_cast<size_t>(cursor_.offset - buffer_offset_);
        const void* lf = have > line_scanned_ ? std::memchr(at + line_scanned_, '\n', have - line_scanned_) : nullptr;
        if (lf || (at_eof_ && have > 0)) {
            const size_t raw = lf ? static_cast<size_t>(static_cast<const uint8_t*>(lf) - at) + 1 : have;
            size_t data = lf ? raw - 1 : raw;
            if (static_cast<int64_t>(data) > options_.max_line) return fail_long_line(error);
            if (lf && data > 0 && at[data - 1] == '\r') --data;
            record = {at, data, at, raw, cursor_.number, cursor_.offset, -1};
            cursor_.offset += static_cast<int64_t>(raw);
            ++cursor_.number;
            line_scanned_ = 0;
            return 1;
        }
        if (at_eof_) return 0;
        line_scanned_ = have;
        if (static_cast<int64_t>(have) > options_.max_line) return fail_long_line(error);
        if (fill(cursor_.offset, static_cast<int64_t>(have) + 1) < 0) return fail_io(error, cursor_);
    }
}

int rf_reader::fail_long_line(std::string& error) const {
    return fail(error, "a line runs on for more than " + std::to_string(options_.max_line) + " bytes without a line end",
                cursor_);
}

int rf_reader::next_described(std::string& error, rf_record& record) {
    rf_found found;
    const int status = rf_step_described<true>(*this, cursor_, found, error);
    if (status != 1) return status;
    const uint8_t* raw = buffer_.get() + (found.offset - buffer_offset_);
    const size_t size = static_cast<size_t>(found.raw_size);
    record = {raw + 4, size - 4, raw, size, cursor_.number - 1, found.offset, found.block};
    return 1;
}

const uint8_t* rf_reader::reach(int64_t at, int64_t n, int64_t& got) {
    got = fill(at, n);
    return got < 0 ? nullptr : buffer_.get() + (at - buffer_offset_);
}

// Only a file of unknown size (a pipe) must be read to know how much of a
// block is there.
int64_t rf_reader::exists(int64_t at, int64_t n) {
    if (file_size_ >= 0) return std::min(n, std::max<int64_t>(0, file_size_ - at));
    return fill(at, n);
}

int rf_reader::fail_io(std::string& error, const rf_cursor& at) const {
    error = system_error("cannot read", path_, read_errno_) + ": record " + std::to_string(at.number) +
            " at byte offset " + std::to_string(at.offset);
    return -1;
}

int rf_reader::fail(std::string& error, const std::string& what, const rf_cursor& at) const {
    error = rf_error_text(what, at, fd_, file_size_, options_);
    return -1;
}

// Where reading may stop: the end of the part, or of the VB block that
// straddles it; -1 for no limit.
int64_t rf_reader::read_limit() const {
    if (options_.end < 0) return -1;
    return options_.framing == rf_framing::vb ? std::max(options_.end, cursor_.block_end) : options_.end;
}

// A small file gets a buffer of its size, not of the buffer size.
bool rf_reader::grow(size_t n) {
    size_t wanted = options_.buffer_size;
    if (file_size_ >= 0) wanted = std::min(wanted, static_cast<size_t>(std::max<int64_t>(file_size_ - buffer_offset_, 0)));
    const size_t capacity = std::max({n, capacity_ * 2, wanted});
    uint8_t* bigger = new (std::nothrow) uint8_t[capacity];
    if (!bigger) {
        read_errno_ = ENOMEM;
        return false;
    }
    if (length_) std::memcpy(bigger, buffer_.get(), length_);
    buffer_.reset(bigger);
    capacity_ = capacity;
    return true;
}

// Moves the bytes from `from` on into a buffer of at least `capacity`
// bytes that no one holds, leaving the held one to its holders.
bool rf_reader::replace(size_t capacity, size_t from) {
    std::shared_ptr<uint8_t[]> fresh;
    size_t fresh_capacity = 0;
    for (auto& [spare, size] : spares_) {
        if (spare.use_count() != 1 || size < capacity) continue;
        fresh.swap(spare);
        fresh_capacity = size;
        break;
    }
    if (!fresh) {
        uint8_t* bytes = new (std::nothrow) uint8_t[capacity];
        if (!bytes) {
            read_errno_ = ENOMEM;
            return false;
        }
        fresh.reset(bytes);
        fresh_capacity = capacity;
    }
    std::erase_if(spares_, [&](const auto& s) { return !s.first || s.second < capacity; });
    std::memcpy(fresh.get(), buffer_.get() + from, length_ - from);
    spares_.emplace_back(std::move(buffer_), capacity_);
    buffer_ = std::move(fresh);
    capacity_ = fresh_capacity;
    return true;
}

// Makes the `n` bytes at file offset `at` (at or after buffer_offset_, not
// after the buffered bytes) stand in the buffer; fewer only at the end of
// the file. Returns how many do, or -1 after a failed read.
int64_t rf_reader::fill(int64_t at, int64_t n) {
    size_t from = static_cast<size_t>(at - buffer_offset_);
    const size_t need = static_cast<size_t>(n);
    if (from + need <= length_) return n;
    // Bytes past the buffered ones are read in place even while it is
    // held; only moving the rest to its front needs a buffer of its own.
    if (from && buffer_.use_count() > 1) {
        if (!replace(std::max(capacity_, need), from)) return -1;
    } else if (from) {
        std::memmove(buffer_.get(), buffer_.get() + from, length_ - from);
    }
    if (from) {
        length_ -= from;
        buffer_offset_ = at;
        from = 0;
    }
    if (need > capacity_ && !grow(need)) return -1;
    const int64_t limit = read_limit();
    while (length_ < need && !at_eof_) {
        size_t room = capacity_ - length_;
        if (limit >= 0) {
            const int64_t until = limit - (buffer_offset_ + static_cast<int64_t>(length_));
            room = std::min(room, std::max({static_cast<size_t>(std::max<int64_t>(until, 0)), need - length_, kMinRead}));
        }
        const ssize_t r = ::read(fd_, buffer_.get() + length_, room);
        if (r < 0) {
            if (errno == EINTR) continue;
            read_errno_ = errno;
            return -1;
        }
        if (r == 0) at_eof_ = true;
        length_ += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(std::min(need, length_));
}
