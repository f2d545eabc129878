// config: the process-wide settings record `global_settings` and its
// one-time initialisation from the optional GLOBALS file.
//
// Invariant: every field is valid only after load_global_settings has run;
// every routine that may run first calls kv_ensure_global_settings().
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct global_settings_t {
    // Command line (driver).
    std::string param_file_name;
    FILE* param_file = nullptr;
    std::string report_file_name;
    FILE* report_file = nullptr;
    int pause_at_end = 0;

    // Console interrupts and abend.
    int16_t stop_code = 0;

    // Run parameter command reader: the one OBEY level and the ";" mode.
    int obey_active = 0;
    FILE* obey_file = nullptr;
    int16_t semicolon_mode = 0;

    // GLOBALS keys.
    int case_sensitive = 0;
    std::string ddl_table;
    std::string mgr_serv_name;
    std::string checkpoint_table;
    std::string marker_table;
    std::string dump_ddl_objects;
    std::string dump_ddl_columns;
    std::string dump_ddl_loggroups;
    std::string dump_ddl_partitions;
    std::string dump_ddl_primarykeys;
    std::string schema;
    int schema_given = 0;
    char allow_wildcard_schemas = 0;
    int charset_index = -1;
    char bad_char_flag = 1;
    char use_all_key_columns = 0;
};

extern global_settings_t global_settings;
extern int global_settings_loaded;

// The character-set names a CHARSET value may give, in index order.
constexpr int kCharsetNameCount = 78;
extern const char* const kCharsetNames[kCharsetNameCount];
// Index of `name` (exact case) in kCharsetNames, or -3 when it is not there.
int kvCharsetIndex(const std::string& name);
// The value of a GLOBALS command after the key that ends at `from`: the
// text between a pair of quotes (either kind), or else the rest of the
// command. False, with `value` empty, when nothing follows the key or the
// closing quote is missing.
bool kvConfigValue(const std::string& command, size_t from, std::string& value);

// Resets the record to its defaults, marks it loaded, then reads GLOBALS.
void load_global_settings();
// Reads the GLOBALS file of the working directory into global_settings.
// It starts a new input of the command file reader, so it must not run
// while that reader is in the middle of another file.
void readGlobalConfigFile();

// GLOBALS is written in the family's command language, whose reader
// belongs to the application library; it installs the reader at start-up
// (kvAppStartUp). The reader places the next command of `stream` in
// `command` and returns 0 at the end of the input. A program without it
// reads no GLOBALS file.
using kvCommandReader = int (*)(std::string& command, FILE* stream);
void kvSetGlobalsReader(kvCommandReader reader);

inline void kv_ensure_global_settings() {
    if (!global_settings_loaded) load_global_settings();
}
