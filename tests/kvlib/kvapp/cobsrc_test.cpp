// Copybook source text: logical lines in each format, the format a file's
// layout shows, and REPLACING.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kvapp/cobdef.h"
#include "kvapp/cobsrc.h"
#include "test_files.h"

namespace {

// "<line>:<text>" for every logical line, or "error: <message>" last.
std::vector<std::string> lines_of(const std::string& content, cd_format format) {
    static int serial = 0;
    const std::string path = test_files::write_scratch("src" + std::to_string(++serial) + ".cpy", content);
    std::vector<std::string> out;
    cd_line_reader r;
    std::string error;
    if (!CD_lines_open(error, r, path, format, 0)) return {"error: " + error};
    for (;;) {
        cd_line line;
        bool end = false;
        if (!CD_lines_next(error, r, line, end)) {
            out.push_back("error: " + error);
            break;
        }
        if (end) break;
        out.push_back(std::to_string(line.pos.line) + ":" + std::string(line.text));
    }
    CD_lines_close(r);
    return out;
}

struct lines_case {
    const char* what;
    cd_format format;
    std::string content;
    std::vector<std::string> lines;
};

using V = std::vector<std::string>;
const cd_format FIXED = cd_format::fixed;
const cd_format FREE = cd_format::free_form;

TEST(SourceLines, EachFormatGivesTheTextOfItsLines) {
    const lines_case cases[] = {
        {"fixed: sequence, identification and indicator areas", FIXED,
         "000100 01  R." + std::string(59, ' ') + "IDENT001\n"
         "000200*05  COMMENT PIC X.\n"
         "000300/    PAGE EJECT\n"
         "000400D    05  DEBUG-A PIC X.\n"
         "000500d    05  DEBUG-B PIC X.\n"
         "000600$SET SOMETHING\n"
         "00070\n"
         "000800     05  A PIC X. *> floating comment\n",
         V{"1:01  R." + std::string(59, ' '), "8:    05  A PIC X. "}},
        {"fixed: a continued word and a continued literal", FIXED,
         "           05  LONG-NA\n"
         "      *    a comment between does not break the continuation\n"
         "      -        ME PIC X(4) VALUE 'AB\n"
         "      -        'CD'.\n",
         V{"1:    05  LONG-NAME PIC X(4) VALUE 'ABCD'."}},
        {"fixed: tabs stop every 8 columns", FIXED, "\t 05 A PIC X.\n", V{"1:  05 A PIC X."}},
        {"fixed: >>SOURCE switches to free for the lines after it", FIXED,
         "       >>SOURCE FORMAT IS FREE\n01 R. *> free now\n",
         V{"2:01 R. "}},
        {"free: comments in column 1, indented, floating; literals keep *>", FREE,
         "* comment\n   ** indented comment\n01 R. *> the record\n 05 A PIC X VALUE '*>'.\n",
         V{"3:01 R. ", "4: 05 A PIC X VALUE '*>'."}},
        {"free: tabs are spaces; a period before a tab ends an entry", FREE, "05\tA\tPIC X.\t05 B.\n",
         V{"1:05 A PIC X. 05 B."}},
        {"free: directives are not text; $ pictures are", FREE,
         ">>D 05 DEBUG PIC X.\n$IF X DEFINED\n$DISPLAY hello\n  $$,$$9.99.\n",
         V{"4:  $$,$$9.99."}},
        {"free: $SET SOURCEFORMAT and >>SOURCE switch the format", FREE,
         "$SET SOURCEFORMAT\"FIXED\" NOTRUNC\n000100 01 R.\n      >>SOURCE FREE\n05 A PIC X.\n",
         V{"2:01 R.", "4:05 A PIC X."}},
        {"an unknown source format is an error", FREE, "01 R.\n>>SOURCE FORMAT IS VARIABLE\n",
         V{"1:01 R.", "error: Unsupported source format VARIABLE in line 2: FIXED and FREE are read"}},
        {"a control character is an error after the line before it", FREE, "01 R.\n05 A\x01.\n",
         V{"1:01 R.", "error: Invalid character (code 1) in line 2"}},
    };
    for (const lines_case& c : cases) EXPECT_EQ(lines_of(c.content, c.format), c.lines) << c.what;
}

TEST(SourceLines, AutoDecidesFromTheLayout) {
    const struct {
        const char* content;
        cd_format format;
    } cases[] = {
        {"000100 01 R.\n000200     05 A PIC X.\n", FIXED},        // sequence numbers
        {"      * comment\n       01 R.\n", FIXED},               // indicator in column 7
        {"      * comment\n01 RECORD-A.\n", FREE},                // code runs from column 1 into 7
        {"      * comment\n05 A.\n", FREE},                       // code confined to columns 1-6
        {"      * comment\nCHG001 01 R.\n", FIXED},              // a change mark in the sequence area
        {"       01 R.\n           05 A PIC X.\n", FREE},        // reads the same either way
        {"\t* comment\n\t01 R.\n", FREE},                         // a tab reaches column 9
        {"      *\n\x1a" "01 AFTER-THE-END-MARK.\n", FIXED},       // the DOS end-of-file mark ends the text
        {"\xef\xbb\xbf" "000100 01 R.\n", FIXED},                    // a UTF-8 mark takes no column
        // Identification text in columns 73-80 on two lines, nothing in 1-6.
        {"       01  ITEM.                                                        ITEM0001\n"
         "           05  ITEM-NO PIC 9(4).                                        ITEM0002\n", FIXED},
        // One line of it may be there by chance.
        {"       01  ITEM.                                                        ITEM0001\n"
         "           05  ITEM-NO PIC 9(4).\n", FREE},
        // A period there ends an entry: code.
        {"       01  ITEM.                                                        ITEM0001\n"
         "           05  ITEM-NO PIC 9(4)                                         OCCURS.\n", FREE},
        // Text past column 80 is code.
        {"       01  ITEM.                                                        ITEM0001\n"
         "           05  ITEM-NO                                                  PIC 9(4) VALUE 1.\n", FREE},
    };
    for (const auto& c : cases) {
        const std::string path = test_files::write_scratch("auto.cpy", c.content);
        EXPECT_EQ(CD_detect_format_of(path), c.format) << c.content;
        EXPECT_EQ(lines_of(c.content, cd_format::automatic), lines_of(c.content, c.format)) << c.content;
    }
}

cd_text text_of(const std::string& content) {
    cd_text t;
    size_t line = 0, at = 0;
    while (at < content.size()) {
        const size_t nl = content.find('\n', at);
        t.begin.push_back(static_cast<uint32_t>(t.text.size()));
        t.pos.push_back(cd_pos{0, static_cast<int64_t>(++line)});
        t.text.append(content, at, nl - at + 1);
        at = nl + 1;
    }
    return t;
}

// "<line>:<text>" for every line of `t`.
std::vector<std::string> shown(const cd_text& t) {
    std::vector<std::string> out;
    for (size_t i = 0; i < t.pos.size(); ++i) {
        const size_t end = i + 1 < t.begin.size() ? t.begin[i + 1] : t.text.size();
        out.push_back(std::to_string(t.pos[i].line) + ":" + t.text.substr(t.begin[i], end - t.begin[i] - 1));
    }
    return out;
}

TEST(Replacing, MatchesTextWordsAsCompilersDo) {
    const struct {
        const char* operands;
        const char* member;
        std::vector<std::string> result;
    } cases[] = {
        {"==:TAG:== BY ==CUST==", "01 :TAG:-REC.\n 05 :TAG:-ID PIC X.\n",
         V{"1:01 CUST-REC.", "2: 05 CUST-ID PIC X."}},
        {"==:tag:== BY ==Cust==", "01 :TAG:-REC.\n", V{"1:01 Cust-REC."}},
        {"AMOUNT BY TOTAL", "05 AMOUNT PIC 9. 05 AMOUNT-X PIC 9.\n", V{"1:05 TOTAL PIC 9. 05 AMOUNT-X PIC 9."}},
        {"==PIC X(10)== BY ==PIC X(20)==", "05 A PIC  X ( 10 ).\n", V{"1:05 A PIC X(20)."}},
        {"'A' BY 'B'", "88 F VALUE 'A' 'a'.\n", V{"1:88 F VALUE 'B' 'a'."}},
        {"LEADING ==WS-== BY ==LS-==", "05 WS-A PIC X. 05 XWS-B PIC X.\n", V{"1:05 LS-A PIC X. 05 XWS-B PIC X."}},
        {"TRAILING ==-IN== BY ==-OUT==", "05 REC-IN PIC X.\n", V{"1:05 REC-OUT PIC X."}},
        {"==05 A== BY ==05 B==", "01 R.\n 05\n A PIC X.\n 06 C.\n", V{"1:01 R.", "2: 05 B PIC X.", "4: 06 C."}},
        {"==A== BY ==A A==", "05 A PIC X.\n", V{"1:05 A A PIC X."}},
        {"==X== BY ====", "05 A PIC X.\n", V{"1:05 A PIC ."}},
        {"==A== BY ==B== ==B== BY ==C==", "05 A B.\n", V{"1:05 B C."}},
    };
    for (const auto& c : cases) {
        std::vector<cd_replacing> rules;
        std::string error;
        ASSERT_EQ(CD_parse_replacing(error, c.operands, rules), 1) << c.operands << ": " << error;
        cd_text out;
        CD_apply_replacing(rules, text_of(c.member), out);
        EXPECT_EQ(shown(out), c.result) << c.operands;
    }
}

TEST(Replacing, FaultyOperandsAreNamed) {
    const struct {
        const char* operands;
        const char* error;
    } cases[] = {
        {"", "REPLACING without operands"},
        {"==A== ==B==", "BY missing after ==A== in REPLACING"},
        {"==A== BY", "REPLACING operand missing"},
        {"==A BY ==B==", "BY missing after ==A BY== in REPLACING"},
        {"==A== BY ==B", "Pseudo-text not closed with == in REPLACING"},
        {"==  == BY ==B==", "Empty pseudo-text cannot be replaced"},
        {"LEADING A BY B", "LEADING and TRAILING take pseudo-text holding one word"},
        {"TRAILING ==A B== BY ==C==", "LEADING and TRAILING take pseudo-text holding one word"},
    };
    for (const auto& c : cases) {
        std::vector<cd_replacing> rules;
        std::string error;
        EXPECT_EQ(CD_parse_replacing(error, c.operands, rules), 0) << c.operands;
        EXPECT_EQ(error, c.error) << c.operands;
    }
}

}  // namespace

