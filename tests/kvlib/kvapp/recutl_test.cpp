// Column predicates.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cobdef_testing.h"
#include "kvapp/recutl.h"
#include "kvstd/trace.h"

TEST(Recutl, NcharColumnsAreThoseOfSubtypeOne) {
    column_entry c;
    EXPECT_FALSE(kvIsNcharColumn(c));
    c.data_subtype = 1;
    EXPECT_TRUE(kvIsNcharColumn(c));
    EXPECT_TRUE(kvIsNcharColumn(&c));
    c.data_subtype = 2;
    EXPECT_FALSE(kvIsNcharColumn(c));
    EXPECT_FALSE(kvIsNcharColumn(static_cast<const column_entry*>(nullptr)));
}

TEST(Recutl, DateTypesAre191And192) {
    for (int16_t code : {0, 64, 130, 132, 134, 140, 141, 150, 152, 155, 190, 193})
        EXPECT_FALSE(kvIsDateType(code)) << code;
    EXPECT_TRUE(kvIsDateType(191));
    EXPECT_TRUE(kvIsDateType(192));
}

TEST(Recutl, PredicatesWriteTheirTracePoints) {
    const std::string base = cobdef_testing::scratch_dir().string() + "/recutl-trace";
    ASSERT_EQ(kvTraceConfigure("0x1010", base.c_str(), nullptr), 1);
    column_entry c;
    kvIsNcharColumn(c);
    kvIsDateType(150);
    kvTraceReset();
    std::ifstream in(base + ".00");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("kvIsNcharColumn"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("kvIsDateType"), std::string::npos) << text.str();
}
