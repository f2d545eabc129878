// kvmsg_items: the typed values of the message framework. A CDataItem holds
// one message argument or diagnostic fact; a CContextItem is one with an
// identifier; SparseArray is the hash table contexts keep their items in.
//
// Invariants: an item owns its text exactly when `owned` is set and its type
// is text, and copies of an owning item own fresh duplicates, so no two
// items ever free the same text. An array item never owns its vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Identifiers of diagnostic facts.
enum ContextItemID : uint32_t {
    AppInstance = 0x04CF3D6F,
    AppInstanceDescription = 0x0C208168,
    AppOperatingNormally = 0x0C0D29AC,
    AppStartTime = 0x02264DB1,
    BuildApplication = 0x04685BAA,
    BuildConfig = 0x0F5A3E0A,
    BuildDBMS = 0x0FAA1083,
    BuildDBMSVersion = 0x084F20F4,
    BuildDateTime = 0x0014DCA6,
    BuildHostName = 0x06B6DA7D,
    BuildOS = 0x0A984AA3,
    BuildOSArch = 0x0567EA29,
    BuildVersion = 0x0631D7DB,
    ErrAppErrorText = 0x0D619CA0,
    ErrOSErrorCode = 0x0CBFB9A0,
    ErrOSErrorText = 0x00212EFF,
    ErrSQLErrorCode = 0x04014A3D,
    ErrSQLErrorText = 0x089FDD62,
    MessageDetails = 0x0EEB3042,
    MessageTime = 0x0D642BBA,
    ProcessClockTime = 0x0AC211C7,
    ProcessCommandLine = 0x01AA1504,
    ProcessExecutable = 0x00A508DE,
    ProcessExecutableDir = 0x0B94F9C5,
    ProcessHostName = 0x08E0084F,
    ProcessID = 0x0755D24E,
    ProcessMemoryPhysical = 0x0D18EEBD,
    ProcessMemoryVirtual = 0x0BB2F5A3,
    ProcessOSArch = 0x060174F1,
    ProcessOSName = 0x003028BD,
    ProcessOSUptime = 0x0816C7E6,
    ProcessOSVersion = 0x0E4879E0,
    ProcessSystemTime = 0x095E5685,
    ProcessUserTime = 0x0458286A,
    ProcessWorkingDir = 0x07855929,
    SourceFunction = 0x032B55A6,
    SourceID = 0x0C0D187E,
    SourceLine = 0x02E404A3,
    SourceModule = 0x0089CF45,
    ThreadBacktrace = 0x0C8C2C75,
    ThreadID = 0x0761F67F,
};

// Name of an identifier; null when the identifier has no name.
const char* kvContextItemName(uint32_t id);

class CDataItem {
public:
    enum Type : int32_t {
        kText = 0, kInt32 = 1, kUInt32 = 2, kInt64 = 3, kUInt64 = 4,
        kBoolean = 5, kTimestamp = 6, kPointer = 7, kArray = 8,
    };

    CDataItem();  // int32 0
    explicit CDataItem(const char* text);  // owned copy; null is ""
    virtual ~CDataItem();
    CDataItem(const CDataItem& other);
    CDataItem& operator=(const CDataItem& other);

    static CDataItem Borrowed(const char* text);
    static CDataItem Int32(int32_t v);
    static CDataItem UInt32(uint32_t v);
    static CDataItem Int64(int64_t v);
    static CDataItem UInt64(uint64_t v);
    static CDataItem Boolean(bool v);
    static CDataItem Timestamp(int32_t seconds, int32_t microseconds);
    static CDataItem Pointer(const void* p);
    static CDataItem Array(std::vector<CDataItem>* elements);

    int32_t type() const { return type_; }
    bool owned() const { return owned_; }
    uint64_t bits() const { return value_; }
    const char* text() const;  // "" unless text
    int32_t int32() const { return static_cast<int32_t>(value_ & 0xFFFFFFFFu); }
    int64_t int64() const { return static_cast<int64_t>(value_); }
    int32_t seconds() const { return static_cast<int32_t>(value_ & 0xFFFFFFFFu); }
    int32_t nanoseconds() const { return static_cast<int32_t>(value_ >> 32); }
    const std::vector<CDataItem>* array() const;  // null unless array

    uint32_t ToUInt32() const;
    uint64_t ToUInt64() const;
    bool IsTrue() const { return value_ != 0; }

    // Replaces the value by `other`'s (keeping this object's identity).
    void Assign(const CDataItem& other) { *this = other; }

private:
    CDataItem(int32_t type, uint64_t value) : owned_(false), type_(type), value_(value) {}
    void release();

    bool owned_;
    int32_t type_;
    uint64_t value_;
};

class CContextItem : public CDataItem {
public:
    CContextItem(uint32_t id, const CDataItem& value) : CDataItem(value), id_(id) {}
    uint32_t id() const { return id_; }

private:
    uint32_t id_;
};

// Hash table of item pointers by identifier. Table order (buckets in index
// order, each chain from its head) is the order context reports show: with
// fewer than 257 entries it is ascending by the identifier's low byte.
// Values are not owned.
class SparseArray {
public:
    SparseArray();
    virtual ~SparseArray();
    SparseArray(const SparseArray&) = delete;
    SparseArray& operator=(const SparseArray&) = delete;

    // Sets the value of `key`, adding the entry at its chain's end when new.
    void Set(uint32_t key, void* value);
    void* Find(uint32_t key) const;
    size_t Count() const { return count_; }
    // Key at `position` in table order; false when out of range.
    bool KeyAt(size_t position, uint32_t* key) const;
    // Calls fn(value) for every entry in table order.
    template <typename Fn>
    void ForEach(Fn fn) const {
        for (Entry* head : buckets_)
            for (Entry* e = head; e; e = e->next) fn(e->value);
    }

private:
    struct Entry {
        Entry* next;
        void* value;
        uint32_t key;
    };
    static constexpr size_t kBlockEntries = 336;

    Entry* take_free_entry();
    void grow();

    std::vector<Entry*> blocks_;
    uint32_t mask_ = 255;
    std::vector<Entry*> buckets_;
    size_t count_ = 0;
    Entry* free_ = nullptr;
};