// COPY statements, read through the definitions reader.
namespace copy_tests {

namespace fs = std::filesystem;

// Writes `files` (path relative to a new folder, content) and returns the
// folder.
fs::path write_tree(const std::vector<std::pair<std::string, std::string>>& files) {
    static int serial = 0;
    const fs::path root = test_files::scratch_dir() / ("copy" + std::to_string(++serial));
    for (const auto& [name, content] : files) {
        fs::create_directories((root / name).parent_path());
        std::ofstream(root / name, std::ios::binary) << content;
    }
    return root;
}

struct read_result {
    int ok = 0;
    std::string error;
    std::vector<std::string> fields;  // "NAME@offset+length"
};

read_result read_defs(const fs::path& file, const std::vector<std::string>& copylib = {}) {
    read_result r;
    const size_t before = CD_definitions().size();
    r.ok = CD_read_defs(r.error, "COBOLDEFSFILE " + file.string(), copylib);
    for (size_t i = before; i < CD_definitions().size(); ++i)
        for (const column_entry& f : *CD_definitions()[i].fields)
            r.fields.push_back(f.name + "@" + std::to_string(f.fetch_offset) + "+" + std::to_string(f.int_len));
    return r;
}

TEST(Copy, MembersReplaceTheirStatements) {
    const fs::path root = write_tree({
        {"main.cpy",
         "01 R.\n"
         "   05 A PIC X. COPY Fields.\n"
         "   COPY \"lit/quoted.txt\".\n"
         "   COPY DATES OF LIB SUPPRESS.\n"
         "   COPY\n"
         "     SUB REPLACING ==:P:== BY ==Q==\n"
         "     LEADING ==X-== BY ==Y-==. 05 Z PIC X.\n"},
        {"FIELDS.cpy", "05 B PIC X(2).\n"},
        {"lit/quoted.txt", "05 C PIC X(3).\n"},
        {"LIB/dates.cbl", "000100     05 D PIC X(4).\n"},  // read in its own (fixed) format
        {"sub", "05 :P:-E PIC X(5). 05 X-F PIC X(6). COPY INNER.\n"},
        {"inner.copy", "05 X-G PIC X(7).\n"},
    });
    const read_result r = read_defs(root / "main.cpy");
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.fields, (V{"R@0+29", "A@0+1", "B@1+2", "C@3+3", "D@6+4", "Q-E@10+5", "Y-F@15+6", "Y-G@21+7",
                           "Z@28+1"}));
}

