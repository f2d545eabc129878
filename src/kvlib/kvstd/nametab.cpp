// nametab: the arena and its open-addressing index.
//
// A slot keeps the upper 32 bits of the name's hash and the id; the slot's
// position is taken from the same 32 bits, so growing moves slots without
// the names. Two names with the same 32 bits are told apart by their text.
#include "kvstd/nametab.h"

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
        data_.reset(static_cast<uint64_t*>(std::calloc(count, sizeof(uint64_t))));
        if (data_) return;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void kv_zeroed_slots::release::operator()(uint64_t* block) const { std::free(block); }

kv_name_table::kv_name_table(size_t expected) {
    size_t capacity = 16;
    while (capacity < expected * 2) capacity *= 2;
    slots_ = kv_zeroed_slots(capacity);
    start_.reserve(expected + 1);
    start_.push_back(0);
    arena_.reserve(expected * 8);
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
    arena_.append(name.data(), name.size());
    start_.push_back(arena_.size());
    slots_[at] = slot_of(upper(hash), id);
    if (static_cast<size_t>(size()) * 2 > slots_.size()) grow();
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
