// Fuzz target: the COBOL definitions file reader on whole files, in the
// format named by FUZZ_COBDEF_FORMAT (FREE, FIXED, or AUTO with RECORD,
// which reads the whole file as one record). Every
// definition it adds must be a closed, laid-out record, a failure must
// come with a report, and the reader must be idle afterwards: a small
// known file read next gives exactly its one record.
//
// COPY statements find members beside the input: ones that copy
// themselves (SELF) or each other (LOOPA, LOOPB), one with :TAG:
// placeholders (TAGGED), one in a library folder (LIB/INLIB), a folder
// named like a member (DIRM), and FZ, which holds whatever of the input
// follows its first NUL byte (the text before it is the file read).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_cobdef_checks.h"
#include "fuzz_support.h"
#include "kvapp/cobdef.h"

#ifndef FUZZ_COBDEF_FORMAT
#define FUZZ_COBDEF_FORMAT "FREE"
#endif

namespace {

std::string g_probe_path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    const bool fixed = std::string(FUZZ_COBDEF_FORMAT) == "FIXED";
    const struct {
        const char* name;
        const char* text;
    } members[] = {
        {"SELF.cpy", "05 S PIC X. COPY SELF.\n"},
        {"LOOPA.cpy", "05 LA PIC X.\nCOPY LOOPB.\n"},
        {"LOOPB", "COPY LOOPA REPLACING ==LA== BY ==LB==.\n"},
        {"TAGGED.cpy", "01 :TAG:-REC.\n   05 :TAG:-ID PIC X(4).\n   05 FILLER PIC X.\n"},
        {"FIELDS.cbl", "      * fixed-format member\n           05 F1 PIC 9(3).\n           05 F2 PIC X.\n"},
    };
    for (const auto& m : members) fuzz_support::write_scratch(m.name, m.text);
    std::filesystem::create_directories(fuzz_support::scratch_dir() / "LIB");
    std::filesystem::create_directories(fuzz_support::scratch_dir() / "DIRM");
    fuzz_support::write_scratch("LIB/INLIB.cpy", "05 IL PIC X(2). COPY FIELDS.\n");
    g_probe_path = fuzz_support::write_scratch(
        "probe.cpy", fixed ? "000100 01  PROBE.\n000200     05  P  PIC X(3).\n"
                           : "01 PROBE.\n   05 P PIC X(3).\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t main_size = nul ? static_cast<size_t>(nul - data) : size;
    fuzz_support::write_scratch("FZ.cpy", nul ? nul + 1 : data, nul ? size - main_size - 1 : 0);
    const std::string path = fuzz_support::write_scratch("input.cpy", data, main_size);
    std::vector<cobol_def>& area = CD_definitions();
    area.clear();
    std::string error = "stale";
    const int ok = CD_read_defs(error, "COBOLDEFSFILE " + path + " " FUZZ_COBDEF_FORMAT);
    FUZZ_CHECK(ok == 0 || ok == 1);
    FUZZ_CHECK(ok ? error.empty() : !error.empty());
    for (const cobol_def& def : area) fuzz_support::check_definition(def);

    // The reader keeps nothing from the input: the next file reads alone.
    area.clear();
    FUZZ_CHECK(CD_read_defs(error, "COBOLDEFSFILE " + g_probe_path + " " FUZZ_COBDEF_FORMAT) == 1);
    // Under RECORD the probe's record is the child of the file's record.
    const int32_t fields = std::string(FUZZ_COBDEF_FORMAT).find("RECORD") != std::string::npos ? 3 : 2;
    FUZZ_CHECK(area.size() == 1 && area[0].field_count == fields && area[0].fields->back().int_len == 3);
    area.clear();
    return 0;
}
