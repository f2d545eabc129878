// Fuzz target: the COBOL definitions file reader on whole files, in the
// format named by FUZZ_COBDEF_FORMAT (FREE or FIXED). Every definition it
// adds must be a closed, laid-out record, a failure must come with a
// report, and the reader must be idle afterwards: a small known file read
// next gives exactly its one record.
#include <cstddef>
#include <cstdint>
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
    g_probe_path = fuzz_support::write_scratch(
        "probe.cpy", fixed ? "000100 01  PROBE.\n000200     05  P  PIC X(3).\n"
                           : "01 PROBE.\n   05 P PIC X(3).\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz_support::write_scratch("input.cpy", data, size);
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
    FUZZ_CHECK(area.size() == 1 && area[0].field_count == 2 && area[0].fields->at(1).int_len == 3);
    area.clear();
    return 0;
}
