// nametab: the arena and its open-addressing index.
//
// A slot keeps the upper 32 bits of the name's hash and the id; the slot's
// position is taken from the same 32 bits, so growing moves slots without
// the names. Two names with the same 32 bits are told apart by their text.
#include "kvstd/nametab.h"

#include "kvstd/memhook.h"
#include "kvstd/memutl.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr uint64_t kMix1 = 0xff51afd7ed558ccdULL;
constexpr uint64_t kMix2 = 0xc4ceb9fe1a85ec53ULL;

uint32_t upper(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }

uint64_t slot_of(uint32_t upper_hash, int32_t id) {
    return (static_cast<uint64_t>(upper_hash) << 32) | static_cast<uint32_t>(id + 1);
}

int32_t id_in(uint64_t slot) { return static_cast<int32_t>(static_cast<uint32_t>(slot)) - 1; }

}  // namespace

uint64_t kvNameHash(std::string_view text) {
    // Eight bytes at a time; each step (xor, multiply by an odd constant) is
    // a bijection of the state, so names that differ keep differing states
    // until the final mix. The last bytes come from one load that overlaps
    // the word before; a name under 8 bytes from two loads or three bytes
    // that cover it, the length telling the cases apart.
    const char* p = text.data();
    const size_t n = text.size();
    uint64_t h = 0x9e3779b97f4a7c15ULL ^ n;
    uint64_t last = 0;
    if (n >= 8) {
        size_t at = 0;
        for (; at + 8 <= n; at += 8) {
            uint64_t word;
            std::memcpy(&word, p + at, 8);
            h = (h ^ word) * kMix1;
            h ^= h >> 32;
        }
        if (at < n) {
            std::memcpy(&last, p + n - 8, 8);
            last >>= 8 * (8 - (n - at));
        }
    } else if (n >= 4) {
        uint32_t first4, last4;
        std::memcpy(&first4, p, 4);
        std::memcpy(&last4, p + n - 4, 4);
        last = first4 | (static_cast<uint64_t>(last4) << 32);
    } else if (n > 0) {
        last = static_cast<unsigned char>(p[0]) | static_cast<uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8 |
               static_cast<uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16;
    }
    h = (h ^ last) * kMix1;
    h ^= h >> 33;
    h *= kMix2;
    h ^= h >> 33;
    h *= kMix1;
    h ^= h >> 33;
    return h;
}

