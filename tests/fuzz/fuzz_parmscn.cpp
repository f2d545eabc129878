// Fuzz target: the macro-capable command file reader, with macros, OBEY
// and INCLUDE. The input is the command file (input.cmd in the scratch
// folder, so it can name itself); beside it are files that define macros,
// include one another, include themselves and loop, a folder "dir" and a
// FIFO "fifo". The reader must reach the end of every input and then hold
// no state: a short probe text read next gives the commands it gave in a
// fresh process.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kvapp/parmscn.h"
#include "kvapp/parmscn_internal.h"

namespace {

const char kProbe[] = "#Q(1)\nK;L\nFILE F\n";

std::vector<std::string> g_probe_commands;

std::vector<std::string> read_all(const std::string& path) {
    FILE* stream = std::fopen(path.c_str(), "r");
    FUZZ_CHECK(stream != nullptr);
    std::vector<std::string> commands;
    std::string command;
    while (ci_get_next_cmd(command, stream)) commands.push_back(command);
    FUZZ_CHECK(command.empty());
    FUZZ_CHECK(ci_current_state() == nullptr);
    std::fclose(stream);
    return commands;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::init();
    fuzz_support::make_special_files();
    using fuzz_support::write_scratch;
    write_scratch("macros.cmd",
                  "MACRO #M\nPARAMS (#A, #B)\nBEGIN\nK #A #B;\nEND\n"
                  "MACRO #R\nBEGIN\n#R()\nEND\n"
                  "MACRO #S\nPARAMS (#X)\nBEGIN\n#M(#X, \"q;\") #X #X\nEND\n");
    write_scratch("nest.cmd", "INCLUDE macros.cmd\n#M(1,2)\nOBEY self.cmd\n");
    write_scratch("self.cmd", "INCLUDE self.cmd\nK self\n");
    write_scratch("loop1.cmd", "K loop1\nINCLUDE loop2.cmd\n");
    write_scratch("loop2.cmd", "K loop2\nINCLUDE loop1.cmd\n");
    fuzz_support::in_scratch_dir here;
    g_probe_commands = read_all(write_scratch("probe.cmd", kProbe));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::in_scratch_dir here;
    read_all(fuzz_support::write_scratch("input.cmd", data, size));
    FUZZ_CHECK(read_all(fuzz_support::scratch_path("probe.cmd")) == g_probe_commands);
    return 0;
}
