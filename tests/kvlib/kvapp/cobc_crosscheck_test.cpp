// Layout cross-check against GnuCOBOL: for copybooks of our own, every
// named field's offset and byte length, and each record's length, must
// equal what a program compiled by cobc finds at run time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "cobdef_testing.h"
#include "kvapp/cobdef.h"

using namespace cobdef_testing;

namespace {

bool have_cobc() { return std::system("command -v cobc >/dev/null 2>&1") == 0; }

std::string run(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        status = -1;
        return output;
    }
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    status = ::pclose(pipe);
    return output;
}

// Subscripts that address the first occurrence of field i: one for the
// field itself and for each enclosing group that has an OCCURS.
std::string subscripts(const std::vector<column_entry>& f, size_t i) {
    int count = 0;
    int depth = f[i].depth + 1;
    for (size_t k = i + 1; k-- > 0;) {
        if (f[k].depth < depth) {
            depth = f[k].depth;
            if (f[k].occurs > 1) ++count;
        }
    }
    if (count == 0) return "";
    std::string s = " (1";
    for (int c = 1; c < count; ++c) s += ", 1";
    return s + ")";
}

// A program that prints "name offset length" for every named field.
std::string probe_program(const std::string& copybook, const std::vector<cobol_def>& defs) {
    std::ostringstream p;
    p << "       IDENTIFICATION DIVISION.\n"
         "       PROGRAM-ID. XCHECK.\n"
         "       DATA DIVISION.\n"
         "       WORKING-STORAGE SECTION.\n"
         "       COPY \"" << copybook << "\".\n"
         "       LOCAL-STORAGE SECTION.\n"
         "       01 XC-P.\n"
         "          05 XC-PTR USAGE POINTER.\n"
         "       01 XC-N REDEFINES XC-P PIC 9(18) COMP-5.\n"
         "       01 XC-BASE PIC 9(18) COMP-5.\n"
         "       01 XC-OFF PIC 9(18).\n"
         "       01 XC-LEN PIC 9(18).\n"
         "       PROCEDURE DIVISION.\n";
    for (const cobol_def& d : defs) {
        const std::vector<column_entry>& f = *d.fields;
        p << "           SET XC-PTR TO ADDRESS OF\n               " << f[0].name << "\n"
          << "           MOVE XC-N TO XC-BASE\n";
        for (size_t i = 0; i < f.size(); ++i) {
            if (f[i].name == "FILLER") continue;
            const std::string ref = f[i].name + subscripts(f, i);
            p << "           SET XC-PTR TO ADDRESS OF\n               " << ref << "\n"
              << "           COMPUTE XC-OFF = XC-N - XC-BASE\n"
              << "           MOVE FUNCTION BYTE-LENGTH (\n               " << ref << " )\n"
              << "               TO XC-LEN\n"
              << "           DISPLAY \"XC \"\n               \"" << f[i].name << "\"\n"
              << "               \" \" XC-OFF \" \" XC-LEN\n";
        }
    }
    p << "           STOP RUN.\n";
    return p.str();
}

struct measured {
    long long offset;
    long long length;
};

// A fixture and the words it is read with.
struct crosscheck_case {
    const char* file;
    const char* words;
};

class CobcCrossCheck : public testing::TestWithParam<crosscheck_case> {};

TEST_P(CobcCrossCheck, OffsetsAndLengthsMatch) {
    if (!have_cobc()) GTEST_SKIP() << "cobc (GnuCOBOL) is not installed: layout cross-check skipped";
    const std::string file = GetParam().file;
    const std::string copybook = fixture("crosscheck/" + file);
    const read_result r = read_file(copybook, GetParam().words);
    ASSERT_EQ(r.ok, 1) << r.error;
    ASSERT_FALSE(r.defs.empty());

    // The program copies the book by a short name: a fixture path may not
    // fit the program's fixed-format text area.
    std::ifstream in(copybook, std::ios::binary);
    std::ostringstream book;
    book << in.rdbuf();
    const std::string book_name = "XB" + file;
    write_scratch(book_name, book.str());
    const std::string stem = scratch_dir().string() + "/xcheck-" + file;
    write_scratch("xcheck-" + file + ".cob", probe_program(book_name, r.defs));
    int status = 0;
    const std::string compiled = run("cobc -std=ibm -x -I '" + scratch_dir().string() + "' -o '" + stem +
                                         ".bin' '" + stem + ".cob'",
                                     status);
    ASSERT_EQ(status, 0) << compiled;
    const std::string output = run("'" + stem + ".bin'", status);
    ASSERT_EQ(status, 0) << output;

    std::map<std::string, measured> cobc;
    std::istringstream lines(output);
    std::string tag, name;
    measured m{};
    while (lines >> tag >> name >> m.offset >> m.length)
        if (tag == "XC") cobc[name] = m;

    size_t compared = 0;
    for (const cobol_def& d : r.defs) {
        for (const column_entry& f : *d.fields) {
            if (f.name == "FILLER") continue;
            const auto it = cobc.find(f.name);
            ASSERT_NE(it, cobc.end()) << f.name << " missing from:\n" << output;
            EXPECT_EQ(f.fetch_offset, it->second.offset) << d.def_name << "." << f.name;
            EXPECT_EQ(f.int_len, it->second.length) << d.def_name << "." << f.name;
            ++compared;
        }
    }
    EXPECT_EQ(compared, cobc.size());
}

// ibm.cpy keeps to what GnuCOBOL lays out as IBM does: it gives COMP-5 of
// one or two digits a single byte and a pointer eight, where IBM gives two
// and four; it puts the slack of a group that begins with a SYNC item
// inside the group, and the slack that ends a table's occurrence before
// its last item, where IBM puts them before the group and at the end.
INSTANTIATE_TEST_SUITE_P(Copybooks, CobcCrossCheck,
                         testing::Values(crosscheck_case{"orders.cpy", "FIXED"}, crosscheck_case{"edited.cpy", "FIXED"},
                                         crosscheck_case{"ibm.cpy", "FIXED IBM"}),
                         [](const testing::TestParamInfo<crosscheck_case>& info) {
                             std::string n = info.param.file;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
