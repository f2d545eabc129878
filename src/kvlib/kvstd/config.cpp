// config: owns global_settings. The record is reset exactly once per
// process, before anything is stored in it; GLOBALS is read right after,
// through the macro-capable command file reader.
//
// Invariants: a key without its value leaves its field as it was (only
// KVSCHEMA still records that it was given); a value is stored whole, never
// cut to a field size; a missing GLOBALS file is not an error.
#include "kvstd/config.h"

#include <cstdio>
#include <string>

#include "kvstd/raise.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"

static const kvModuleId kModule{"kvstd.config", "$Id: config.cpp 1.0 tabcopy $"};
#define CONFIG_SITE KV_SITE_FN(kModule, "readGlobalConfigFile")

global_settings_t global_settings;
int global_settings_loaded = 0;

static kvCommandReader g_globals_reader = nullptr;

// ICU converter names, in the order whose index charset_index records.
const char* const kCharsetNames[kCharsetNameCount] = {
    "UTF-8",        "UTF-16",       "UTF-16BE",     "UTF-16LE",     "UTF-32",       "UTF-32BE",
    "UTF-32LE",     "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
    "windows-1255", "windows-1256", "windows-1257", "windows-1258", "windows-874",  "windows-932",
    "windows-936",  "ibm-942",      "windows-949",  "windows-950",  "ISO-8859-1",   "ISO-8859-2",
    "ISO-8859-3",   "ISO-8859-4",   "ISO-8859-5",   "ISO-8859-6",   "ISO-8859-7",   "ISO-8859-8",
    "ISO-8859-9",   "ISO-8859-10",  "ISO-8859-11",  "ISO-8859-13",  "ISO-8859-14",  "ISO-8859-15",
    "ISO-8859-16",  "IBM037",       "IBM01140",     "IBM273",       "IBM01141",     "IBM277",
    "IBM01142",     "IBM278",       "IBM01143",     "IBM280",       "IBM01144",     "IBM284",
    "IBM01145",     "IBM285",       "IBM01146",     "IBM290",       "IBM297",       "IBM01147",
    "IBM420",       "IBM424",       "IBM500",       "IBM01148",     "IBM870",       "IBM871",
    "IBM918",       "IBM1149",      "IBM1047",      "ibm-803",      "IBM838",       "IBM875",
    "ibm-1025",     "IBM1026",      "US-ASCII",     "KOI8-RU",      "EUC-JP",       "EUC-CN",
    "EUC-TW",       "EUC-KR",       "gb18030",      "Big5",         "Big5-HKSCS",   "GB_2312-80",
};

