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

static std::string unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

std::string kvOsReleaseName(const std::string& text) {
    std::istringstream in(text);
    std::string line, pretty, name;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) pretty = unquote(line.substr(12));
        else if (line.rfind("NAME=", 0) == 0) name = unquote(line.substr(5));
    }
    return !pretty.empty() ? pretty : name;
}

void kvParseKernelRelease(const char* release, kvOSVersion* out) {
    unsigned numbers[3] = {0, 0, 0};
    const char* p = release;
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        unsigned long n = std::strtoul(p, &end, 10);
        if (end == p) break;
        numbers[i] = static_cast<unsigned>(n);
        p = end;
        if (i < 2 && *p == '.') ++p;
        else break;
    }
    out->major = numbers[0];
    out->minor = numbers[1];
    out->build = numbers[2];
    while (*p == '-' || *p == '.') ++p;
    out->service_pack = p;
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
