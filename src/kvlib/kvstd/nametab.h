// nametab: names interned into one character arena, each with a dense id
// in the order first seen. A definition of a million columns repeats a few
// dozen names, and the passes over it look every name up: here a name is
// copied once, not once per table that holds it, and nothing is allocated
// per name (the arena, the offsets and the slots grow by doubling).
//
// The lookup is open addressing with linear probing; each slot keeps the
// name's hash beside its id, so a probe touches the text only on a full
// hash match and growing never hashes a name again.
#pragma once

#include <cstddef>
#include <cstdint>
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
    std::vector<size_t> start_;   // arena offset of each id, and one past the last
    kv_zeroed_slots slots_;  // a power of two, at most half full
};