namespace {

enum class key_kind { text, flag, charset };

struct config_key {
    const char* name;
    key_kind kind;
    std::string global_settings_t::*text;  // text keys
    char global_settings_t::*flag_char;    // flag keys stored in a char
    int global_settings_t::*flag_int;      // flag keys stored in an int
    uint32_t missing_code;                 // message for a text key without value
};

// In the order in which keys are tried; the first match applies.
const config_key kKeys[] = {
    {"MGRSERVNAME", key_kind::text, &global_settings_t::mgr_serv_name, nullptr, nullptr, 387},
    {"CHECKPOINTTABLE", key_kind::text, &global_settings_t::checkpoint_table, nullptr, nullptr, 385},
    {"KVSCHEMA", key_kind::text, &global_settings_t::schema, nullptr, nullptr, 386},
    {"_ALLOWWILDCARDSCHEMAS", key_kind::flag, nullptr, &global_settings_t::allow_wildcard_schemas, nullptr, 0},
    {"MARKERTABLE", key_kind::text, &global_settings_t::marker_table, nullptr, nullptr, 385},
    {"DUMPDDLOBJECTS", key_kind::text, &global_settings_t::dump_ddl_objects, nullptr, nullptr, 385},
    {"DUMPDDLCOLUMNS", key_kind::text, &global_settings_t::dump_ddl_columns, nullptr, nullptr, 385},
    {"DUMPDDLLOGGROUPS", key_kind::text, &global_settings_t::dump_ddl_loggroups, nullptr, nullptr, 385},
    {"DUMPDDLPARTITIONS", key_kind::text, &global_settings_t::dump_ddl_partitions, nullptr, nullptr, 385},
    {"DUMPDDLPRIMARYKEYS", key_kind::text, &global_settings_t::dump_ddl_primarykeys, nullptr, nullptr, 385},
    {"DDLTABLE", key_kind::text, &global_settings_t::ddl_table, nullptr, nullptr, 385},
    {"_CASESENSITIVE", key_kind::flag, nullptr, nullptr, &global_settings_t::case_sensitive, 0},
    {"CHARSET", key_kind::charset, nullptr, nullptr, nullptr, 213},
    {"_USEALLKEYCOLUMNS", key_kind::flag, nullptr, &global_settings_t::use_all_key_columns, nullptr, 0},
};

void apply_charset(const std::string& value) {
    const std::string separators = " ,";
    size_t at = 0;
    for (;;) {
        const size_t start = value.find_first_not_of(separators, at);
        if (start == std::string::npos) return;
        size_t end = value.find_first_of(separators, start);
        if (end == std::string::npos) end = value.size();
        const std::string word = value.substr(start, end - start);
        at = end;
        if (kvStrCmpNoCase(word.c_str(), "REPLACEBADCHAR") == 0) {
            global_settings.bad_char_flag = 0;
            continue;
        }
        global_settings.charset_index = kvCharsetIndex(word);
        if (global_settings.charset_index < 0) kvRaiseMessage(CONFIG_SITE, 213, {"CHARSET"});
    }
}

void apply_command(const std::string& command) {
    const size_t start = command.find_first_not_of(' ');
    if (start == std::string::npos) return;
    size_t end = command.find(' ', start);
    if (end == std::string::npos) end = command.size();
    const std::string key = command.substr(start, end - start);
    for (const config_key& k : kKeys) {
        if (kvStrCmpNoCase(key.c_str(), k.name) != 0) continue;
        std::string value;
        const bool given = kvConfigValue(command, end, value);
        switch (k.kind) {
            case key_kind::flag:
                if (k.flag_char) global_settings.*k.flag_char = 1;
                if (k.flag_int) global_settings.*k.flag_int = 1;
                return;
            case key_kind::charset:
                // Without a value there is nothing to select: the settings
                // stay as they were.
                if (!given) kvRaiseMessage(CONFIG_SITE, k.missing_code, {k.name});
                else apply_charset(value);
                return;
            case key_kind::text:
                if (k.text == &global_settings_t::schema) global_settings.schema_given = 1;
                if (!given) kvRaiseMessage(CONFIG_SITE, k.missing_code, {k.name});
                else global_settings.*k.text = value;
                return;
        }
    }
    kvRaiseMessage(CONFIG_SITE, 14, {key});
}

}  // namespace

int kvCharsetIndex(const std::string& name) {
    for (int i = 0; i < kCharsetNameCount; ++i)
        if (name == kCharsetNames[i]) return i;
    return -3;
}

bool kvConfigValue(const std::string& command, size_t from, std::string& value) {
    value.clear();
    const size_t start = command.find_first_not_of(' ', from);
    if (start == std::string::npos) return false;
    const char quote = command[start];
    if (quote == '"' || quote == '\'') {
        const size_t close = command.find(quote, start + 1);
        if (close == std::string::npos) return false;
        value = command.substr(start + 1, close - start - 1);
        return true;
    }
    value = command.substr(start);
    return true;
}

void load_global_settings() {
    global_settings = global_settings_t{};
    global_settings.mgr_serv_name = "KVXMGR";
    global_settings.schema = "KVXUSER";
    global_settings.charset_index = -1;
    global_settings.bad_char_flag = 1;
    global_settings_loaded = 1;
    readGlobalConfigFile();
}

void kvSetGlobalsReader(kvCommandReader reader) { g_globals_reader = reader; }

void readGlobalConfigFile() {
    if (!g_globals_reader) return;
    FILE* stream = std::fopen("GLOBALS", "r");
    if (!stream) return;
    std::string command;
    while (g_globals_reader(command, stream)) {
        while (!command.empty() && command.back() == ' ') command.pop_back();
        apply_command(command);
    }
    kvFclose(stream);
}
