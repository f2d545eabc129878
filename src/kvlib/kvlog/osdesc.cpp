// osdesc: parsing the system's description texts; never fails (a text
// that cannot be read gives empty names and zero numbers).
#include "kvlog/osdesc.h"

#include <cstdlib>
#include <sstream>

namespace {

std::string unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

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
