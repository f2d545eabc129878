// Key column lists: matching against the derived column names, messages
// for names that match nothing, and marks shared between entries.
#include <gtest/gtest.h>

#include <memory>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"
#include "kvapp/colnaming.h"
#include "kvapp/colnaming_internal.h"
#include "kvapp/keycols.h"
#include "message_recorder.h"

using namespace cobdef_testing;

namespace {

// A named definition as the run parameter reader leaves it.
def_entry named_entry(const std::string& text) {
    const read_result r = read_text(text);
    EXPECT_EQ(r.ok, 1) << r.error;
    def_entry e = r.defs.at(0);
    e.fields = std::make_shared<std::vector<column_entry>>(*e.fields);
    FILE* sink = std::tmpfile();
    set_naming_console(nullptr, sink);
    expand_columns(&e, expand_options_t{3, 1, 0, 0, 1, 0, 1, 30});
    set_naming_console(nullptr, nullptr);
    std::fclose(sink);
    e.table_name = "T";
    return e;
}

std::string marked(const def_entry& e) {
    std::string out;
    for (const column_entry& c : *e.fields)
        if (c.key_column) out += (out.empty() ? "" : " ") + c.name;
    return out;
}

const char* const kRecord =
    "01 ORDER-REC.\n 05 CUST_ID PIC X(6).\n 05 ORDER-NO PIC 9(6).\n 05 LINE OCCURS 2.\n"
    "  10 QTY PIC 9(3).\n 05 FILLER PIC X.\n 05 QTY PIC 9.\n";

TEST(KeyCols, MatchingAndMessages) {
    struct keycols_case {
        const char* list;
        const char* marked;
        std::vector<uint32_t> codes;
        std::vector<std::string> missing;
    };
    const keycols_case cases[] = {
        {"order-no, cust-id", "CUST-ID ORDER-NO", {}, {}},
        {"CUST_ID", "", {1242, 1243}, {"CUST_ID"}},
        {"CUST-ID,NOSUCH ORDER-NO", "CUST-ID ORDER-NO", {1242}, {"NOSUCH"}},
        {"NOSUCH", "", {1242, 1243}, {"NOSUCH"}},
        {"", "", {1243}, {}},
        {" , ,", "", {1243}, {}},
        // Any column can be named; a repeated name marks its first column.
        {"order-rec line line-2 filler", "ORDER-REC LINE LINE-2 FILLER", {}, {}},
        {"QTY", "QTY", {}, {}},
    };
    for (const keycols_case& c : cases) {
        SCOPED_TRACE(c.list);
        def_entry e = named_entry(kRecord);
        MessageRecorder recorder;
        CD_parse_keycols(c.list, &e);
        EXPECT_EQ(marked(e), c.marked);
        EXPECT_EQ(recorder.codes(), c.codes);
        std::vector<std::string> missing;
        for (const MessageRecorder::Message& m : recorder.messages()) {
            EXPECT_EQ(m.module, "kvapp.cobdef");
            EXPECT_EQ(m.function, "CD_parse_keycols");
            if (m.code == 1242) {
                ASSERT_EQ(m.args.size(), 1u);
                EXPECT_EQ(m.kinds[0], kvMsgArg::Kind::Text);
                missing.push_back(m.args[0]);
            } else {
                EXPECT_TRUE(m.args.empty());
            }
        }
        EXPECT_EQ(missing, c.missing);
    }
}

TEST(KeyCols, FirstOfRepeatedNamesIsMarked) {
    def_entry e = named_entry(kRecord);
    MessageRecorder recorder;
    CD_parse_keycols("qty", &e);
    // The QTY under LINE-1 comes first.
    EXPECT_EQ((*e.fields)[5].name, "QTY");
    EXPECT_EQ((*e.fields)[5].key_column, 1);
    EXPECT_EQ(e.fields->back().key_column, 0);
}

TEST(KeyCols, EntriesOfOneDefinitionShareTheirMarks) {
    def_entry first = named_entry(kRecord);
    def_entry second = first;
    second.table_name = "T2";
    MessageRecorder recorder;
    CD_parse_keycols("CUST-ID", &first);
    CD_parse_keycols("ORDER-NO", &second);
    EXPECT_EQ(marked(first), "CUST-ID ORDER-NO");
    EXPECT_EQ(marked(second), "CUST-ID ORDER-NO");
    EXPECT_TRUE(recorder.empty());
}

TEST(KeyCols, NullListOrEntryMarksNothing) {
    MessageRecorder recorder;
    CD_parse_keycols(nullptr, nullptr);
    def_entry empty;
    CD_parse_keycols("A", &empty);
    EXPECT_EQ(recorder.codes(), (std::vector<uint32_t>{1243, 1242, 1243}));
}

}  // namespace
