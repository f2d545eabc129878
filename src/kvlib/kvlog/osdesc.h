// osdesc: the operating system's description texts, read by the process
// context of every message and by the start-up banner: the distribution's
// name in /etc/os-release and the numbers of the kernel release.
#pragma once

#include <string>

struct kvOSVersion {
    std::string family;        // "Linux"
    std::string edition;       // distribution name (PRETTY_NAME)
    std::string architecture;  // machine name from uname
    unsigned major = 0, minor = 0, build = 0;  // kernel release numbers
    std::string service_pack;  // the rest of the kernel release text
};

// Parses an os-release text; returns PRETTY_NAME, else NAME, else "".
std::string kvOsReleaseName(const std::string& os_release_text);
// Splits a kernel release such as "6.1.0-18-amd64" into its numbers and the
// remaining text.
void kvParseKernelRelease(const char* release, kvOSVersion* out);
