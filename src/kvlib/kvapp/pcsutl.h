// pcsutl: who and where the program runs: the framed start banner, the
// operating-system description and the process id.
#pragma once

#include <string>

#include "kvstd/timecnv.h"

struct kvOSVersion {
    std::string family;        // "Linux"
    std::string edition;       // distribution name (PRETTY_NAME)
    std::string architecture;  // machine name from uname
    unsigned major = 0, minor = 0, build = 0;  // kernel release numbers
    std::string service_pack;  // the rest of the kernel release text
};

// Process id text of the last kvGetProcessID.
extern char kvProcessIdText[32];

void kvGetProcessID(const tm_ext* start_time);
void kvPrintOSVersion();
void kvGetOSVersion(kvOSVersion* out);
// Parses an os-release text; returns PRETTY_NAME, else NAME, else "".
std::string kvOsReleaseName(const std::string& os_release_text);
// Splits a kernel release such as "6.1.0-18-amd64" into its numbers and the
// remaining text.
void kvParseKernelRelease(const char* release, kvOSVersion* out);
