// Helpers for the COBOL definitions tests: fixture paths, scratch files and
// a reader call that returns only the definitions it added.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "test_files.h"

#ifndef TABCOPY_TEST_SOURCE_DIR
#define TABCOPY_TEST_SOURCE_DIR "tests"
#endif

namespace cobdef_testing {

inline std::string fixture(const std::string& name) {
    return std::string(TABCOPY_TEST_SOURCE_DIR) + "/kvlib/kvapp/fixtures/cobdef/" + name;
}

using test_files::scratch_dir;
using test_files::write_scratch;

struct read_result {
    int ok = 0;
    std::string error;
    std::vector<cobol_def> defs;  // the definitions this call added
};

inline read_result read_command(const std::string& command) {
    read_result r;
    const size_t before = CD_definitions().size();
    r.ok = CD_read_defs(r.error, command);
    const std::vector<cobol_def>& all = CD_definitions();
    r.defs.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    return r;
}

inline read_result read_file(const std::string& path, const std::string& format = "") {
    return read_command("COBOLDEFSFILE " + path + (format.empty() ? "" : " " + format));
}

// Writes `content` to a scratch file and reads it.
inline read_result read_text(const std::string& content, const std::string& format = "") {
    static int serial = 0;
    return read_file(write_scratch("text" + std::to_string(++serial) + ".cpy", content), format);
}

inline const column_entry& field(const cobol_def& def, size_t index) { return def.fields->at(index); }

}  // namespace cobdef_testing
