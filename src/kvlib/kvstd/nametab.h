// nametab: names interned into one character arena, each with a dense id
// in the order first seen. A definition of a million columns repeats a few
// dozen names, and the passes over it look every name up: here a name is
// copied once, not once per table that holds it, and nothing is allocated
// per name (the arena, the offsets and the slots grow by doubling).
//
// The lookup is open addressing with linear probing, at most three quarters
// full; each slot keeps the name's hash beside its id, so a probe touches
// the text only on a full hash match and growing never hashes a name again.
// Room is reserved for twice the names expected: memory reserved and never
// written costs no real memory, and a table that outgrows its estimate
// then does not hold its old and new arrays at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// 64 bits of hash of `text`, every bit depending on every byte.
uint64_t kvNameHash(std::string_view text);

// The slots of an open-addressing table, zeroed. A large block comes
// zeroed from the system and calloc knows it, so it is not written over
// once more. Runs out of memory the way operator new does.
class kv_zeroed_slots {
public:
    explicit kv_zeroed_slots(size_t count = 0);
    uint64_t& operator[](size_t at) { return data_.get()[at]; }
    uint64_t operator[](size_t at) const { return data_.get()[at]; }
    const uint64_t* data() const { return data_.get(); }
    size_t size() const { return size_; }

private:
    struct release {
        void operator()(uint64_t* block) const;
    };
    std::unique_ptr<uint64_t, release> data_;
    size_t size_ = 0;
};

class kv_name_table {
public:
    // Room for `expected` names before the first growth.
    explicit kv_name_table(size_t expected = 0);

    // The id of `name`, added with the next id when new.
    int32_t intern(std::string_view name) { return intern(name, kvNameHash(name)); }
    // The same with the hash already computed (kvNameHash of `name`).
    int32_t intern(std::string_view name, uint64_t hash);
    // Starts fetching the slot a name of this hash is looked up in, for a
    // lookup some steps later.
    void prefetch(uint64_t hash) const { __builtin_prefetch(slots_.data() + ((hash >> 32) & (slots_.size() - 1))); }
    // The id of `name`, or -1.
    int32_t find(std::string_view name) const;

    // The text of an id; valid until the next intern.
    std::string_view name(int32_t id) const {
        return {arena_.data() + start_[static_cast<size_t>(id)],
                start_[static_cast<size_t>(id) + 1] - start_[static_cast<size_t>(id)]};
    }
    int32_t size() const { return static_cast<int32_t>(start_.size() - 1); }

private:
    // A slot holds (hash high 32 bits << 32) | (id + 1); 0 is empty.
    size_t probe(std::string_view name, uint64_t hash) const;
    void grow();

    std::string arena_;
    std::vector<uint32_t> start_;  // arena offset of each id, and one past the last
    kv_zeroed_slots slots_;        // a power of two, at most three quarters full
};

// For a list of `count` names (name_of(i) is the i-th, count at most
// INT32_MAX), the first holder of each: the least j <= i whose name equals
// the i-th. Made for lists far larger than the caches, where a table of
// every name costs a wait for memory per name: a first pass marks each
// name's hash in a map of sixteen two-bit cells a name, and only the names
// whose cell another shares go into a table, small enough to stay in the
// caches.
std::vector<int32_t> kvFirstHolders(size_t count, const std::function<std::string_view(size_t)>& name_of);
