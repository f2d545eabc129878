// Global settings read from the GLOBALS file of the working directory,
// through the command file reader: defaults, every key, the CHARSET list
// and the command language.
#include "kvstd/config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "message_recorder.h"

namespace fs = std::filesystem;
using Codes = std::vector<uint32_t>;
using Args = std::vector<std::string>;

namespace {

// Runs each test in an empty working directory of its own and restores the
// process's settings afterwards.
class GlobalsFile : public ::testing::Test {
protected:
    void SetUp() override {
        kv_ensure_global_settings();
        saved_ = global_settings;
        old_dir_ = fs::current_path();
        char pattern[] = "/tmp/config_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_dir_);
        fs::remove_all(dir_);
        global_settings = saved_;
        global_settings_loaded = 1;
    }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }
    // Loads the settings as the first use in a process would, with `globals`
    // as the GLOBALS file.
    void load(const std::string& globals) {
        write("GLOBALS", globals);
        load_without_file();
    }
    void load_without_file() {
        global_settings_loaded = 0;
        testing::internal::CaptureStdout();
        kv_ensure_global_settings();
        testing::internal::GetCapturedStdout();
    }

private:
    global_settings_t saved_;
    fs::path old_dir_;
    fs::path dir_;
};

TEST_F(GlobalsFile, WithoutAFileEveryFieldKeepsItsDefault) {
    MessageRecorder messages;
    load_without_file();
    EXPECT_EQ(global_settings_loaded, 1);
    const global_settings_t& g = global_settings;
    EXPECT_EQ(g.case_sensitive, 0);
    EXPECT_EQ(g.ddl_table, "");
    EXPECT_EQ(g.mgr_serv_name, "KVXMGR");
    EXPECT_EQ(g.checkpoint_table, "");
    EXPECT_EQ(g.marker_table, "");
    EXPECT_EQ(g.dump_ddl_objects, "");
    EXPECT_EQ(g.dump_ddl_columns, "");
    EXPECT_EQ(g.dump_ddl_loggroups, "");
    EXPECT_EQ(g.dump_ddl_partitions, "");
    EXPECT_EQ(g.dump_ddl_primarykeys, "");
    EXPECT_EQ(g.schema, "KVXUSER");
    EXPECT_EQ(g.schema_given, 0);
    EXPECT_EQ(g.allow_wildcard_schemas, 0);
    EXPECT_EQ(g.charset_index, -1);
    EXPECT_EQ(g.bad_char_flag, 1);
    EXPECT_EQ(g.use_all_key_columns, 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(GlobalsFile, EveryKeySetsItsField) {
    MessageRecorder messages;
    load("MGRSERVNAME mgr1\n"
         "CHECKPOINTTABLE cp.t\n"
         "KVSCHEMA sch\n"
         "_ALLOWWILDCARDSCHEMAS\n"
         "MARKERTABLE mk.t\n"
         "DUMPDDLOBJECTS o.t\n"
         "DUMPDDLCOLUMNS c.t\n"
         "DUMPDDLLOGGROUPS l.t\n"
         "DUMPDDLPARTITIONS p.t\n"
         "DUMPDDLPRIMARYKEYS k.t\n"
         "DDLTABLE d.t\n"
         "_CASESENSITIVE\n"
         "CHARSET UTF-16LE\n"
         "_USEALLKEYCOLUMNS ignored words\n");
    const global_settings_t& g = global_settings;
    EXPECT_EQ(g.mgr_serv_name, "mgr1");
    EXPECT_EQ(g.checkpoint_table, "cp.t");
    EXPECT_EQ(g.schema, "sch");
    EXPECT_EQ(g.schema_given, 1);
    EXPECT_EQ(g.allow_wildcard_schemas, 1);
    EXPECT_EQ(g.marker_table, "mk.t");
    EXPECT_EQ(g.dump_ddl_objects, "o.t");
    EXPECT_EQ(g.dump_ddl_columns, "c.t");
    EXPECT_EQ(g.dump_ddl_loggroups, "l.t");
    EXPECT_EQ(g.dump_ddl_partitions, "p.t");
    EXPECT_EQ(g.dump_ddl_primarykeys, "k.t");
    EXPECT_EQ(g.ddl_table, "d.t");
    EXPECT_EQ(g.case_sensitive, 1);
    EXPECT_EQ(g.charset_index, 3);
    EXPECT_EQ(g.use_all_key_columns, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(GlobalsFile, KeysIgnoreCaseAndShareLines) {
    MessageRecorder messages;
    load("kvschema s1; MgrServName m1\n_casesensitive\n");
    EXPECT_EQ(global_settings.schema, "s1");
    EXPECT_EQ(global_settings.mgr_serv_name, "m1");
    EXPECT_EQ(global_settings.case_sensitive, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(GlobalsFile, QuotedValues) {
    MessageRecorder messages;
    load("KVSCHEMA \"A B\"\nDDLTABLE 'x y' trailing\nMARKERTABLE a b  c\n");
    EXPECT_EQ(global_settings.schema, "A B");
    EXPECT_EQ(global_settings.ddl_table, "x y");
    EXPECT_EQ(global_settings.marker_table, "a b  c");
    EXPECT_TRUE(messages.empty());
}

TEST_F(GlobalsFile, MissingValuesLeaveTheFieldAndReport) {
    struct Case {
        std::string line;
        uint32_t code;
        std::string arg;
    };
    const Case cases[] = {
        {"MGRSERVNAME", 387, "MGRSERVNAME"},         {"CHECKPOINTTABLE", 385, "CHECKPOINTTABLE"},
        {"KVSCHEMA \"open", 386, "KVSCHEMA"},        {"markertable", 385, "MARKERTABLE"},
        {"DUMPDDLOBJECTS", 385, "DUMPDDLOBJECTS"},   {"DUMPDDLCOLUMNS", 385, "DUMPDDLCOLUMNS"},
        {"DUMPDDLLOGGROUPS", 385, "DUMPDDLLOGGROUPS"}, {"DUMPDDLPARTITIONS", 385, "DUMPDDLPARTITIONS"},
        {"DUMPDDLPRIMARYKEYS", 385, "DUMPDDLPRIMARYKEYS"}, {"DDLTABLE '", 385, "DDLTABLE"},
        {"CHARSET", 213, "CHARSET"},
    };
    for (const Case& c : cases) {
        MessageRecorder messages;
        load(c.line + "\n");
        ASSERT_EQ(messages.codes(), Codes{c.code}) << c.line;
        const auto m = messages.last();
        EXPECT_EQ(m.args, Args{c.arg}) << c.line;
        EXPECT_EQ(m.module, "kvstd.config");
        EXPECT_EQ(m.function, "readGlobalConfigFile");
        EXPECT_EQ(global_settings.mgr_serv_name, "KVXMGR");
        EXPECT_EQ(global_settings.schema, "KVXUSER");
        EXPECT_EQ(global_settings.ddl_table, "");
        EXPECT_EQ(global_settings.charset_index, -1);
    }
    // KVSCHEMA records that it was given even without a value.
    MessageRecorder messages;
    load("KVSCHEMA\n");
    EXPECT_EQ(global_settings.schema_given, 1);
}

TEST_F(GlobalsFile, CharsetListsAndReplaceBadChar) {
    struct Case {
        std::string value;
        int index;
        char bad_char;
        Codes codes;
    };
    const Case cases[] = {
        {"windows-1252, REPLACEBADCHAR", 9, 0, {}},
        {"windows-1252,replacebadchar", 9, 0, {}},
        {"WINDOWS-1252", -3, 1, {213}},
        {"UTF-8 Big5", 75, 1, {}},
        {"nosuch UTF-8", 0, 1, {213}},
        {"UTF-8 nosuch", -3, 1, {213}},
        {"REPLACEBADCHAR", -1, 0, {}},
        {"\"ISO-8859-1,REPLACEBADCHAR\"", 22, 0, {}},
        {"GB_2312-80", 77, 1, {}},
    };
    for (const Case& c : cases) {
        MessageRecorder messages;
        load("CHARSET " + c.value + "\n");
        EXPECT_EQ(global_settings.charset_index, c.index) << c.value;
        EXPECT_EQ(global_settings.bad_char_flag, c.bad_char) << c.value;
        EXPECT_EQ(messages.codes(), c.codes) << c.value;
    }
}

TEST_F(GlobalsFile, UnknownKeysAndPassedThroughStatementsRaise14) {
    MessageRecorder messages;
    load("Foo bar\nSEMICOLONTERMINATE\nKVSCHEMA s;\nMAP x y;\n");
    EXPECT_EQ(messages.codes(), (Codes{14, 14, 14}));
    const auto all = messages.messages();
    EXPECT_EQ(all[0].args, Args{"Foo"});
    EXPECT_EQ(all[1].args, Args{"SEMICOLONTERMINATE"});
    EXPECT_EQ(all[2].args, Args{"MAP"});
    EXPECT_EQ(global_settings.schema, "s");
}

TEST_F(GlobalsFile, TheCommandLanguageWorksInGlobals) {
    write("more.cmd", "DDLTABLE from.include\n");
    MessageRecorder messages;
    load("-- family settings\n"
         "MACRO #SCHEMA\nPARAMS (#NAME)\nBEGIN\nKVSCHEMA #NAME\nEND\n"
         "#SCHEMA(\"MY SCHEMA\")\n"
         "INCLUDE more.cmd\n"
         "MARKERTABLE &\n  mark.t\n");
    EXPECT_EQ(global_settings.schema, "MY SCHEMA");
    EXPECT_EQ(global_settings.ddl_table, "from.include");
    EXPECT_EQ(global_settings.marker_table, "mark.t");
    EXPECT_TRUE(messages.empty());
}

TEST_F(GlobalsFile, LongValuesAreStoredWhole) {
    const std::string value(3000, 's');
    MessageRecorder messages;
    load("KVSCHEMA " + value + "\nCHECKPOINTTABLE \"" + value + "\"\n");
    EXPECT_EQ(global_settings.schema, value);
    EXPECT_EQ(global_settings.checkpoint_table, value);
}

}  // namespace
