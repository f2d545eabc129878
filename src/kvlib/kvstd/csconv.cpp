// csconv: the single-byte converter and the process-wide Windows-1252
// instance.
//
// Invariants: the to-unit table is fixed at construction, so conversions
// to UTF-16 need no lock. The reverse table is built at most once, under
// the instance's lock, and published with a release store; a reader that
// sees it (acquire load) sees every page filled. Pages without entries all
// point at one static zero page, which is never freed.
#include "kvstd/csconv.h"

#include <cstring>
#include <new>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kQuestionMark = 0x003F;
constexpr int kPageSize = 256;

const unsigned char kZeroPage[kPageSize] = {};

// Windows-1252 differs from ISO 8859-1 only in 0x80 to 0x9F; the five
// bytes the code page leaves undefined are absent.
constexpr CSBytePair kCp1252Specials[] = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026},
    {0x86, 0x2020}, {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160},
    {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8E, 0x017D}, {0x91, 0x2018}, {0x92, 0x2019},
    {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014},
    {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153},
    {0x9E, 0x017E}, {0x9F, 0x0178},
};

constexpr std::array<CSBytePair, 251> make_cp1252_pairs() {
    std::array<CSBytePair, 251> pairs{};
    size_t n = 0;
    for (int b = 0x01; b <= 0x7F; ++b)
        pairs[n++] = {static_cast<unsigned char>(b), static_cast<char16_t>(b)};
    for (const CSBytePair& p : kCp1252Specials) pairs[n++] = p;
    for (int b = 0xA0; b <= 0xFF; ++b)
        pairs[n++] = {static_cast<unsigned char>(b), static_cast<char16_t>(b)};
    pairs[n] = {0, 0};
    return pairs;
}

int set_status(int* status, int value) {
    if (status) *status = value;
    return value;
}

int final_status(bool full, bool replaced) {
    return full ? kCSStatusOutputFull : replaced ? kCSStatusReplaced : kCSStatusOk;
}

int unit_length(const char16_t* text) {
    int n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace

constexpr std::array<CSBytePair, 251> kvWindows1252Pairs = make_cp1252_pairs();
static_assert(kvWindows1252Pairs[249].byte == 0xFF && kvWindows1252Pairs[250].byte == 0);

CSConverterSBCS kvWindows1252Converter(kvWindows1252Pairs.data());

CSConverterSBCS::CSConverterSBCS(const CSBytePair* pairs) {
    for (const CSBytePair* p = pairs; p && p->byte != 0; ++p) to_unit_[p->byte] = p->unit;
}

CSConverterSBCS::~CSConverterSBCS() {
    const Page* table = reverse_.load(std::memory_order_acquire);
    if (!table) return;
    for (int p = 0; p < kPageSize; ++p)
        if (table[p] != kZeroPage) delete[] table[p];
    delete[] table;
}

int CSConverterSBCS::textLength(const char* text) const {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

int CSConverterSBCS::toUtf16(char16_t* out, int capacity, const char* in, int count,
                             int* status) const {
    if (!out || capacity <= 0 || !in || count < -1) {
        set_status(status, kCSStatusInvalidArgs);
        return 0;
    }
    if (count == -1) count = textLength(in);
    bool full = false, replaced = false;
    int done = 0;
    for (; done < count; ++done) {
        if (done == capacity) {
            full = true;
            break;
        }
        const auto byte = static_cast<unsigned char>(in[done]);
        char16_t unit = byte == 0 ? u'\0' : to_unit_[byte];
        if (byte != 0 && unit == 0) {
            unit = kReplacement;
            replaced = true;
        }
        out[done] = unit;
    }
    set_status(status, final_status(full, replaced));
    return done;
}

int CSConverterSBCS::fromUtf16(char* out, int capacity, const char16_t* in, int count,
                               int* status) const {
    if (!out || capacity <= 0 || !in || count < -1) {
        set_status(status, kCSStatusInvalidArgs);
        return 0;
    }
    const Page* table = reverseTable();
    // Without memory for the table no unit can be looked up at all; the
    // call is refused like one with unusable arguments (there is no status
    // of its own for this), and the next call tries to build it again.
    if (!table) {
        set_status(status, kCSStatusInvalidArgs);
        return 0;
    }
    if (count == -1) count = unit_length(in);
    const unsigned char question = table[kQuestionMark >> 8][kQuestionMark & 0xFF];
    bool full = false, replaced = false;
    int done = 0;
    for (; done < count; ++done) {
        if (done == capacity) {
            full = true;
            break;
        }
        const char16_t unit = in[done];
        unsigned char byte = unit == 0 ? 0 : table[unit >> 8][unit & 0xFF];
        if (unit != 0 && byte == 0) {
            byte = question;
            replaced = true;
        }
        out[done] = static_cast<char>(byte);
    }
    set_status(status, final_status(full, replaced));
    return done;
}

const CSConverterSBCS::Page* CSConverterSBCS::reverseTable() const {
    if (const Page* table = reverse_.load(std::memory_order_acquire)) return table;
    ObjLockHold hold(lock_);
    if (const Page* table = reverse_.load(std::memory_order_relaxed)) return table;
    const Page* table = buildReverseTable();
    if (table) {
        builds_.fetch_add(1);
        reverse_.store(table, std::memory_order_release);
    }
    return table;
}

// Returns null, having released what it took, when memory runs out.
const CSConverterSBCS::Page* CSConverterSBCS::buildReverseTable() const {
    unsigned char* own[kPageSize] = {};
    bool ok = true;
    for (int b = 0; b < 256 && ok; ++b) {
        const char16_t unit = to_unit_[b];
        if (unit == 0) continue;
        unsigned char*& page = own[unit >> 8];
        if (!page) page = new (std::nothrow) unsigned char[kPageSize]();
        if (page) page[unit & 0xFF] = static_cast<unsigned char>(b);
        ok = page != nullptr;
    }
    Page* table = ok ? new (std::nothrow) Page[kPageSize] : nullptr;
    if (!table) {
        for (unsigned char* page : own) delete[] page;
        return nullptr;
    }
    for (int p = 0; p < kPageSize; ++p) table[p] = own[p] ? own[p] : kZeroPage;
    return table;
}
