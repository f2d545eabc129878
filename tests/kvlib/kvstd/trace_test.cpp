// Trace records byte for byte, the ring of trace files, the configuration
// and the base library's own trace points.
#include "kvstd/trace.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "kvlib/kvstd/trace_testing.h"
#include "kvstd/config.h"
#include "kvstd/memutl.h"
#include "kvstd/strutl.h"
#include "message_recorder.h"

namespace fs = std::filesystem;

namespace {

using namespace trace_testing;

TEST_F(TraceTest, ShortBufferIsOneRecordWithTimeStampAndModule) {
    kvTraceBuffer(kTabutl, 42, "label", "0123456789", 10);
    const Lines raw = lines_of(file(0));
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_TRUE(is_stamp(raw[0].substr(0, kStampLength))) << raw[0];
    EXPECT_EQ(records(), Lines{"[tabutl:42] label (len:10) = <0123456789>"});
}

TEST_F(TraceTest, BytesShowInTheirDisplayForms) {
    const unsigned char bytes[] = {0x00, '^', 0x07, ' ', '~', 0x7F, 0x80, 0xFF, 'a', '\n'};
    kvTraceBuffer(kTabutl, 1, "b", bytes, sizeof bytes);
    EXPECT_EQ(records(), Lines{"[tabutl:1] b (len:10) = <^{5E}{07} ~{7F}{80}{FF}a{0A}>"});
}

TEST_F(TraceTest, BufferAbove100000BytesIsTruncatedAndDumped) {
    std::string big(100000, 'a');
    big += std::string(100000, 'b');
    kvTraceBuffer(kTabutl, 9, "big", big.data(), static_cast<int64_t>(big.size()));
    const Lines got = records();
    ASSERT_EQ(got.size(), 1u + (100000 + 135) / 136);
    EXPECT_EQ(got[0], "[tabutl:9] big (len:200000)(truncated to 100000) =");
    size_t shown = 0;
    for (size_t i = 1; i < got.size(); ++i) {
        const std::string& line = got[i];
        ASSERT_GE(line.size(), 3u);
        ASSERT_EQ(line.substr(0, 2), " <");
        ASSERT_EQ(line.back(), '>');
        const std::string content = line.substr(2, line.size() - 3);
        if (i + 1 < got.size()) {
            EXPECT_EQ(content.size(), 136u);
        }
        ASSERT_EQ(content.find_first_not_of('a'), std::string::npos) << i;
        shown += content.size();
    }
    EXPECT_EQ(shown, 100000u);
}

// The short form is tried on the byte count; bytes shown in braces can
// still push the line to the long form.
TEST_F(TraceTest, ShortAndLongFormBoundaries) {
    const std::string header = "[tabutl:3] ";
    const auto fits = [&](size_t n) {  // record length of n plain bytes
        return kStampLength + header.size() + std::string("c (len:NN) = <>").size() + n;
    };
    size_t most = 0;
    while (fits(most + 1) < 139) ++most;
    const std::string plain(most, 'p');
    kvTraceBuffer(kTabutl, 3, "c", plain.data(), static_cast<int64_t>(plain.size()));
    const std::string more(most + 1, 'p');
    kvTraceBuffer(kTabutl, 3, "c", more.data(), static_cast<int64_t>(more.size()));
    const std::string ctl(40, '\x01');
    kvTraceBuffer(kTabutl, 3, "c", ctl.data(), 40);
    std::string braced = " <";
    for (int i = 0; i < 34; ++i) braced += "{01}";
    const std::string count = std::to_string(most);
    const std::string count1 = std::to_string(most + 1);
    EXPECT_EQ(records(), (Lines{header + "c (len:" + count + ") = <" + plain + ">",
                                header + "c (len:" + count1 + ") =", " <" + more + ">",
                                header + "c (len:40) =", braced + ">",
                                " <{01}{01}{01}{01}{01}{01}>"}));
}

TEST_F(TraceTest, LongLabelsAreCutAndForceTheLongForm) {
    const std::string label(300, 'L');
    kvTraceBuffer(kTabutl, 5, label.c_str(), "abcde", 5);
    kvTraceBuffer(kTabutl, 5, label.c_str(), "", 0);
    const std::string header = "[tabutl:5] ";
    const std::string cut(238 - kStampLength - header.size(), 'L');
    EXPECT_EQ(records(), (Lines{header + cut + " (len:5) =", " <abcde>", header + cut + " (len:0) =",
                                " <>"}));
}

struct InvalidCase {
    const char* label;
    const void* buffer;
    int64_t length;
    const char* expected;  // null: no record
};

TEST_F(TraceTest, InvalidArgumentsAreReportedInsteadOfDumped) {
    const std::string long_label(250, 'x');
    const InvalidCase cases[] = {
        {"neg", "x", -1, "[tabutl:7] neg <Length with minus value given>"},
        {"neg", nullptr, -5, "[tabutl:7] neg <Length with minus value given>"},
        {"big", "x", int64_t{2147483648}, "[tabutl:7] big <Length greater than LONG_MAX given>"},
        {"fill", kFillPointer, 4, "[tabutl:7] fill <Invalid pointer passed as buffer address>"},
        {"[rpt]", nullptr, 0, "[tabutl:7] [rpt] <Null pointer passed as buffer address>"},
        {nullptr, nullptr, 3, "[tabutl:7] <Null pointer passed as buffer address>"},
        {long_label.c_str(), nullptr, 1, "[tabutl:7] <Null pointer passed as buffer address>"},
        {nullptr, "x", 0, nullptr},
        {"", "x", 0, "[tabutl:7] (len:0) = <>"},
        {nullptr, "xy", 2, "[tabutl:7] (len:2) = <xy>"},
    };
    for (const InvalidCase& c : cases) {
        kvTraceReset();
        fs::remove(file(0));
        ASSERT_EQ(kvTraceConfigure("2", base_.c_str(), nullptr), 1);
        kvTraceBuffer(kTabutl, 7, c.label, c.buffer, c.length);
        EXPECT_EQ(records(), c.expected ? Lines{c.expected} : Lines{})
            << (c.expected ? c.expected : "(no record)");
    }
}

TEST_F(TraceTest, HeaderNamesTheModuleByItsFileName) {
    const std::pair<const char*, const char*> cases[] = {
        {kTabutl, "[tabutl:12] "},
        {"..\\kvlib\\kvlog\\LegacyErrorHandling.cpp", "[legacyerrorhandling:12] "},
        {"/abs/dir.d/strutl.cpp", "[strutl:12] "},
        {"noext", "[noext:12] "},
        {"", "[12] "},
        {nullptr, "[12] "},
    };
    for (const auto& [source, expected] : cases) {
        char header[256];
        const int len = kvTraceHeader(header, source, 12);
        ASSERT_GE(len, static_cast<int>(kStampLength));
        EXPECT_EQ(std::string(header + kStampLength), expected);
        EXPECT_EQ(len, static_cast<int>(std::strlen(header)));
    }
    // Only the first 255 characters of a path are examined, and the header
    // stays within its 256-byte buffer.
    const std::string deep = std::string(300, 'd') + "/memutl.cpp";
    char header[256];
    EXPECT_EQ(kvTraceHeader(header, deep.c_str(), 12), 255);
    EXPECT_EQ(std::string(header + kStampLength), "[" + std::string(239, 'd'));
    EXPECT_STREQ(kvTraceSourcePath("/home/src/work/src/kvlib/kvstd/memutl.cpp"),
                 "kvlib/kvstd/memutl.cpp");
    EXPECT_STREQ(kvTraceSourcePath("memutl.cpp"), "memutl.cpp");
}

TEST_F(TraceTest, ModuleFilterKeepsOnlyListedModules) {
    ASSERT_EQ(kvTraceConfigure("0x5000", base_.c_str(), " MemUtl , ,"), 1);
    ASSERT_EQ(kvTraceModules.names, Lines{"memutl"});
    kvTraceFunction(kTabutl, 1, "TABUTL_arrayCreate");
    kvTraceFunction("../kvlib/kvstd/memutl.cpp", 2, "kvMalloc");
    kvTraceValue("bytes allocated", 3, 16);
    kvTraceFunction(nullptr, 4, "no module");
    kvTraceBuffer(kTabutl, 5, "[rpt]", "x", 1);
    char header[256];
    EXPECT_EQ(kvTraceHeader(header, kTabutl, 1), -1);
    // A record without a source path has no module to filter on.
    EXPECT_EQ(records(), (Lines{"[memutl:2] kvMalloc", "[memutl:3] bytes allocated = 16",
                                "[4] no module"}));
}

TEST_F(TraceTest, FunctionAndValueRecords) {
    const std::string long_name(400, 'f');
    const std::string label220(220, 'v');
    const std::string label221(221, 'v');
    kvTraceFunction(kTabutl, 1, "TABUTL_arrayGetElement");
    kvTraceFunction(kTabutl, 2, nullptr);
    kvTraceFunction(kTabutl, 2, "");
    kvTraceFunction(kTabutl, 2, static_cast<const char*>(kFillPointer));
    kvTraceFunction(kTabutl, 3, long_name.c_str());
    kvTraceValue("pointer freed", 4, -7);
    kvTraceValue(label220.c_str(), 5, 8);
    kvTraceValue(label221.c_str(), 5, 8);
    kvTraceValue("", 6, 0);
    kvTraceValue(nullptr, 6, INT64_MAX);
    const Lines got = records();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0], "[tabutl:1] TABUTL_arrayGetElement");
    EXPECT_EQ(lines_of(file(0))[1].size(), 255u);
    EXPECT_EQ(got[1], "[tabutl:3] " + std::string(255 - kStampLength - 11, 'f'));
    EXPECT_EQ(got[2], "[memutl:4] pointer freed = -7");
    EXPECT_EQ(got[3], "[memutl:5] " + label220 + " = 8");
    EXPECT_EQ(got[4], "[memutl:5] 8");
    EXPECT_EQ(got[5], "[memutl:6] 0");
    EXPECT_EQ(got[6], "[memutl:6] 9223372036854775807");
}

