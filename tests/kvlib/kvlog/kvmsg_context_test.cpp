// Typed values, the sparse item table and the context tree with its
// process and thread facts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "kvlog/kvmsg_context.h"

namespace {

TEST(DataItems, ConversionsToUnsigned) {
    struct Case {
        CDataItem item;
        uint32_t u32;
        uint64_t u64;
    } cases[] = {
        {CDataItem::Int32(-1), 0, 0},
        {CDataItem::Int32(7), 7, 7},
        {CDataItem::UInt32(0xFFFFFFFFu), 0xFFFFFFFFu, 0xFFFFFFFFu},
        {CDataItem::Int64(0x100000000LL), 0, 0x100000000ULL},
        {CDataItem::Int64(-2), 0, 0},
        {CDataItem::UInt64(5), 5, 5},
        {CDataItem::UInt64(~0ULL), 0, ~0ULL},
        {CDataItem::Boolean(true), 0xFFFFFFFFu, ~0ULL},
        {CDataItem::Boolean(false), 0, 0},
        {CDataItem::Pointer(&cases), 0, 0},
        {CDataItem("12"), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.item.ToUInt32(), c.u32) << c.item.type();
        EXPECT_EQ(c.item.ToUInt64(), c.u64) << c.item.type();
    }
    EXPECT_TRUE(CDataItem::Timestamp(0, 1).IsTrue());
    EXPECT_FALSE(CDataItem::Int32(0).IsTrue());
}

TEST(DataItems, CopiesOwnFreshTextAndBorrowedStaysBorrowed) {
    char buffer[] = "original";
    CDataItem owned(buffer);
    buffer[0] = 'X';
    EXPECT_STREQ(owned.text(), "original");
    CDataItem copy = owned;
    EXPECT_TRUE(copy.owned());
    EXPECT_NE(copy.text(), owned.text());
    EXPECT_STREQ(copy.text(), "original");
    copy = CDataItem::Int32(3);  // frees the duplicate
    EXPECT_FALSE(copy.owned());

    CDataItem borrowed = CDataItem::Borrowed(buffer);
    EXPECT_EQ(borrowed.text(), buffer);
    CDataItem borrowed_copy = borrowed;
    EXPECT_EQ(borrowed_copy.text(), buffer);

    CDataItem ts = CDataItem::Timestamp(1000000000, 500000);
    EXPECT_EQ(ts.seconds(), 1000000000);
    EXPECT_EQ(ts.nanoseconds(), 500000000);
}

TEST(SparseArrays, TableOrderByLowByteThenInsertion) {
    SparseArray a;
    const uint32_t keys[] = {0x0302, 0x0101, 0x0402, 0x0001, 0x05FF};
    for (uint32_t k : keys) a.Set(k, reinterpret_cast<void*>(uintptr_t{k}));
    std::vector<uint32_t> order;
    for (size_t i = 0; i < a.Count(); ++i) {
        uint32_t k = 0;
        ASSERT_TRUE(a.KeyAt(i, &k));
        order.push_back(k);
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{0x0101, 0x0001, 0x0302, 0x0402, 0x05FF}));
    a.Set(0x0101, nullptr);  // replacing keeps the count
    EXPECT_EQ(a.Count(), 5u);
    uint32_t k = 0;
    EXPECT_FALSE(a.KeyAt(5, &k));
}

TEST(SparseArrays, GrowsPastTheFirstBlockAndKeepsEveryKey) {
    SparseArray a;
    std::set<uint32_t> keys;
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t key = i * 2654435761u;
        keys.insert(key);
        a.Set(key, reinterpret_cast<void*>(uintptr_t{i + 1}));
    }
    ASSERT_EQ(a.Count(), 1000u);
    std::set<uint32_t> seen;
    uint32_t previous_bucket = 0;
    for (size_t i = 0; i < a.Count(); ++i) {
        uint32_t key = 0;
        ASSERT_TRUE(a.KeyAt(i, &key));
        seen.insert(key);
        // 1000 entries grow the mask to 1023: buckets in index order.
        EXPECT_GE(key & 1023u, previous_bucket);
        previous_bucket = key & 1023u;
    }
    EXPECT_EQ(seen, keys);
    for (uint32_t i = 0; i < 1000; ++i)
        EXPECT_EQ(a.Find(i * 2654435761u), reinterpret_cast<void*>(uintptr_t{i + 1}));
    EXPECT_EQ(a.Find(12345), nullptr);
}

