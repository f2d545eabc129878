// Name table: ids in first-seen order across growth, lookups of names
// that share a prefix or differ in one byte at every position the hash
// reads in a different way; first holders of long lists.
#include "kvstd/nametab.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace {

TEST(NameTable, IdsSurviveGrowthAndNearNamesStayApart) {
    std::vector<std::string> names;
    for (size_t length = 0; length <= 24; ++length) {
        const std::string base(length, 'N');
        names.push_back(base);
        for (size_t at = 0; at < length; ++at) {
            std::string near = base;
            near[at] = '_';
            names.push_back(near);
        }
    }
    for (int i = 0; i < 3000; ++i) names.push_back("FLD-" + std::to_string(i));
    kv_name_table table(4);
    for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(table.intern(names[i]), static_cast<int32_t>(i)) << names[i];
    ASSERT_EQ(table.size(), static_cast<int32_t>(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(table.intern(names[i]), static_cast<int32_t>(i)) << names[i];
        EXPECT_EQ(table.find(names[i]), static_cast<int32_t>(i)) << names[i];
        EXPECT_EQ(table.name(static_cast<int32_t>(i)), names[i]);
    }
    EXPECT_EQ(table.find("FLD-3000"), -1);
    EXPECT_EQ(table.find(std::string(25, 'N')), -1);
}

TEST(NameTable, HashReadsEveryByte) {
    for (size_t length = 1; length <= 20; ++length)
        for (size_t at = 0; at < length; ++at) {
            std::string a(length, 'A');
            std::string b = a;
            b[at] = 'B';
            EXPECT_NE(kvNameHash(a), kvNameHash(b)) << length << " " << at;
        }
    EXPECT_NE(kvNameHash("AB"), kvNameHash(std::string("AB\0", 3)));
}

}  // namespace

// First holders against the plain definition, on lists where names repeat
// near and far, most names are alone, and the lists are long enough that
// many cells are shared by names that differ.
TEST(FirstHolders, MatchThePlainDefinition) {
    for (size_t count : {0u, 1u, 2u, 17u, 5000u, 70000u}) {
        std::vector<std::string> names(count);
        for (size_t i = 0; i < count; ++i)
            names[i] = i % 7 == 3 ? "R-" + std::to_string(i * 2654435761u % 97) : "U-" + std::to_string(i);
        const std::vector<int32_t> first =
            kvFirstHolders(count, [&](size_t i) { return std::string_view(names[i]); });
        ASSERT_EQ(first.size(), count);
        std::unordered_map<std::string, int32_t> seen;
        for (size_t i = 0; i < count; ++i) {
            const int32_t want = seen.try_emplace(names[i], static_cast<int32_t>(i)).first->second;
            ASSERT_EQ(first[i], want) << count << " " << names[i];
        }
    }
}