TEST_F(TraceTest, SwitchesGateEveryRecord) {
    EXPECT_TRUE(kvTraceOn(kvTraceBitEntry));
    kvTraceReady = 0;
    kvTraceFunction(kTabutl, 1, "not ready");
    kvTraceReady = 1;
    kvTraceSuppress[1] = 1;
    kvTraceBuffer(kTabutl, 2, "suppressed", "x", 1);
    kvTraceSuppress[1] = 0;
    kvTraceSuppress[0] = 1;
    kvTraceValue("suppressed", 3, 1);
    kvTraceSuppress[0] = 0;
    kvTraceEnabled = 0;
    kvTraceFunction(kTabutl, 4, "disabled");
    EXPECT_FALSE(kvTraceOn(kvTraceBitEntry));
    kvTraceEnabled = 1;
    kvTraceFunction(kTabutl, 5, "written");
    EXPECT_EQ(records(), Lines{"[tabutl:5] written"});
    kvTraceFlags = kvTraceBitOutput;
    EXPECT_FALSE(kvTraceOn(kvTraceBitEntry));
    EXPECT_TRUE(kvTraceOn(kvTraceBitOutput));
}

TEST_F(TraceTest, FullFileMovesToTheNextNameWhichIsEmptiedFirst) {
    { std::ofstream(file(1)) << "stale line\n"; }
    kvTraceSetFileRecords(3);
    for (int i = 1; i <= 4; ++i) kvTraceFunction(kTabutl, i, "f");
    EXPECT_EQ(records(0), (Lines{"[tabutl:1] f", "[tabutl:2] f", "[tabutl:3] f"}));
    EXPECT_EQ(records(1), Lines{"[tabutl:4] f"});
    EXPECT_EQ(kvTraceLog.lines, 1);
}

