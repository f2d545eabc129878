// kvmsg_items: typed values, their conversions, the identifier name table
// and the sparse item table.
#include "kvlog/kvmsg_items.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

struct ItemName {
    uint32_t id;
    const char* name;
};

constexpr ItemName kItemNames[] = {
    {AppInstance, "AppInstance"},
    {AppInstanceDescription, "AppInstanceDescription"},
    {AppOperatingNormally, "AppOperatingNormally"},
    {AppStartTime, "AppStartTime"},
    {BuildApplication, "BuildApplication"},
    {BuildConfig, "BuildConfig"},
    {BuildDBMS, "BuildDBMS"},
    {BuildDBMSVersion, "BuildDBMSVersion"},
    {BuildDateTime, "BuildDateTime"},
    {BuildHostName, "BuildHostName"},
    {BuildOS, "BuildOS"},
    {BuildOSArch, "BuildOSArch"},
    {BuildVersion, "BuildVersion"},
    {ErrAppErrorText, "ErrAppErrorText"},
    {ErrOSErrorCode, "ErrOSErrorCode"},
    {ErrOSErrorText, "ErrOSErrorText"},
    {ErrSQLErrorCode, "ErrSQLErrorCode"},
    {ErrSQLErrorText, "ErrSQLErrorText"},
    {MessageDetails, "MessageDetails"},
    {MessageTime, "MessageTime"},
    {ProcessClockTime, "ProcessClockTime"},
    {ProcessCommandLine, "ProcessCommandLine"},
    {ProcessExecutable, "ProcessExecutable"},
    {ProcessExecutableDir, "ProcessExecutableDir"},
    {ProcessHostName, "ProcessHostName"},
    {ProcessID, "ProcessID"},
    {ProcessMemoryPhysical, "ProcessMemoryPhysical"},
    {ProcessMemoryVirtual, "ProcessMemoryVirtual"},
    {ProcessOSArch, "ProcessOSArch"},
    {ProcessOSName, "ProcessOSName"},
    {ProcessOSUptime, "ProcessOSUptime"},
    {ProcessOSVersion, "ProcessOSVersion"},
    {ProcessSystemTime, "ProcessSystemTime"},
    {ProcessUserTime, "ProcessUserTime"},
    {ProcessWorkingDir, "ProcessWorkingDir"},
    {SourceFunction, "SourceFunction"},
    {SourceID, "SourceID"},
    {SourceLine, "SourceLine"},
    {SourceModule, "SourceModule"},
    {ThreadBacktrace, "ThreadBacktrace"},
    {ThreadID, "ThreadID"},
};

char* duplicate_text(const char* text) {
    if (!text) text = "";
    size_t n = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[n];
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

}  // namespace

const char* kvContextItemName(uint32_t id) {
    for (const ItemName& n : kItemNames)
        if (n.id == id) return n.name;
    return nullptr;
}

// ---- CDataItem ----

CDataItem::CDataItem() : owned_(false), type_(kInt32), value_(0) {}

CDataItem::CDataItem(const char* text) : owned_(true), type_(kText), value_(0) {
    char* copy = duplicate_text(text);
    // Without memory the item still shows a text, just not its own.
    if (!copy) {
        owned_ = false;
        value_ = reinterpret_cast<uintptr_t>("");
        return;
    }
    value_ = reinterpret_cast<uintptr_t>(copy);
}

CDataItem::~CDataItem() { release(); }

void CDataItem::release() {
    if (owned_ && type_ == kText) delete[] reinterpret_cast<char*>(value_);
    owned_ = false;
    value_ = 0;
}

CDataItem::CDataItem(const CDataItem& other) : owned_(false), type_(kInt32), value_(0) {
    *this = other;
}

CDataItem& CDataItem::operator=(const CDataItem& other) {
    if (this == &other) return *this;
    release();
    type_ = other.type_;
    value_ = other.value_;
    if (other.owned_ && other.type_ == kText) {
        char* copy = duplicate_text(other.text());
        if (copy) {
            owned_ = true;
            value_ = reinterpret_cast<uintptr_t>(copy);
        } else {
            value_ = reinterpret_cast<uintptr_t>("");
        }
    } else {
        owned_ = other.owned_;
    }
    return *this;
}

