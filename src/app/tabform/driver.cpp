// driver: start-up, command line and the main sequence. Every phase runs
// once, in a fixed order; only -v, HELP/"?" and a missing parameter file
// end the run early (status 0). Any other early end comes from a message
// whose severity ends the process. A run that lost output (a write that
// failed, an error log that could not be opened) never ends with status 0.
#include "tabform/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kvapp/colnaming.h"
#include "kvapp/console.h"
#include "kvapp/interrupt.h"
#include "kvapp/pcsutl.h"
#include "kvapp/tabutl.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/datacmd.h"
#include "tabform/datarun.h"
#include "tabform/deferred.h"
#include "tabform/dupnames.h"
#include "tabform/filekeys.h"
#include "tabform/layout.h"
#include "tabform/params.h"
#include "tabform/resolve.h"
#include "tabform/splitcmd.h"
#include "tabform/templ.h"
#include "tabform/writer.h"

static const kvModuleId kModule{"tabform.main", "$Id: driver.cpp 1.0 tabcopy $"};

const char* program_name = "tabcopy";
tm_ext start_time;

// The status of a run an error ended: output that was lost is an error
// even when the catalogue let the run go on after reporting it.
static int final_status() { return kvOutputLost() ? 12 : 0; }

// A run whose data had records rejected ended well, but a script must be
// able to tell: status 4.
static int run_status() {
    const int status = final_status();
    return status == 0 && data_rejected_any() ? 4 : status;
}

static bool keyword_is(const char* argument, const char* keyword) {
    return kvStrCmpNoCase(argument, keyword) == 0;
}

void usage(int exit_flag, const char* argument, const char* program) {
    std::fprintf(stderr, "Usage: %s %s", program,
                 "PARAMFILE <param file> [REPORTFILE <report file>]\n");
    std::fprintf(stderr, "              [PAUSEATEND] [NOPAUSEATEND]\n");
    // Only --help says where to read on: HELP and ? keep their text.
    if (argument && keyword_is(argument, "--help"))
        std::fprintf(stderr, "       %s LAYOUT <copybook> [FREE|FIXED|AUTO] [IBM|TABCOPY] [RECORD <name>]\n"
                             "              (the record layout of a copybook; LAYOUTFILE in a parameter\n"
                             "              file writes the layout of its tables, as text or JSON)\n"
                             "       %s DATA <copybook> <data file> [copybook words] [DEF <record>]\n"
                             "              [data options]  (the rows of a data file as CSV; DATAFILE in a\n"
                             "              parameter file converts the data of its tables)\n"
                             "       %s SPLIT <data file> [FRAMING FIXED|V|VB|LINE] [LRECL <n>]\n"
                             "              [COUNT <n>|SIZE <n>[K|M|G]]  (record-aligned parts of a data file\n"
                             "              to convert side by side: START, LENGTH and FIRSTRECORD)\n"
                             "The manual: man tabcopy. The user guide: /usr/share/doc/tabcopy/guide.md\n"
                             "(share/doc/tabcopy under another installation prefix, docs/ in the sources).\n",
                     program, program, program);
    std::fflush(stderr);
    if (exit_flag) std::exit(0);
    kvRaiseMessage(KV_SITE(kModule), 12, {argument});
}

// Opens the value of PARAMFILE or REPORTFILE; a path too long to hold is
// refused whole. Returns the stream or null.
static FILE* open_argument_file(const char* path, const char* mode) {
    if (std::strlen(path) > static_cast<size_t>(kMaxPathLength)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "init_functions"), 1092, {path, kMaxPathLength});
        return nullptr;
    }
    return kvOpenFile(path, mode);
}

static void replace_stream(FILE** slot, FILE* stream) {
    if (*slot) kvFclose(*slot);
    *slot = stream;
}