TEST_F(TraceTest, RingWrapsFrom99ToTheFirstFile) {
    kvTraceSetFileRecords(1);
    for (int i = 0; i <= 100; ++i) kvTraceFunction(kTabutl, i, "f");
    EXPECT_EQ(records(0), Lines{"[tabutl:100] f"});
    EXPECT_EQ(records(50), Lines{"[tabutl:50] f"});
    EXPECT_EQ(records(99), Lines{"[tabutl:99] f"});
    EXPECT_EQ(kvTraceLog.file_index, 1);
    EXPECT_TRUE(records(1).empty());
    EXPECT_FALSE(fs::exists(base_ + ".100"));
}

// A multi-line buffer record that reaches the limit carries on in the
// next file.
TEST_F(TraceTest, DumpLinesCountAsRecords) {
    kvTraceSetFileRecords(2);
    const std::string text(300, 'z');
    kvTraceBuffer(kTabutl, 8, "t", text.data(), 300);
    EXPECT_EQ(records(0).size(), 2u);
    EXPECT_EQ(records(1).size(), 2u);
}

TEST_F(TraceTest, UnopenableFileKeepsTracingOnAndUnwritableFileStopsIt) {
    ASSERT_EQ(kvTraceConfigure("1", (dir_ / "missing" / "t").c_str(), nullptr), 1);
    EXPECT_EQ(kvTraceWrite(&kvTraceLog, "lost"), 1);
    EXPECT_EQ(kvTraceEnabled, 1);
    EXPECT_EQ(kvTraceLog.open, 0);
    EXPECT_EQ(kvTraceLog.file_index, 0);

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // The device takes the open but refuses every write.
    kvTraceLog.file_names[1] = "/dev/full";
    EXPECT_EQ(kvTraceWrite(&kvTraceLog, "lost"), 1);
    EXPECT_EQ(kvTraceEnabled, 0);
    EXPECT_EQ(kvTraceLog.open, 0);
    EXPECT_EQ(kvTraceLog.stream, nullptr);
}