CDataItem CDataItem::Borrowed(const char* text) {
    return CDataItem(kText, reinterpret_cast<uintptr_t>(text ? text : ""));
}
CDataItem CDataItem::Int32(int32_t v) {
    return CDataItem(kInt32, static_cast<uint32_t>(v));
}
CDataItem CDataItem::UInt32(uint32_t v) { return CDataItem(kUInt32, v); }
CDataItem CDataItem::Int64(int64_t v) { return CDataItem(kInt64, static_cast<uint64_t>(v)); }
CDataItem CDataItem::UInt64(uint64_t v) { return CDataItem(kUInt64, v); }
CDataItem CDataItem::Boolean(bool v) { return CDataItem(kBoolean, v ? 1 : 0); }
CDataItem CDataItem::Timestamp(int32_t seconds, int32_t microseconds) {
    uint64_t ns = static_cast<uint32_t>(static_cast<int64_t>(microseconds) * 1000);
    return CDataItem(kTimestamp, (ns << 32) | static_cast<uint32_t>(seconds));
}
CDataItem CDataItem::Pointer(const void* p) {
    return CDataItem(kPointer, reinterpret_cast<uintptr_t>(p));
}
CDataItem CDataItem::Array(std::vector<CDataItem>* elements) {
    return CDataItem(kArray, reinterpret_cast<uintptr_t>(elements));
}

const char* CDataItem::text() const {
    if (type_ != kText || value_ == 0) return "";
    return reinterpret_cast<const char*>(value_);
}

const std::vector<CDataItem>* CDataItem::array() const {
    if (type_ != kArray) return nullptr;
    return reinterpret_cast<const std::vector<CDataItem>*>(value_);
}

uint32_t CDataItem::ToUInt32() const {
    switch (type_) {
    case kInt32: return int32() < 0 ? 0 : static_cast<uint32_t>(int32());
    case kUInt32: return static_cast<uint32_t>(value_);
    case kInt64:
    case kUInt64: return (value_ >> 32) == 0 ? static_cast<uint32_t>(value_) : 0;
    case kBoolean: return (value_ & 0xFF) ? 0xFFFFFFFFu : 0;
    default: return 0;
    }
}

uint64_t CDataItem::ToUInt64() const {
    switch (type_) {
    case kInt32: return int32() < 0 ? 0 : static_cast<uint64_t>(int32());
    case kUInt32: return static_cast<uint32_t>(value_);
    case kInt64: return int64() < 0 ? 0 : value_;
    case kUInt64: return value_;
    case kBoolean: return (value_ & 0xFF) ? ~uint64_t{0} : 0;
    default: return 0;
    }
}

// ---- SparseArray ----

SparseArray::SparseArray() : buckets_(mask_ + 1, nullptr) {}

SparseArray::~SparseArray() {
    for (Entry* block : blocks_) delete[] block;
}

SparseArray::Entry* SparseArray::take_free_entry() {
    if (!free_) {
        Entry* block = new (std::nothrow) Entry[kBlockEntries];
        if (!block) return nullptr;
        blocks_.push_back(block);
        for (size_t i = 0; i < kBlockEntries; ++i) {
            block[i].next = free_;
            free_ = &block[i];
        }
    }
    Entry* e = free_;
    free_ = e->next;
    return e;
}

void SparseArray::grow() {
    uint32_t new_mask = mask_ * 2 + 1;
    std::vector<Entry*> fresh(static_cast<size_t>(new_mask) + 1, nullptr);
    for (Entry* head : buckets_) {
        Entry* e = head;
        while (e) {
            Entry* next = e->next;
            Entry*& slot = fresh[e->key & new_mask];
            e->next = slot;
            slot = e;
            e = next;
        }
    }
    buckets_.swap(fresh);
    mask_ = new_mask;
}

void SparseArray::Set(uint32_t key, void* value) {
    Entry** link = &buckets_[key & mask_];
    while (*link) {
        if ((*link)->key == key) {
            (*link)->value = value;
            return;
        }
        link = &(*link)->next;
    }
    Entry* e = take_free_entry();
    // Without memory the fact is simply absent, as if never recorded.
    if (!e) return;
    e->next = nullptr;
    e->value = value;
    e->key = key;
    *link = e;
    ++count_;
    if (count_ > mask_) grow();
}

void* SparseArray::Find(uint32_t key) const {
    for (Entry* e = buckets_[key & mask_]; e; e = e->next)
        if (e->key == key) return e->value;
    return nullptr;
}

bool SparseArray::KeyAt(size_t position, uint32_t* key) const {
    if (position >= count_) return false;
    size_t i = 0;
    for (Entry* head : buckets_)
        for (Entry* e = head; e; e = e->next)
            if (i++ == position) {
                *key = e->key;
                return true;
            }
    return false;
}
