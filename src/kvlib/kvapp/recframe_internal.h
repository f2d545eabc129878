// recframe_internal: what the record reader and the split walk share: the
// opening checks, the walk over descriptor words and the error texts.
//
// A source is what the walk reads descriptor words through: the reader's
// buffer (which then also holds each record's payload) or the split walk's
// window of headers (which only measures payloads against the file's size).
// Both give the walk the same answers, so a split boundary is a boundary
// the reader finds and a split fails where the reader would.
#pragma once

#include <cstdint>
#include <string>

#include "kvapp/recframe.h"

// A record found by the descriptor walk: its raw bytes, RDW included.
struct rf_found {
    int64_t offset = 0;
    int64_t raw_size = 0;
    int64_t block = -1;  // VB: its block's offset
};

// Opens `path` for reading and checks `options` against the file: a
// record length for FIXED, a start within the file and on a record
// boundary (FIXED: a multiple of the record length; LINE: after an LF).
// 1 with the descriptor and the size (-1: not a regular file), or 0 with
// an error text.
int rf_open_file(std::string& error, const std::string& path, const rf_options& options, int& fd,
                 int64_t& size);

// The text of a framing error: what is wrong, "record N at byte offset M",
// then the framing the file's first bytes suggest, if any.
std::string rf_error_text(const std::string& what, const rf_cursor& at, int fd, int64_t file_size,
                          const rf_options& options);
// The hint alone ("" or "; the bytes look like ..."): the first of VB, V,
// LINE and FIXED that the file's first bytes fit, unless they fit the
// framing that failed (the fault is then local, and no other fits better).
std::string rf_framing_hint(int fd, int64_t file_size, const rf_options& options);

// What is wrong with a FIXED file that ends `left` bytes into a record.
std::string rf_short_tail_text(int64_t file_size, int64_t lrecl, int64_t left);

inline uint32_t rf_be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The length a record descriptor word gives, or 0 with `what` set.
int64_t rf_rdw_length(uint32_t word, std::string& what);
// The length a block descriptor word gives (either form), or 0 with `what` set.
int64_t rf_bdw_length(uint32_t word, std::string& what);
// "the file ends inside a <kind> descriptor word (got of its 4 bytes)".
std::string rf_ends_inside_text(const char* kind, int64_t got);
// "the <kind> descriptor word X'hhhhhhhh' holds the length L, beyond <where>".
std::string rf_beyond_text(const char* kind, uint32_t word, int64_t length, const std::string& where);

// One step of the walk over V or VB descriptor words from `c`: 1 with the
// next record in `found` (the cursor moves past it), 0 at the end of the
// part read, -1 with an error. Payload: the source must hold the record's
// bytes too (the reader), not only its descriptor (the split walk).
template <bool Payload, class Source>
int rf_step_described(Source& source, rf_cursor& c, rf_found& found, std::string& error) {
    const rf_options& o = source.framing_options();
    const bool blocked = o.framing == rf_framing::vb;
    std::string what;
    int64_t got = 0;
    while (blocked && c.offset >= c.block_end) {
        if (o.end >= 0 && c.offset >= o.end) return 0;
        const uint8_t* p = source.reach(c.offset, 4, got);
        if (got < 0) return source.fail_io(error, c);
        if (got == 0) return 0;
        if (got < 4) return source.fail(error, rf_ends_inside_text("block", got), c);
        const uint32_t word = rf_be32(p);
        const int64_t length = rf_bdw_length(word, what);
        if (!length) return source.fail(error, what, c);
        const int64_t room = source.exists(c.offset, length);
        if (room < 0) return source.fail_io(error, c);
        if (room < length)
            return source.fail(error, rf_beyond_text("block", word, length,
                                                     "the end of the file (" + std::to_string(room) + " bytes left)"), c);
        c.block = c.offset;
        c.block_end = c.offset + length;
        c.offset += 4;
    }
    if (!blocked && o.end >= 0 && c.offset >= o.end) return 0;
    const int64_t in_block = c.block_end - c.offset;
    if (blocked && in_block < 4)
        return source.fail(error, "the block ends inside a record descriptor word (" + std::to_string(in_block) +
                                      " bytes left in the block that ends at byte offset " +
                                      std::to_string(c.block_end) + ")", c);
    const uint8_t* p = source.reach(c.offset, 4, got);
    if (got < 0) return source.fail_io(error, c);
    if (got == 0 && !blocked) return 0;
    if (got < 4) return source.fail(error, rf_ends_inside_text("record", got), c);
    const uint32_t word = rf_be32(p);
    const int64_t length = rf_rdw_length(word, what);
    if (!length) return source.fail(error, what, c);
    if (blocked && length > in_block)
        return source.fail(error, rf_beyond_text("record", word, length,
                                                 "the end of its block (" + std::to_string(in_block) +
                                                     " bytes left in the block that ends at byte offset " +
                                                     std::to_string(c.block_end) + ")"), c);
    if constexpr (Payload) source.reach(c.offset, length, got);
    else got = source.exists(c.offset, length);
    if (got < 0) return source.fail_io(error, c);
    if (got < length)
        return source.fail(error, rf_beyond_text("record", word, length,
                                                 "the end of the file (" + std::to_string(got) + " bytes left)"), c);
    found = {c.offset, length, blocked ? c.block : -1};
    c.offset += length;
    ++c.number;
    return 1;
}