// A stream whose writes fail, and whose close fails too when asked.
std::FILE* failing_stream(bool close_fails) {
    cookie_io_functions_t io{};
    io.write = [](void*, const char*, size_t) -> ssize_t { return -1; };
    io.close = close_fails ? [](void*) { return -1; } : [](void*) { return 0; };
    return fopencookie(nullptr, "w", io);
}

// The current file's stream is replaced; the test closes the original.
class SwappedStream {
public:
    explicit SwappedStream(std::FILE* replacement) : own_(kvTraceLog.stream) {
        kvTraceLog.stream = replacement;
    }
    ~SwappedStream() { std::fclose(own_); }
    SwappedStream(const SwappedStream&) = delete;
    SwappedStream& operator=(const SwappedStream&) = delete;

private:
    std::FILE* own_;
};

TEST_F(TraceTest, WriteFailureMovesOnToTheNextFile) {
    kvTraceFunction(kTabutl, 1, "first");
    ASSERT_EQ(kvTraceLog.file_index, 0);
    MessageRecorder recorder;
    {
        SwappedStream swap(failing_stream(false));
        kvTraceFunction(kTabutl, 2, "second");
    }
    EXPECT_TRUE(recorder.empty());
    EXPECT_EQ(kvTraceEnabled, 1);
    EXPECT_EQ(kvTraceLog.file_index, 1);
    EXPECT_EQ(records(0), Lines{"[tabutl:1] first"});
    EXPECT_EQ(records(1), Lines{"[tabutl:2] second"});
}

// Closing a failed file raises kvFclose's message after the ring is free
// again: a second thread can write a record while the message is handled,
// and a record written by the handler on the closing thread is dropped.
struct CloseObserver {
    int messages = 0;
    int fd = -1;
    std::future_status other = std::future_status::deferred;
};

bool observe_close(const kvSourceSite&, uint32_t code, std::span<const kvMsgArg> args,
                   void* user) {
    auto* seen = static_cast<CloseObserver*>(user);
    if (code != 1077) return false;
    ++seen->messages;
    seen->fd = static_cast<int>(args[0].number());
    kvTraceFunction(kTabutl, 99, "handler on the closing thread");
    auto other = std::async(std::launch::async,
                            [] { kvTraceFunction(kTabutl, 98, "other thread"); });
    seen->other = other.wait_for(std::chrono::seconds(5));
    return false;
}

TEST_F(TraceTest, FailedCloseIsReportedOutsideTheRing) {
    kvTraceFunction(kTabutl, 1, "first");
    ASSERT_TRUE(kvTraceLog.open);
    CloseObserver seen;
    {
        SwappedStream swap(failing_stream(true));
        kvSetMessageObserver(observe_close, &seen);
        kvTraceFunction(kTabutl, 2, "second");
        kvSetMessageObserver(nullptr, nullptr);
    }
    EXPECT_EQ(seen.messages, 1);
    EXPECT_EQ(seen.fd, -1);  // a stream without a descriptor
    EXPECT_EQ(seen.other, std::future_status::ready);
    EXPECT_EQ(records(1), (Lines{"[tabutl:2] second", "[tabutl:98] other thread"}));
}

