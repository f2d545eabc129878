// csconv: conversion between a character set and UTF-16.
//
// CSConverterImpl is the interface; CSConverterSBCS converts any
// single-byte character set given as (byte, unit) pairs. The process-wide
// kvWindows1252Converter exists from before main until exit. Conversions
// never write beyond the capacity they are given and add no terminator.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

// Status values of the conversions.
constexpr int kCSStatusOk = 0;
constexpr int kCSStatusInvalidArgs = 1001;
constexpr int kCSStatusOutputFull = 1002;
constexpr int kCSStatusReplaced = 1003;

// A lock with a count of current entries, for code that must know whether
// it is held.
class ObjLock {
public:
    ObjLock() = default;
    virtual ~ObjLock() = default;
    ObjLock(const ObjLock&) = delete;
    ObjLock& operator=(const ObjLock&) = delete;

    void enter() {
        mutex_.lock();
        ++entries_;
    }
    void leave() {
        --entries_;
        mutex_.unlock();
    }
    // Meaningful only to the thread holding the lock.
    int entries() const { return entries_; }

private:
    int entries_ = 0;
    std::mutex mutex_;
};

class ObjLockHold {
public:
    explicit ObjLockHold(ObjLock& lock) : lock_(lock) { lock_.enter(); }
    ~ObjLockHold() { lock_.leave(); }
    ObjLockHold(const ObjLockHold&) = delete;
    ObjLockHold& operator=(const ObjLockHold&) = delete;

private:
    ObjLock& lock_;
};

class CSConverterImpl {
public:
    virtual ~CSConverterImpl() = default;

    // Every character is encoded in exactly one byte.
    virtual bool isSingleByte() const = 0;
    // A byte means the same wherever it stands: no shift states, so a text
    // can be converted in pieces.
    virtual bool isStateless() const = 0;
    // Byte 0 and unit 0 convert to each other, so NUL-terminated texts stay
    // terminated and -1 counts are meaningful in both directions.
    virtual bool keepsNul() const = 0;

    // Bytes of a NUL-terminated text, without the NUL; 0 for none.
    virtual int textLength(const char* text) const = 0;
    // Converts `count` bytes (-1: up to the NUL) into at most `capacity`
    // units. Returns the bytes converted; `status` (may be null) tells why
    // it stopped or whether a byte was replaced by U+FFFD.
    virtual int toUtf16(char16_t* out, int capacity, const char* in, int count,
                        int* status) const = 0;
    // Converts `count` units (-1: up to the first 0) into at most
    // `capacity` bytes; an unmappable unit becomes the question mark.
    // Returns the units converted.
    virtual int fromUtf16(char* out, int capacity, const char16_t* in, int count,
                          int* status) const = 0;
};

// One byte of a single-byte character set and its UTF-16 unit.
struct CSBytePair {
    unsigned char byte;
    char16_t unit;
};

class CSConverterSBCS : public CSConverterImpl {
public:
    // `pairs` ends at an entry with byte 0; bytes not listed are unmapped.
    explicit CSConverterSBCS(const CSBytePair* pairs);
    ~CSConverterSBCS() override;
    CSConverterSBCS(const CSConverterSBCS&) = delete;
    CSConverterSBCS& operator=(const CSConverterSBCS&) = delete;

    bool isSingleByte() const override { return true; }
    bool isStateless() const override { return true; }
    bool keepsNul() const override { return true; }

    int textLength(const char* text) const override;
    int toUtf16(char16_t* out, int capacity, const char* in, int count,
                int* status) const override;
    int fromUtf16(char* out, int capacity, const char16_t* in, int count,
                  int* status) const override;

    // How often the reverse table has been built: 0 before the first
    // conversion from UTF-16, 1 ever after.
    int reverseTableBuilds() const { return builds_.load(); }

private:
    using Page = const unsigned char*;
    const Page* reverseTable() const;
    const Page* buildReverseTable() const;

    char16_t to_unit_[256] = {};
    mutable ObjLock lock_;
    mutable std::atomic<const Page*> reverse_{nullptr};
    mutable std::atomic<int> builds_{0};
};

// The Windows-1252 code page: 250 pairs and the terminating byte 0.
extern const std::array<CSBytePair, 251> kvWindows1252Pairs;
extern CSConverterSBCS kvWindows1252Converter;
