// Message framework without a catalogue: definitions and severities are
// built in the test, so formatting, severity lookup, dispatch and the
// context reports are checked against known inputs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvmsg.h"
#include "message_recorder.h"

namespace {

std::unique_ptr<CMessageDefinition> definition(const char* pattern,
                                               std::vector<CMessageDetail> details = {}) {
    auto def = std::make_unique<CMessageDefinition>();
    def->code = 9999;
    std::strcpy(def->message_class, "TS");
    std::strcpy(def->number, "001");
    def->pattern = icu::UnicodeString(pattern);
    def->details = std::move(details);
    return def;
}

CMessageDetail value(uint32_t kind, uint32_t width = 0) {
    CMessageDetail d;
    d.name = "value";
    d.stored_kind = kind;
    d.kind = kind;
    d.width = width;
    return d;
}

CMessageDetail context_item(uint32_t id, uint32_t kind) {
    CMessageDetail d;
    d.from_context = true;
    d.item = id;
    d.stored_kind = kind;
    d.kind = kind;
    return d;
}

CSourceContext* site() { return new CSourceContext("kvmsg.test", "kvmsg_test.cpp 1.0", "TestFunction", 42); }

std::string format(CMessageFactory& f, const CMessageDefinition* def,
                   std::initializer_list<kvMsgArg> args) {
    std::unique_ptr<CMessage> m(f.BuildMessage(def, site(), std::span<const kvMsgArg>(args.begin(), args.size())));
    const char* text = m->Text();
    return text ? text : "<null>";
}

struct FormatCase {
    const char* pattern;
    uint32_t kind;
    uint32_t width;
    int64_t number;
    const char* expected;
};

TEST(MessageFormatting, NumbersHexadecimalWidthsAndBooleans) {
    const FormatCase cases[] = {
        {"{0}", 1, 1, 0x1234, "34"},
        {"{0}", 1, 2, 0x12345, "2345"},
        {"{0}", 2, 3, 0xABCDEF, "00ABCDEF"},
        {"{0}", 1, 3, -5, "00000000"},  // negative converts to 0
        {"{0}", 3, 4, 1, "0000000000000001"},
        {"{0}", 1, 5, -1, "FFFFFFFF"},  // as stored, not converted
        {"{0}", 1, 9, 7, "<Unknown>"},
        {"{0,number,#}", 1, 0, -42, "-42"},
        {"{0,number,#}", 2, 0, 4000000000LL, "4000000000"},
        {"{0,number,#}", 5, 0, 7, "1"},
        {"{0,number,#}", 5, 0, 0, "0"},
        {"{0,number,#}", 3, 0, -9000000000LL, "-9000000000"},
    };
    for (const FormatCase& c : cases) {
        CMessageFactory f;
        const CMessageDefinition* def = f.AddDefinition(definition(c.pattern, {value(c.kind, c.width)}));
        EXPECT_EQ(format(f, def, {c.number}), c.expected) << c.pattern << " kind " << c.kind << " width " << c.width;
    }
}

TEST(MessageFormatting, TextsTimestampsAndBadPatterns) {
    CMessageFactory f;
    const CMessageDefinition* text = f.AddDefinition(definition("Cannot open {0}", {value(0)}));
    EXPECT_EQ(format(f, text, {"in.cpy"}), "Cannot open in.cpy");
    EXPECT_EQ(format(f, text, {12}), "Cannot open 12");
    EXPECT_EQ(format(f, text, {}), "Cannot open ");  // missing value: empty text

    // 1,000,000,000 s and 500,000 us are 1,000,000,000,500 ms (TZ=UTC).
    auto stamp = definition("{0,date,yyyy-MM-dd HH:mm:ss.SSS}", {value(6)});
    stamp->code = 2;
    const CMessageDefinition* ts = f.AddDefinition(std::move(stamp));
    int64_t packed = (int64_t{500000} << 32) | 1000000000;
    EXPECT_EQ(format(f, ts, {packed}), "2001-09-09 01:46:40.500");

    auto bad = definition("broken {0", {value(0)});
    bad->code = 3;
    EXPECT_EQ(format(f, f.AddDefinition(std::move(bad)), {"x"}), "");

    auto none = definition("no arguments");
    none->code = 4;
    EXPECT_EQ(format(f, f.AddDefinition(std::move(none)), {"ignored", 5}), "no arguments");
}

TEST(MessageFormatting, AbsentContextItemRaises1425AndShowsMissing) {
    MessageRecorder recorder;
    CMessageFactory f;
    const CMessageDefinition* def = f.AddDefinition(definition(
        "{0} / {1} / {2,number,#}",
        {value(0), context_item(ErrSQLErrorCode, 0), context_item(ErrSQLErrorText, 1)}));
    EXPECT_EQ(format(f, def, {"first"}), "first / <Missing> / 0");
    ASSERT_EQ(recorder.codes(), (std::vector<uint32_t>{1425, 1425}));
    auto m = recorder.messages();
    EXPECT_EQ(m[0].args, (std::vector<std::string>{"2", "ErrSQLErrorCode", "kvmsg_test.cpp 1.0", "42"}));
    EXPECT_EQ(m[1].args[0], "3");
    EXPECT_EQ(m[0].module, "kvmsg");
    EXPECT_EQ(m[0].function, "CMessageFactory::CreateMessage");
}

TEST(MessageFormatting, ContextItemsReachGrandchildren) {
    CMessageFactory f;
    const CMessageDefinition* def = f.AddDefinition(definition(
        "{0} {1} {2,number,#}", {context_item(BuildApplication, 0), context_item(SourceFunction, 0),
                                 context_item(SourceLine, 2)}));
    EXPECT_EQ(format(f, def, {}), "tabcopy TestFunction 42");
}

// ---- severities ----

TEST(Severities, CodeMappingOverClassDefaultAndFirstCodeAsDefault) {
    CMessageFactory f;
    f.AddSeverity(std::make_unique<CMessageSeverity>("Error"));
    f.AddSeverity(std::make_unique<CMessageSeverity>("Warning"));
    EXPECT_TRUE(f.MapSeverity("AB", nullptr, "Error"));
    EXPECT_TRUE(f.MapSeverity("AB", "016", "Warning"));
    EXPECT_FALSE(f.MapSeverity("AB", "017", "Unknown"));
    EXPECT_FALSE(f.MapSeverity("AB", "018", "error"));  // names are case-sensitive
    // A class named only by code entries takes its first code's severity.
    EXPECT_TRUE(f.MapSeverity("CD", "100", "Warning"));
    EXPECT_TRUE(f.MapSeverity("CD", "101", "Error"));

    auto name = [&](const char* c, const char* n) {
        const CMessageSeverity* s = f.LookupSeverity(c, n);
        return s ? s->name() : std::string("<none>");
    };
    EXPECT_EQ(name("AB", "016"), "Warning");
    EXPECT_EQ(name("AB", "001"), "Error");
    EXPECT_EQ(name("AB", "017"), "Error");
    EXPECT_EQ(name("CD", "101"), "Error");
    EXPECT_EQ(name("CD", "999"), "Warning");
    EXPECT_EQ(name("EF", "001"), "<none>");
}

TEST(Severities, ActionNamesAreExact) {
    struct Case {
        const char* name;
        bool known;
        int32_t kind;
    } cases[] = {
        {"Report", true, 4}, {"ReportSourceContext", true, 4}, {"ReportAllContext", true, 4},
        {"Log", true, 4}, {"Pause", true, 2}, {"Debug", true, 2}, {"End", true, 1},
        {"Core", true, 4}, {"Bundle", true, 4}, {"KVInfo", true, 4}, {"KVWarn", true, 4},
        {"KVFatalError", true, 4}, {"KVFatalErrorAbend", true, 1},
        {"report", false, 4}, {"End ", false, 4}, {"", false, 4},
    };
    for (const Case& c : cases) {
        SeverityAction a;
        EXPECT_EQ(a.Parse(c.name), c.known) << c.name;
        EXPECT_EQ(a.kind, c.kind) << c.name;
        EXPECT_EQ(a.handler != nullptr, c.known) << c.name;
    }
}

struct Dispatch {
    CMessageFactory factory;
    CMessageSeverity* severity = nullptr;
    const CMessageDefinition* def = nullptr;