TEST(Copy, FoldersAreSearchedInOrder) {
    const fs::path root = write_tree({
        {"main/main.cpy", "01 R. COPY M1. COPY M2. COPY BOTH.\n"},
        {"lib1/m1.cpy", "05 A PIC X.\n"},
        {"lib1/BOTH", "05 FROM-COPYLIB PIC X.\n"},
        {"lib2/M2.CBL", "05 B PIC X.\n"},
        {"lib2/BOTH", "05 FROM-COBCPY PIC X.\n"},
    });
    setenv("COBCPY", ("/nonexistent::" + (root / "lib2").string()).c_str(), 1);
    const read_result r = read_defs(root / "main/main.cpy", {(root / "lib1").string()});
    unsetenv("COBCPY");
    ASSERT_EQ(r.ok, 1) << r.error;
    EXPECT_EQ(r.fields, (V{"R@0+3", "A@0+1", "B@1+1", "FROM-COPYLIB@2+1"}));
}

TEST(Copy, ErrorsNameTheMemberAndTheCopyStatement) {
    std::vector<std::pair<std::string, std::string>> chain;
    for (int i = 0; i <= CD_MAX_COPY_DEPTH; ++i)
        chain.emplace_back(std::string("D").append(std::to_string(i)), std::string("COPY D").append(std::to_string(i + 1)) + ".\n");
    chain.emplace_back(std::string("D").append(std::to_string(CD_MAX_COPY_DEPTH + 1)), "05 A PIC X.\n");
    const fs::path deep = write_tree(chain);

    const fs::path root = write_tree({
        {"missing.cpy", "01 R.\n  05 A PIC X.\n  COPY NOPE IN LIB.\n"},
        {"self.cpy", "01 R.\n COPY SELF.\n"},
        {"a.cpy", "01 R. COPY B.\n"},
        {"b.cpy", "05 X PIC X.\nCOPY A.\n"},
        {"open.cpy", "01 R.\n COPY M REPLACING ==A==\n BY ==B== \n"},
        {"bad.cpy", "01 R. COPY M REPLACING ==A== ==B==.\n"},
        {"inside.cpy", "01 R.\n\n  COPY M.\n"},
        {"m.cpy", "05 A PIC X.\n05 B PIC X(0).\n"},
        {"group.cpy", "01 R. COPY G.\n"},
        {"g.cpy", "05 A PIC X.\n05 G.\n"},
    });
    const std::string dir = root.string();
    const struct {
        fs::path file;
        std::string error;
    } cases[] = {
        {root / "missing.cpy", "Error processing COBOL definition - COPY member NOPE not found; searched " + dir +
                                   "/LIB, " + dir + "/lib, " + dir + " (line 3):\nCOPY NOPE IN LIB"},
        {root / "self.cpy", "Error processing COBOL definition - COPY member SELF copies itself: " + dir +
                                "/self.cpy -> " + dir + "/self.cpy (line 2):\nCOPY SELF"},
        {root / "a.cpy", "Error processing COBOL definition - COPY member A copies itself: " + dir + "/a.cpy -> " +
                             dir + "/b.cpy -> " + dir + "/a.cpy (line 2 of " + dir + "/b.cpy, copied at line 1 of " +
                             dir + "/a.cpy):\nCOPY A"},
        {root / "open.cpy", "Error processing COBOL definition - COPY statement was not terminated (line 2):\n"
                            "COPY M REPLACING ==A==  BY ==B== "},
        {root / "bad.cpy",
         "Error processing COBOL definition - BY missing after ==A== in REPLACING (line 1):\nCOPY M REPLACING ==A== ==B=="},
        {root / "inside.cpy", "Error processing COBOL definition - Invalid PICTURE string (line 2 of " + dir +
                                  "/m.cpy, copied at line 3 of " + dir + "/inside.cpy):\n05 B PIC X(0)."},
        {root / "group.cpy", "Group G did not have elementary items (line 2 of " + dir + "/g.cpy, copied at line 1 of " +
                                 dir + "/group.cpy)"},
        {deep / "D0", "Error processing COBOL definition - COPY statements nested more than 50 deep (line 1 of " +
                          deep.string() + "/D50{{...}}"},
    };
    for (const auto& c : cases) {
        const read_result r = read_defs(c.file);
        EXPECT_EQ(r.ok, 0) << c.file;
        const size_t wild = c.error.find("{{...}}");
        if (wild == std::string::npos) EXPECT_EQ(r.error, c.error);
        else EXPECT_EQ(r.error.substr(0, wild), c.error.substr(0, wild));
    }
}

}  // namespace copy_tests
