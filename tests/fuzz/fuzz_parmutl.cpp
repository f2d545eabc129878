// Fuzz target: the run parameter command reader. The input is the run
// parameter file (also written as input.par, so it can OBEY itself);
// beside it are the OBEY files obey.par and self.par, a folder "dir" and a
// FIFO "fifo". Every command delivered must be within the length limit,
// the reader must end (a bounded number of commands for a bounded input),
// and once it has ended nothing of the input may remain: no OBEY stream
// left open. The look for a DDLFILE command made before the run
// (names_ddl_file) must never miss one that the reader delivers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "kvapp/parmutl.h"
#include "kvstd/config.h"
#include "kvstd/strutl.h"
#include "tabform/params.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    fuzz_support::make_special_files();
    fuzz_support::write_scratch("obey.par", "TRACE\nFILE A\n  DEF B;\nOBEY self.par\nDDLFILE x\n");
    fuzz_support::write_scratch("self.par", "TRACE self\nOBEY self.par\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::in_scratch_dir here;
    const std::string path = fuzz_support::write_scratch("input.par", data, size);
    const bool named = names_ddl_file(path);
    FILE* stream = std::fopen(path.c_str(), "r");
    FUZZ_CHECK(stream != nullptr);
    global_settings.param_file = stream;
    global_settings.obey_active = 0;
    global_settings.obey_file = nullptr;
    global_settings.semicolon_mode = 0;

    // Every command takes at least one line, and an OBEY file may be read
    // once per OBEY line of the input: far fewer than this.
    const size_t limit = 64 * (size + 16);
    std::string command;
    size_t delivered = 0;
    while (kvGetNextCommand(command)) {
        FUZZ_CHECK(command.size() < kMaxCommandLength);
        FUZZ_CHECK(++delivered < limit);
        // The command word as the parameter file's dispatcher takes it.
        const size_t start = std::min(command.find_first_not_of(' '), command.size());
        const std::string word = command.substr(start, command.find(' ', start) - start);
        FUZZ_CHECK(named || !kvEqualsNoCase(word, "DDLFILE"));
    }
    FUZZ_CHECK(command.empty());
    FUZZ_CHECK(!global_settings.obey_active && global_settings.obey_file == nullptr);

    std::fclose(stream);
    global_settings.param_file = nullptr;
    return 0;
}