// Reads the arguments left to right. Returns when all are read or a value
// is missing (then no argument beyond the list is touched).
static void scan_arguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool is_param = keyword_is(arg, "PARAMFILE");
        if (is_param || keyword_is(arg, "REPORTFILE")) {
            const char* keyword = is_param ? "PARAMFILE" : "REPORTFILE";
            if (i + 1 >= argc) {
                kvRaiseMessage(KV_SITE_FN(kModule, "init_functions"), 13, {keyword});
                return;
            }
            const char* path = argv[++i];
            // The path is kept before the open, so the event of a failed
            // open already names the parameter file in the error log.
            if (is_param)
                global_settings.param_file_name = path;
            else
                global_settings.report_file_name = path;
            FILE* stream = open_argument_file(path, is_param ? "r" : "a+");
            replace_stream(is_param ? &global_settings.param_file : &global_settings.report_file,
                           stream);
        } else if (keyword_is(arg, "PAUSEATEND")) {
            global_settings.pause_at_end = 1;
        } else if (keyword_is(arg, "NOPAUSEATEND")) {
            global_settings.pause_at_end = 0;
        } else if (keyword_is(arg, "HELP") || keyword_is(arg, "--help") ||
                   std::strcmp(arg, "?") == 0) {
            usage(1, arg, program_name);
        } else {
            usage(0, arg, program_name);
        }
    }
}

// --help and --version are accepted for users who type them out of habit;
// --version, like -v, only as the sole argument, and spelt exactly.
static bool is_version_request(int argc, char** argv) {
    if (argc != 2) return false;
    return std::strcmp(argv[1], "-v") == 0 || std::strcmp(argv[1], "-V") == 0 ||
           std::strcmp(argv[1], "--version") == 0;
}

void init_functions(int argc, char** argv) {
    kv_ensure_global_settings();
    if (is_version_request(argc, argv)) {
        kvPrintBanner(nullptr, 0, kvFrameLine);
        std::exit(final_status());
    }
    // LAYOUT, DATA and SPLIT need no parameter file: their output alone
    // goes to standard output, every message to standard error.
    static const struct {
        const char* word;
        int (*run)(const std::vector<std::string>&);
    } kCommands[] = {{"LAYOUT", layout_command}, {"DATA", data_command}, {"SPLIT", split_command}};
    for (const auto& command : kCommands) {
        if (argc < 2 || !keyword_is(argv[1], command.word)) continue;
        kvConsoleUseStandardError();
        std::exit(command.run(std::vector<std::string>(argv + 2, argv + argc)));
    }
    kvInstallConsoleHandler();
    kvInitConsole();
    program_name = "tabcopy";
    current_tm_ext(&start_time);
    scan_arguments(argc, argv);
    if (!global_settings.param_file) usage(1, "", program_name);
    // Without a DDLFILE command the DDL goes to standard output, which it
    // must then have to itself: everything the operator reads goes to
    // standard error, from the banner on.
    if (!names_ddl_file(global_settings.param_file_name)) kvConsoleUseStandardError();
    kvGetProcessID(&start_time);
}

// A run that lost output keeps the DDL file as it was: the last lines
// must say so, not that the definitions were generated into it.
static void report_ddl_not_written() {
    std::string lost, error;
    if (!kvIsPendingReplacement(ddl_file.stream) || !kvFirstOutputLoss(lost, error)) return;
    kvRaiseMessage(KV_SITE_FN(kModule, "tabcopy_main"), 1265, {ddl_file.name, lost, error});
}

static void write_definitions() {
    // The count is read again on every pass: nothing may add entries here,
    // but a stale bound would silently skip them if it did.
    for (uint32_t i = 0; i < TABUTL_arrayGetElements(def_table); ++i) {
        auto* entry = static_cast<def_entry*>(TABUTL_arrayGetElement(i, def_table));
        check_dup_fields(entry);
        std::vector<sql_column> columns;
        const ddl_values values = resolve_params(entry, layout_file_open() ? &columns : nullptr);
        finish_templ();
        write_templ(values);
        write_layout_entry(*entry, columns);
        kvReportPrintf("Definition output for %s\n\n", entry->table_name.c_str());
    }
}

int tabcopy_main(int argc, char** argv) {
    def_table = TABUTL_arrayCreate();
    init_functions(argc, argv);
    create_expand_options();
    get_infile_params();
    read_templ_file();
    name_deferred_definitions();
    warn_shared_key_marks();
    warn_keys_not_columns();
    write_definitions();
    finish_layout_file();
    run_data_jobs();
    // The DDL file replaces the old one only now, with every table written;
    // a run that ended before left the old one as it was. Rows, rejects and
    // the load script go into place with it.
    if (final_status() == 0) kvCommitReplacements();
    else report_ddl_not_written();
    // The count is printed in full: a 16-bit field would show a wrong,
    // even negative, count for very long parameter files.
    kvReportPrintf("\n\nDefinitions generated for %u files in %s\n\n",
                   TABUTL_arrayGetElements(def_table), ddl_file.name.c_str());
    return run_status();
}