TEST(Contexts, SourceContextHasFourItemsInOrder) {
    CSourceContext s("tabform.main", "driver.cpp 1.0", "main", 17);
    EXPECT_EQ(s.GetItemCount(true), 4u);
    EXPECT_EQ(s.GetItemId(0), SourceModule);
    EXPECT_EQ(s.GetItemId(1), SourceID);
    EXPECT_EQ(s.GetItemId(2), SourceFunction);
    EXPECT_EQ(s.GetItemId(3), SourceLine);
    CContextItem* line = s.FindItem(SourceLine);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->type(), CDataItem::kUInt32);
    EXPECT_EQ(line->ToUInt32(), 17u);
    EXPECT_STREQ(s.FindItem(SourceModule)->text(), "tabform.main");
}

TEST(Contexts, MessageContextReachesBuildAndProcessFacts) {
    CMessageContext m(new CSourceContext("kvmsg.test", "id", "f", 1));
    ASSERT_NE(m.FindItem(BuildApplication), nullptr);
    EXPECT_STREQ(m.FindItem(BuildApplication)->text(), "tabcopy");
    EXPECT_STREQ(m.FindItem(BuildOS)->text(), "Linux");
    EXPECT_EQ(m.FindItem(ErrSQLErrorCode), nullptr);
    EXPECT_EQ(m.FindItem(ProcessID)->ToUInt32(), static_cast<uint32_t>(getpid()));
    // Own items, then the error, source and application contexts' own.
    EXPECT_EQ(m.GetItemCount(true), 2u + 3u + 4u + 4u);
    std::set<uint32_t> ids;
    for (uint32_t i = 0; i < m.GetItemCount(true); ++i) ids.insert(m.GetItemId(i));
    EXPECT_TRUE(ids.count(MessageTime) && ids.count(ErrOSErrorCode) && ids.count(SourceLine) &&
                ids.count(AppStartTime));
}

TEST(Contexts, ErrorContextTextFollowsTheRecordedError) {
    CErrorContext* e = GetErrorContext();
    e->RecordLastOSError(ENOENT);
    EXPECT_STREQ(e->FindItem(ErrOSErrorText)->text(), "No such file or directory");
    e->RecordLastOSError(EACCES);
    EXPECT_STREQ(e->FindItem(ErrOSErrorText)->text(), "Permission denied");
    EXPECT_EQ(e->FindItem(ErrOSErrorCode)->ToUInt32(), static_cast<uint32_t>(EACCES));
    e->RecordLastOSError(0);
}

TEST(ProcessFacts, VolatileFactsAreRefreshedOnLookup) {
    CAppContext* app = GetAppContext();
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(testing::TempDir());
    std::string now = app->FindItem(ProcessWorkingDir)->text();
    std::filesystem::current_path(before);
    EXPECT_EQ(now, std::filesystem::canonical(testing::TempDir()).string());
    EXPECT_EQ(std::string(app->FindItem(ProcessWorkingDir)->text()), before.string());

    CDataItem first = *app->FindItem(ProcessClockTime);
    usleep(20000);
    CDataItem second = *app->FindItem(ProcessClockTime);
    int64_t a = int64_t{first.seconds()} * 1000000000 + first.nanoseconds();
    int64_t b = int64_t{second.seconds()} * 1000000000 + second.nanoseconds();
    EXPECT_GT(b, a);
    EXPECT_LT(second.nanoseconds(), 1000000000);
    EXPECT_GT(app->FindItem(ProcessMemoryPhysical)->ToUInt32(), 0u);
    EXPECT_GT(app->FindItem(ProcessMemoryVirtual)->ToUInt32(), 0u);
    std::string exe = app->FindItem(ProcessExecutable)->text();
    EXPECT_EQ(exe.substr(0, exe.rfind('/')), app->FindItem(ProcessExecutableDir)->text());
    EXPECT_NE(std::string(app->FindItem(ProcessCommandLine)->text()).find("kvlog_tests"), std::string::npos);
    std::string version = app->FindItem(ProcessOSVersion)->text();
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
}

__attribute__((noinline)) size_t frames_at_depth(int depth) {
    if (depth > 0) {
        size_t n = frames_at_depth(depth - 1);
        asm volatile("" ::: "memory");  // keeps the recursion a real call
        return n;
    }
    CThreadContext t;
    return t.frames().size();
}

TEST(ThreadFacts, BacktraceNamesFramesAndStopsAt99) {
    CThreadContext t;
    ASSERT_FALSE(t.frames().empty());
    std::string first = t.frames()[0].text();
    EXPECT_NE(first.find("kvlog_tests("), std::string::npos) << first;
    EXPECT_NE(first.find(") [0x"), std::string::npos) << first;
    EXPECT_EQ(frames_at_depth(150), 99u);
    CContextItem* id = t.FindItem(ThreadID);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->type(), CDataItem::kUInt64);
}

}  // namespace
