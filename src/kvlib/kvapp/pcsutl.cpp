// pcsutl: process identification at start-up. The operating-system
// description comes from uname(2) and /etc/os-release; the process id from
// getpid(2).
#include "kvapp/pcsutl.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "kvapp/console.h"
#include "kvstd/strutl.h"
#include "kvstd/trace.h"

char kvProcessIdText[32];

void kvGetProcessID(const tm_ext* t) {
    KV_TRACE_FUNCTION(kvTraceBitEntry, "kvGetProcessID");
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%4hd-%02hd-%02hd %02hd:%02hd:%02hd.%03hd%03hd", t->year,
                  t->month, t->day, t->hour, t->minute, t->second, t->msec, t->usec);
    char start_text[96];
    std::snprintf(start_text, sizeof start_text, "Starting at %.19s", stamp);
    kvTrimTrailing(start_text);
    kvPrintBanner(start_text, 1, kvFrameLine);
    kvPrintOSVersion();
    std::snprintf(kvProcessIdText, sizeof kvProcessIdText, "%d", static_cast<int>(getpid()));
    kvReportPrintf("\nProcess id: %s\n", kvProcessIdText);
}

void kvPrintOSVersion() {
    kvReportPrintf("\nOperating System Version:\n");
    kvOSVersion v;
    kvGetOSVersion(&v);
    kvReportPrintf("%s %s, on %s", v.family.c_str(), v.edition.c_str(), v.architecture.c_str());
    kvReportPrintf("\nVersion %u.%u (Build %u: %s)\n", v.major, v.minor, v.build,
                   v.service_pack.c_str());
}

void kvGetOSVersion(kvOSVersion* out) {
    out->family = "Linux";
    std::ifstream f("/etc/os-release");
    std::stringstream content;
    if (f) content << f.rdbuf();
    out->edition = kvOsReleaseName(content.str());
    if (out->edition.empty()) out->edition = "(unknown distribution)";
    struct utsname u;
    if (uname(&u) == 0) {
        out->architecture = u.machine;
        kvParseKernelRelease(u.release, out);
    } else {
        out->architecture = "(unknown architecture)";
    }
}