    explicit Dispatch(std::initializer_list<const char*> actions) {
        severity = factory.AddSeverity(std::make_unique<CMessageSeverity>("S"));
        for (const char* name : actions) {
            SeverityAction a;
            a.Parse(name);
            severity->actions().push_back(a);
        }
        auto d = definition("disk {0} is full", {value(0)});
        d->severity = severity;
        def = factory.AddDefinition(std::move(d));
    }
    bool run(const char* arg) {
        std::unique_ptr<CMessage> m(factory.BuildMessage(def, site(), std::span<const kvMsgArg>(
                                                                          std::vector<kvMsgArg>{arg})));
        return RunSeverityActions(*m);
    }
};

TEST(Dispatching, RunsEveryActionInOrderAndCombinesResults) {
    Dispatch reportLog({"Report", "Log", "Report"});
    testing::internal::CaptureStdout();
    bool result = reportLog.run("D1");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "TS-001: disk D1 is full\nTS-001: disk D1 is full\n");
    EXPECT_FALSE(result);

    Dispatch unknown({"report", "Report"});
    testing::internal::CaptureStdout();
    EXPECT_TRUE(unknown.run("D2"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "TS-001: disk D2 is full\n");

    Dispatch empty({});
    testing::internal::CaptureStdout();
    EXPECT_TRUE(empty.run("D3"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(Dispatching, MessageWithoutSeverityRunsNothing) {
    CMessageFactory f;
    const CMessageDefinition* def = f.AddDefinition(definition("x"));
    std::unique_ptr<CMessage> m(f.BuildMessage(def, site(), {}));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(RunSeverityActions(*m));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(DispatchingDeathTest, EndStopsWithStatus12BeforeLaterActions) {
    EXPECT_EXIT(
        {
            Dispatch d({"Report", "End", "KVFatalErrorAbend"});
            d.run("D4");
        },
        testing::ExitedWithCode(12), "");
}

TEST(Dispatching, TerminatingSeveritiesCaptureTheThread) {
    Dispatch ends({"Report", "End"});
    std::unique_ptr<CMessage> m(ends.factory.BuildMessage(ends.def, site(), {}));
    CContextItem* trace = m->context().FindItem(ThreadBacktrace);
    ASSERT_NE(trace, nullptr);
    ASSERT_NE(trace->array(), nullptr);
    EXPECT_FALSE(trace->array()->empty());

    Dispatch plain({"Report"});
    std::unique_ptr<CMessage> p(plain.factory.BuildMessage(plain.def, site(), {}));
    EXPECT_EQ(p->context().FindItem(ThreadBacktrace), nullptr);
}

TEST(Dispatching, EventActionsEchoAndLog) {
    std::string log = testing::TempDir() + "kvmsg_event.log";
    std::remove(log.c_str());
    setenv("KVXERRLOG", log.c_str(), 1);
    kvErrorLogReset();
    Dispatch warn({"KVWarn"});
    testing::internal::CaptureStdout();
    EXPECT_TRUE(warn.run("D5"));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("KVX WARNING  TS-001  disk D5 is full.\n"), std::string::npos) << out;
    kvErrorLogReset();
    unsetenv("KVXERRLOG");
    FILE* in = std::fopen(log.c_str(), "r");
    ASSERT_NE(in, nullptr);
    char line[512] = {};
    ASSERT_NE(std::fgets(line, sizeof line, in), nullptr);
    std::fclose(in);
    EXPECT_NE(std::string(line).find("KVX WARNING  TS-001  Brantix Kivex SQL DDL Generation Utility for COBOL"),
              std::string::npos) << line;
}

// ---- context reports ----

TEST(ContextReports, AllContextListsProcessFactsWithPlausibleValues) {
    Dispatch all({"ReportAllContext"});
    testing::internal::CaptureStdout();
    all.run("D6");
    std::string out = testing::internal::GetCapturedStdout();
    auto has = [&](const std::string& text) {
        EXPECT_NE(out.find(text), std::string::npos) << "missing: " << text << "\n" << out;
    };
    has("  ProcessID               : uint32_t    : [" + std::to_string(getpid()) + "]\n");
    has("  ProcessWorkingDir       : string      : [" + std::filesystem::current_path().string() + "]\n");
    has("  BuildApplication        : string      : [tabcopy]\n");
    has("  SourceFunction          : string      : [TestFunction]\n");
    has("  SourceLine              : uint32_t    : [42]\n");
    has("  AppOperatingNormally    : Boolean     : [true]\n");
    has("  MessageDetails          : array       : [1] elements\n");
    has("                          : string      : [D6]\n");
    has("  ProcessOSVersion        : string      : [");
    has("kvlog_tests]\n");  // ProcessExecutable
    // The application's own items show twice: as a child of the message
    // context and on their own.
    size_t first = out.find("AppStartTime");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(out.find("AppStartTime", first + 1), std::string::npos);
}

TEST(ContextReports, SourceContextReportPrintsSourceThenBacktrace) {
    Dispatch source({"ReportSourceContext", "End"});
    std::unique_ptr<CMessage> m(source.factory.BuildMessage(source.def, site(), {}));
    testing::internal::CaptureStdout();
    const SeverityAction& report = source.severity->actions()[0];
    report.handler(*m);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("\nSource Context :\n"
                        "  SourceModule            : [kvmsg.test]\n"
                        "  SourceID                : [kvmsg_test.cpp 1.0]\n"
                        "  SourceFunction          : [TestFunction]\n"
                        "  SourceLine              : [42]\n"
                        "  ThreadBacktrace         : [",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("kvlog_tests("), std::string::npos) << out;
}

TEST(ContextReports, ItemFormats) {
    struct Case {
        CDataItem item;
        const char* expected;
    } cases[] = {
        {CDataItem::Int32(-3), "  n                       : int32_t     : [-3]\n"},
        {CDataItem::Int64(-9000000000LL), "  n                       : int64_t     : [-9000000000]\n"},
        {CDataItem::UInt64(18446744073709551615ULL), "  n                       : uint64_t    : [18446744073709551615]\n"},
        {CDataItem::Boolean(false), "  n                       : Boolean     : [false]\n"},
        {CDataItem::Timestamp(1000, 5), "  n                       : DateTime    : [1000.000005000]\n"},
        {CDataItem::Timestamp(1200000000, 0),
         "  n                       : DateTime    : [1200000000.000000000] [Thu Jan 10 21:20:00 2008]\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        kvPrintContextItem(c.item, "n", true);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
    }
    std::vector<CDataItem> none;
    testing::internal::CaptureStdout();
    kvPrintContextItem(CDataItem::Array(&none), "list", false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  list                    : [0] elements\n");
}

}  // namespace
