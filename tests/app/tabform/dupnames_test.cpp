// Redundant field names: warnings, numbered and lettered renaming, and the
// fast check against the plain every-pair rules on random definitions.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <random>
#include <set>

#include "kvapp/cobdef.h"
#include "tabform/dupnames.h"
#include "tabform/templ.h"

namespace {

// Items written as "NAME" (elementary) or "NAME/" (group), in record order.
def_entry entry_of(const std::vector<std::string>& items) {
    def_entry e;
    e.table_name = "T";
    e.fields = std::make_shared<std::vector<column_entry>>();
    for (const std::string& item : items) {
        column_entry c;
        const bool group = !item.empty() && item.back() == '/';
        c.name = group ? item.substr(0, item.size() - 1) : item;
        c.elementary = group ? 0 : 1;
        c.depth = e.fields->empty() ? 0 : 1;
        e.fields->push_back(c);
    }
    e.field_count = static_cast<int32_t>(e.fields->size());
    return e;
}

std::string names(const def_entry& e) {
    std::string out;
    for (const column_entry& c : *e.fields) out += (out.empty() ? "" : " ") + c.name;
    return out;
}

std::string run(def_entry& e, int32_t mode) {
    testing::internal::CaptureStdout();
    check_dup_fields(&e, mode);
    return testing::internal::GetCapturedStdout();
}

struct dup_case {
    const char* what;
    int32_t mode;
    std::vector<std::string> items;
    const char* names;
    const char* printed;
};

void PrintTo(const dup_case& c, std::ostream* os) { *os << c.what; }

class DupFields : public testing::TestWithParam<dup_case> {};

TEST_P(DupFields, NamesAndReports) {
    def_entry e = entry_of(GetParam().items);
    EXPECT_EQ(run(e, GetParam().mode), GetParam().printed);
    EXPECT_EQ(names(e), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DupFields,
    testing::Values(
        dup_case{"warnings pair later items with the first", kResolveDupNone,
                 {"R/", "G/", "FILLER", "B", "A", "A", "A"}, "R G FILLER B A A A",
                 "Warning: redundant field name A (2, 3)\nWarning: redundant field name A (2, 4)\n"},
        dup_case{"groups and FILLER are not compared", kResolveDupNone,
                 {"R/", "A/", "A", "FILLER", "FILLER"}, "R A A FILLER FILLER", ""},
        dup_case{"hyphens and underscores are the same name", kResolveDupNone,
                 {"R/", "CUST-ID", "CUST_ID", "B-C"}, "R CUST_ID CUST_ID B_C",
                 "Warning: redundant field name CUST_ID (1, 2)\n"},
        dup_case{"warnings in the order of the first items", kResolveDupNone,
                 {"R/", "B", "A", "A", "B"}, "R B A A B",
                 "Warning: redundant field name B (1, 4)\nWarning: redundant field name A (2, 3)\n"},
        dup_case{"numbered", kResolveDupIndex, {"R/", "CUST-ID", "CUST-ID", "CUST-ID"},
                 "R CUST_ID_1 CUST_ID_2 CUST_ID_3", "Changing redundant field names CUST_ID\n"},
        dup_case{"a new name meeting an old one", kResolveDupIndex, {"R/", "CUST-ID", "CUST-ID", "CUST_ID_2"},
                 "R CUST_ID_1 CUST_ID_2_1 CUST_ID_2_2",
                 "Changing redundant field names CUST_ID\nChanging redundant field names CUST_ID_2\n"},
        dup_case{"a later group is numbered too", kResolveDupIndex, {"R/", "A", "A/", "X"}, "R A_1 A_2 X",
                 "Changing redundant field names A\n"},
        dup_case{"an earlier group is not", kResolveDupIndex, {"R/", "A/", "X", "A"}, "R A X A", ""},
        dup_case{"no repeats: only hyphens change", kResolveDupIndex, {"R/", "A-B", "C"}, "R A_B C", ""},
        dup_case{"lettered", kResolveDupAlphaIndex, {"R/", "X", "X", "X"}, "R X_1 X_B X_C",
                 "Changing redundant field names X\n"},
        dup_case{"lettered, meeting an old name", kResolveDupAlphaIndex, {"R/", "X", "X", "X_B"},
                 "R X_1 X_B_1 X_B_B", "Changing redundant field names X\nChanging redundant field names X_B\n"}),
    // Named for what each case shows, so that ctest lists them readably.
    [](const testing::TestParamInfo<dup_case>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(DupFieldsAlpha, LettersStayUniquePastZ) {
    std::vector<std::string> items{"R/"};
    for (int i = 0; i < 800; ++i) items.push_back("X");
    def_entry e = entry_of({});
    for (const std::string& item : items) {
        column_entry c;
        c.name = item == "R/" ? "R" : item;
        c.elementary = item != "R/";
        e.fields->push_back(c);
    }
    run(e, kResolveDupAlphaIndex);
    const std::vector<column_entry>& f = *e.fields;
    EXPECT_EQ(f[1].name, "X_1");
    EXPECT_EQ(f[2].name, "X_B");
    EXPECT_EQ(f[26].name, "X_Z");
    EXPECT_EQ(f[27].name, "X_AA");
    EXPECT_EQ(f[28].name, "X_AB");
    EXPECT_EQ(f[27 + 26 * 26].name, "X_AAA");
    std::set<std::string> seen;
    for (size_t i = 1; i < f.size(); ++i) {
        const column_entry& c = f[i];
        EXPECT_TRUE(seen.insert(c.name).second) << c.name;
        for (char ch : c.name.substr(2)) EXPECT_TRUE((ch >= 'A' && ch <= 'Z') || ch == '1') << c.name;
    }
}

TEST(DupFieldsTemplate, SecondEntryOfADefinitionFindsNothingLeft) {
    def_entry first = entry_of({"R/", "A", "A"});
    def_entry second = first;  // shares the items
    const int32_t saved = templ_options.resolve_dup_columns;
    templ_options.resolve_dup_columns = kResolveDupIndex;
    testing::internal::CaptureStdout();
    check_dup_fields(&first);
    check_dup_fields(&second);
    const std::string printed = testing::internal::GetCapturedStdout();
    templ_options.resolve_dup_columns = saved;
    EXPECT_EQ(printed, "Changing redundant field names A\n");
    EXPECT_EQ(names(second), "R A_1 A_2");
}

// ---- Against the plain rules ----

namespace plain {

bool eligible(const column_entry& c) { return c.elementary && c.name != "FILLER"; }

std::string check(std::vector<column_entry>& items, int32_t mode) {
    std::string out;
    for (column_entry& c : items)
        for (char& ch : c.name)
            if (ch == '-') ch = '_';
    const size_t n = items.size();
    if (mode == 0) {
        std::vector<bool> marked(n, false);
        std::vector<int> ordinal(n, 0);
        int next = 0;
        for (size_t i = 0; i < n; ++i)
            if (eligible(items[i])) ordinal[i] = ++next;
        for (size_t i = 0; i < n; ++i) {
            if (!eligible(items[i])) continue;
            for (size_t j = i + 1; j < n; ++j) {
                if (!eligible(items[j]) || marked[j] || items[j].name != items[i].name) continue;
                out += "Warning: redundant field name " + items[i].name + " (" + std::to_string(ordinal[i]) +
                       ", " + std::to_string(ordinal[j]) + ")\n";
                marked[j] = true;
            }
        }
        return out;
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < n; ++i) {
            if (!eligible(items[i])) continue;
            const std::string base = items[i].name;
            int k = 0;
            for (size_t j = i + 1; j < n; ++j) {
                if (items[j].name != base) continue;
                if (++k == 1) out += "Changing redundant field names " + base + "\n";
                std::string suffix = std::to_string(k + 1);
                if (mode == 2) suffix = std::string(1, static_cast<char>('A' + k));  // k < 26 here
                items[j].name = base + "_" + suffix;
            }
            if (k > 0) {
                items[i].name = base + "_1";
                changed = true;
            }
        }
    }
    return out;
}

}  // namespace plain

TEST(DupFieldsDifferential, MatchesThePlainRules) {
    std::mt19937 rng(7);
    static const char* const pool[] = {"A", "A-1", "A_1", "A_2", "A_1_1", "B", "FILLER", "X_B", "X", "A_B"};
    for (int round = 0; round < 1200; ++round) {
        def_entry e = entry_of({"R/"});
        const int n = 1 + static_cast<int>(rng() % 24);
        for (int i = 0; i < n; ++i) {
            column_entry c;
            c.name = pool[rng() % 10];
            c.elementary = rng() % 5 != 0;
            c.depth = 1;
            e.fields->push_back(c);
        }
        const int32_t mode = static_cast<int32_t>(rng() % 3);
        std::vector<column_entry> want = *e.fields;
        const std::string want_printed = plain::check(want, mode);
        const std::string got_printed = run(e, mode);
        ASSERT_EQ(got_printed, want_printed) << round;
        for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ((*e.fields)[i].name, want[i].name) << round;
        if (mode != 0) {
            std::set<std::string> seen;
            for (const column_entry& c : *e.fields)
                if (plain::eligible(c)) {
                    ASSERT_TRUE(seen.insert(c.name).second) << c.name;
                }
        }
    }
}

}  // namespace
