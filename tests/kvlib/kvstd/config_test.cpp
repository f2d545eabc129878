// Global settings: the value rule and the CHARSET list (the GLOBALS file
// itself is read through the application library's command reader, and is
// tested with it).
#include "kvstd/config.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConfigValue, FollowsTheValueRule) {
    struct Case {
        std::string command;
        bool given;
        std::string value;
    };
    const Case cases[] = {
        {"K", false, ""},          {"K   ", false, ""},     {"K v", true, "v"},
        {"K  a b", true, "a b"},   {"K \"a b\"", true, "a b"}, {"K 'a' b", true, "a"},
        {"K \"a", false, ""},      {"K ''", true, ""},      {"K \"it's\"", true, "it's"},
    };
    for (const Case& c : cases) {
        std::string value = "stale";
        EXPECT_EQ(kvConfigValue(c.command, 1, value), c.given) << c.command;
        EXPECT_EQ(value, c.value) << c.command;
    }
}

TEST(CharsetNames, TableOrderAndExactCase) {
    EXPECT_EQ(kCharsetNameCount, 78);
    const std::pair<const char*, int> known[] = {
        {"UTF-8", 0},      {"windows-1250", 7}, {"windows-874", 16}, {"ibm-942", 19},
        {"ISO-8859-1", 22}, {"ISO-8859-16", 36}, {"IBM037", 37},     {"IBM1149", 61},
        {"ibm-803", 63},   {"US-ASCII", 68},     {"gb18030", 74},    {"GB_2312-80", 77},
    };
    for (const auto& [name, index] : known) EXPECT_EQ(kvCharsetIndex(name), index) << name;
    EXPECT_EQ(kvCharsetIndex("utf-8"), -3);
    EXPECT_EQ(kvCharsetIndex(""), -3);
    for (int i = 0; i < kCharsetNameCount; ++i) EXPECT_EQ(kvCharsetIndex(kCharsetNames[i]), i);
}

}  // namespace
