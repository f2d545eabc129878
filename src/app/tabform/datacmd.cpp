// datacmd: the DATA command.
//
// Invariants: the rows are those a parameter file run with the same
// copybook, default naming options and no template (or the TEMPLATE named)
// would write for the table; rejects and their log go beside the data
// file's name in the working directory and, like the rows, exist only
// when the run ends well.
#include "tabform/datacmd.h"

#include <cerrno>
#include <cstdio>

#include "kvapp/colnaming.h"
#include "kvlog/kvraise.h"
#include "kvstd/fileutl.h"
#include "kvstd/strutl.h"
#include "tabform/datapass.h"
#include "tabform/datarun.h"
#include "tabform/dupnames.h"
#include "tabform/loadscript.h"
#include "tabform/params.h"
#include "tabform/templ.h"

static const kvModuleId kModule{"tabform.main", "$Id: datacmd.cpp 1.0 tabcopy $"};

namespace {

// The words COBOLDEFSFILE takes after the file name.
bool copybook_word(const std::string& word) {
    for (const char* w : {"FREE", "FIXED", "AUTO", "IBM", "TABCOPY"})
        if (kvEqualsNoCase(word, w)) return true;
    return false;
}

std::string base_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const cobol_def* chosen_definition(size_t first, const std::string& name) {
    const std::vector<cobol_def>& defs = CD_definitions();
    for (size_t i = first; i < defs.size(); ++i)
        if (name.empty() || kvStrCmpNoCase(defs[i].def_name.c_str(), name.c_str()) == 0) return &defs[i];
    return nullptr;
}

}  // namespace

int data_command(const std::vector<std::string>& words) {
    if (words.size() < 2) {
        kvRaiseMessage(KV_SITE_FN(kModule, "data_command"), 1309);
        return 12;
    }
    std::string copybook = "COBOLDEFSFILE " + words[0];
    std::vector<std::string> rest(words.begin() + 2, words.end());
    std::vector<std::string> options_words{"DATA", words[1]};
    for (size_t i = 0; i < rest.size(); ++i) {
        // A data option's value is never a copybook word: FRAMING FIXED.
        if (is_data_option(rest[i]) && i + 1 < rest.size()) {
            options_words.push_back(rest[i]);
            options_words.push_back(rest[++i]);
        } else if (copybook_word(rest[i])) {
            copybook += " " + rest[i];
        } else if (kvEqualsNoCase(rest[i], "RECORD") && i + 1 < rest.size()) {
            copybook += " RECORD " + rest[++i];
        } else {
            options_words.push_back(rest[i]);
        }
    }
    data_job job;
    job.data_path = words[1];
    size_t at = 2;
    std::string error;
    if (!read_data_options(error, options_words, at, job.options)) {
        kvRaiseMessage(KV_SITE_FN(kModule, "data_command"), 1247, {"DATA", error});
        return 12;
    }
    if (!job.options.template_path.empty()) {
        templ_file_name = job.options.template_path;
        read_templ_file();
    }
    create_expand_options();
    const size_t before = CD_definitions().size();
    if (!load_copybook(copybook)) return 12;
    for (size_t i = before; i < CD_definitions().size(); ++i) expand_columns(&CD_definitions()[i]);
    const cobol_def* def = chosen_definition(before, job.options.definition);
    if (!def) {
        kvRaiseMessage(KV_SITE_FN(kModule, "data_command"), 1246, {job.options.definition});
        return 12;
    }
    def_entry entry(*def);
    entry.table_name = kvUpshifted(def->def_name);
    check_dup_fields(&entry);
    const std::string base = base_name(job.data_path);
    // Parts converted side by side keep their rejects apart.
    const std::string tag = part_tag(job.options, job.options.lrecl ? job.options.lrecl : layout_length(entry));
    if (job.options.rejects.empty()) job.options.rejects = base + tag + ".rej";
    if (job.options.reject_log.empty()) job.options.reject_log = base + tag + ".rej.log";
    // Without a template the rows are CSV with a header line.
    const bool header = job.options.template_path.empty() || templ_rows.header;
    if (!convert_data(job, entry, stdout, header)) return 12;
    if (std::fflush(stdout) != 0) kvWriteFailed("standard output", errno);
    if (kvOutputLost()) return 12;
    kvCommitReplacements();
    return job.rejected ? 4 : 0;
}
