// Operating-system description: distribution name and kernel release
// numbers from Linux's own texts.
#include <gtest/gtest.h>

#include "kvapp/pcsutl.h"

namespace {

TEST(OsDescription, DistributionNameFromOsRelease) {
    struct Case {
        const char* text;
        const char* name;
    } cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"NAME=Alpine\n", "Alpine"},
        {"PRETTY_NAME='Quoted'\nNAME=x", "Quoted"},
        {"ID=debian\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(kvOsReleaseName(c.text), c.name) << c.text;
}

TEST(OsDescription, KernelReleaseNumbers) {
    struct Case {
        const char* release;
        unsigned major, minor, build;
        const char* rest;
    } cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0, "18-amd64"},
        {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153, "1-microsoft-standard-WSL2"},
        {"4.19", 4, 19, 0, ""},
        {"garbage", 0, 0, 0, "garbage"},
        {"", 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        kvOSVersion v;
        kvParseKernelRelease(c.release, &v);
        EXPECT_EQ(v.major, c.major) << c.release;
        EXPECT_EQ(v.minor, c.minor) << c.release;
        EXPECT_EQ(v.build, c.build) << c.release;
        EXPECT_EQ(v.service_pack, c.rest) << c.release;
    }
}

TEST(OsDescription, ThisMachineIsDescribed) {
    kvOSVersion v;
    kvGetOSVersion(&v);
    EXPECT_EQ(v.family, "Linux");
    EXPECT_FALSE(v.edition.empty());
    EXPECT_FALSE(v.architecture.empty());
    EXPECT_GT(v.major, 0u);
}

}  // namespace