TEST_F(TraceTest, ConcurrentWritersLoseNoRecordAcrossRotations) {
    kvTraceSetFileRecords(50);
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) kvTraceFunction(kTabutl, t, "w");
        });
    for (std::thread& t : threads) t.join();
    size_t total = 0;
    for (int i = 0; i < kThreads * kEach / 50; ++i) {
        const Lines got = records(i);
        EXPECT_EQ(got.size(), 50u) << i;
        total += got.size();
    }
    EXPECT_EQ(total, static_cast<size_t>(kThreads * kEach));
}

struct ConfigCase {
    const char* flags;
    short enabled;
    uint32_t value;
};

TEST_F(TraceTest, FlagsAreDecimalOrHexadecimal) {
    const ConfigCase cases[] = {
        {"0x1002", 1, 0x1002},         {"0X10", 1, 0x10},  {"4098", 1, 4098},
        {"0", 1, 0},                   {"0x0", 1, 0},      {"4294967295", 1, 0xFFFFFFFF},
        {nullptr, 0, 0},               {"", 0, 0},         {"0x", 0, 0},
        {"12abc", 0, 0},               {"-1", 0, 0},       {" 5", 0, 0},
        {"5 ", 0, 0},                  {"0x100000000", 0, 0}, {"4294967296", 0, 0},
        {"0xG", 0, 0},                 {"abc", 0, 0},
    };
    for (const ConfigCase& c : cases) {
        EXPECT_EQ(kvTraceConfigure(c.flags, base_.c_str(), nullptr), c.enabled)
            << (c.flags ? c.flags : "(null)");
        EXPECT_EQ(kvTraceEnabled, c.enabled);
        EXPECT_EQ(kvTraceReady, c.enabled);
        EXPECT_EQ(kvTraceFlags, c.value);
    }
}

TEST_F(TraceTest, FileNamesAndModuleListFromConfiguration) {
    ASSERT_EQ(kvTraceConfigure("1", nullptr, "memutl,TabUtl , strutl"), 1);
    EXPECT_EQ(kvTraceLog.file_names[0], "tabcopy.trc.00");
    EXPECT_EQ(kvTraceLog.file_names[99], "tabcopy.trc.99");
    EXPECT_EQ(kvTraceModules.names, (Lines{"memutl", "tabutl", "strutl"}));
    EXPECT_EQ(kvTraceConfigure("1", "", ""), 1);
    EXPECT_EQ(kvTraceLog.file_names[7], "tabcopy.trc.07");
    EXPECT_TRUE(kvTraceModules.names.empty());
    // Names are not bounded: a deep base path is used as given.
    const std::string deep = (dir_ / std::string(200, 'd') / std::string(200, 'e')).string();
    fs::create_directories(fs::path(deep).parent_path());
    ASSERT_EQ(kvTraceConfigure("0x1000", deep.c_str(), nullptr), 1);
    kvTraceFunction(kTabutl, 1, "deep");
    EXPECT_EQ(lines_of(deep + ".00").size(), 1u);
}

// The start-up reads the environment once; a flags value that cannot be
// used is named on standard error and leaves tracing off.
TEST(TraceStartUp, ReadsTheEnvironmentOnce) {
    kvTraceReset();
    setenv("KVXTRACEFLAGS", "0x10zz", 1);
    testing::internal::CaptureStderr();
    kvTraceStartUp();
    const std::string note = testing::internal::GetCapturedStderr();
    EXPECT_EQ(kvTraceEnabled, 0);
    EXPECT_NE(note.find("KVXTRACEFLAGS=\"0x10zz\""), std::string::npos) << note;
    setenv("KVXTRACEFLAGS", "0x1000", 1);
    testing::internal::CaptureStderr();
    kvTraceStartUp();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(kvTraceEnabled, 0);
    unsetenv("KVXTRACEFLAGS");
}

}  // namespace