kv_zeroed_slots::kv_zeroed_slots(size_t count) : size_(count) {
    if (count == 0) return;
    for (;;) {
        // Counted as an allocation by the test hook, as operator new's are.
        data_.reset(kvMemHookRefuses() ? nullptr : static_cast<uint64_t*>(std::calloc(count, sizeof(uint64_t))));
        if (data_) {
            kvAdviseHugePages(data_.get(), count * sizeof(uint64_t));
            return;
        }
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void kv_zeroed_slots::release::operator()(uint64_t* block) const { std::free(block); }

namespace {

bool over_three_quarters(size_t used, size_t capacity) { return used * 4 > capacity * 3; }

// The arena's offsets are 32-bit: four gigabytes of distinct names is more
// than any record's columns can name, and is refused as memory is.
[[noreturn]] void arena_full() {
    if (std::new_handler handler = std::get_new_handler()) handler();
    throw std::bad_alloc();
}

}  // namespace

kv_name_table::kv_name_table(size_t expected) {
    size_t capacity = 16;
    while (over_three_quarters(expected, capacity)) capacity *= 2;
    slots_ = kv_zeroed_slots(capacity);
    start_.reserve(2 * expected + 1);
    start_.push_back(0);
    arena_.reserve(expected * 16);
}

inline size_t kv_name_table::probe(std::string_view name, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    const uint32_t key = upper(hash);
    for (size_t at = key & mask;; at = (at + 1) & mask) {
        const uint64_t slot = slots_[at];
        if (slot == 0) return at;
        if (upper(slot) == key && this->name(id_in(slot)) == name) return at;
    }
}

int32_t kv_name_table::find(std::string_view name) const {
    return id_in(slots_[probe(name, kvNameHash(name))]);
}

int32_t kv_name_table::intern(std::string_view name, uint64_t hash) {
    size_t at = probe(name, hash);
    if (slots_[at] != 0) return id_in(slots_[at]);
    const int32_t id = size();
    if (arena_.size() + name.size() > UINT32_MAX) arena_full();
    arena_.append(name.data(), name.size());
    start_.push_back(static_cast<uint32_t>(arena_.size()));
    slots_[at] = slot_of(upper(hash), id);
    if (over_three_quarters(static_cast<size_t>(size()), slots_.size())) grow();
    return id;
}

void kv_name_table::grow() {
    kv_zeroed_slots old(slots_.size() * 2);
    std::swap(old, slots_);
    const size_t mask = slots_.size() - 1;
    for (size_t from = 0; from < old.size(); ++from) {
        const uint64_t slot = old[from];
        if (slot == 0) continue;
        size_t at = upper(slot) & mask;
        while (slots_[at] != 0) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

namespace {

// The cell of a 32-bit hash in a map of 2^bits cells: a multiplicative hash
// of it, so that the map and a table probed with the hash's low bits do
// not share their collisions. A cell is two bits of a 64-bit word: the low
// one says a name has it, the high one that a second name has it too.
uint64_t cell_of(uint32_t key, unsigned bits) { return (key * 0x9E3779B97F4A7C15ULL) >> (64 - bits); }
size_t word_of(uint64_t cell) { return static_cast<size_t>(cell >> 5); }
unsigned shift_of(uint64_t cell) { return static_cast<unsigned>(cell & 31) * 2; }

// How far ahead of its use a name's hash is made and its cell fetched.
constexpr size_t kAhead = 16;

}  // namespace

std::vector<int32_t> kvFirstHolders(size_t count, const std::function<std::string_view(size_t)>& name_of) {
    std::vector<int32_t> first(count);
    if (count == 0) return first;
    // Sixteen cells a name: about one name in sixteen shares its cell.
    unsigned bits = 6;
    while ((uint64_t{1} << bits) < 16 * static_cast<uint64_t>(count)) ++bits;
    kv_zeroed_slots cells((uint64_t{1} << bits) / 32);
    std::vector<uint32_t> keys(count);
    const auto hash_ahead = [&](size_t i) {
        if (i >= count) return;
        keys[i] = upper(kvNameHash(name_of(i)));
        __builtin_prefetch(cells.data() + word_of(cell_of(keys[i], bits)));
    };
    for (size_t i = 0; i < kAhead; ++i) hash_ahead(i);
    for (size_t i = 0; i < count; ++i) {
        hash_ahead(i + kAhead);
        const uint64_t cell = cell_of(keys[i], bits);
        uint64_t& word = cells[word_of(cell)];
        const unsigned shift = shift_of(cell);
        word |= ((word >> shift & 1) << (shift + 1)) | (uint64_t{1} << shift);
    }
    // The names whose cell is shared, in list order, in a name table; the
    // first holder of each by its id.
    kv_name_table shared;
    std::vector<int32_t> holder;
    for (size_t i = 0; i < count; ++i) {
        first[i] = static_cast<int32_t>(i);
        if (i + kAhead < count) __builtin_prefetch(cells.data() + word_of(cell_of(keys[i + kAhead], bits)));
        const uint64_t cell = cell_of(keys[i], bits);
        if (!(cells[word_of(cell)] >> (shift_of(cell) + 1) & 1)) continue;
        const size_t id = static_cast<size_t>(shared.intern(name_of(i)));
        if (id == holder.size()) holder.push_back(static_cast<int32_t>(i));
        first[i] = holder[id];
    }
    return first;
}
