// Tests of the built message catalogue tabcopy.dat, loaded the way the
// program loads it (application data for package "kvMessage", bundle for the
// default locale). They hold the catalogue to what the raising sites pass:
// one entry per code with the argument kinds of the call, a severity for
// every code, and patterns that show every argument.
#include <gtest/gtest.h>

#include <unicode/fmtable.h>
#include <unicode/messagepattern.h>
#include <unicode/msgfmt.h>
#include <unicode/resbund.h>
#include <unicode/udata.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* kCatalogueUuid = "131b4523-1ae4-426a-a398-8419dadceeca";

constexpr int T = 0;    // text
constexpr int I32 = 1;  // int32
constexpr int I64 = 3;  // int64

constexpr const char* kError = "Error";
constexpr const char* kWarning = "Warning";
constexpr const char* kInfo = "Informational";
constexpr const char* kAbend = "Abend";

struct ExpectedCode {
    uint32_t code;
    const char* severity;
    std::vector<int> kinds;  // one per argument, in call order
};

// Every code the program raises, with the arguments its raising sites pass.
const std::vector<ExpectedCode> kCodes = {
    {12, kError, {T}},          {13, kError, {T}},          {14, kError, {T}},
    {16, kWarning, {T}},        {30, kError, {T}},          {31, kError, {}},
    {36, kError, {}},           {37, kError, {T, T}},       {200, kError, {}},
    {206, kError, {T}},         {208, kError, {T}},         {209, kError, {T}},
    {213, kError, {T}},         {266, kError, {T}},         {267, kError, {T}},
    {268, kError, {}},          {269, kError, {}},          {270, kError, {}},
    {271, kError, {}},          {272, kError, {T}},         {273, kError, {T, T}},
    {274, kError, {T, I32, I32}}, {275, kError, {}},        {276, kError, {}},
    {277, kError, {T}},         {278, kError, {}},          {279, kError, {}},
    {280, kWarning, {T}},       {281, kError, {}},          {282, kError, {}},
    {283, kError, {T}},         {284, kError, {}},          {285, kError, {T, T}},
    {286, kError, {}},          {287, kError, {}},          {288, kError, {T, I32}},
    {289, kError, {I32}},       {290, kError, {T, I32}},    {362, kError, {T, T}},
    {385, kWarning, {T}},       {386, kWarning, {T}},       {387, kWarning, {T}},
    {394, kError, {}},          {396, kError, {}},          {411, kError, {}},
    {1077, kWarning, {I32}},    {1085, kInfo, {}},          {1086, kInfo, {}},
    {1087, kInfo, {}},          {1088, kAbend, {T, I32}},   {1091, kError, {T}},
    {1092, kError, {T, I32}},   {1093, kError, {T, T}},     {1094, kAbend, {}},
    {1095, kAbend, {T}},        {1158, kWarning, {I64}},    {1242, kError, {T}},
    {1243, kError, {}},         {1244, kError, {T}},        {1245, kError, {T}},
    {1246, kError, {T}},        {1247, kError, {T, T}},     {1248, kWarning, {T, I32, T}},
    {1249, kError, {}},
    {1250, kError, {T, T, I32}},        {1251, kWarning, {T}},      {1252, kWarning, {T, T, I32}},
    {1253, kError, {T, T, I32}},        {1254, kWarning, {T}},      {1255, kError, {T, T, T, T}},
    {1256, kError, {T, T, T, I32}},     {1257, kError, {T}},        {1258, kError, {T, I64, I32}},  {1259, kWarning, {T, T, T, T, I32, I32}},
    {1260, kError, {T, T}},
    {1261, kError, {T, T}},     {1262, kError, {T, I64, I64}}, {1263, kError, {T, T, I64, I64}},
    {1264, kError, {T, I64, I64, I64}}, {1265, kError, {T, T, T}},
    {1291, kError, {T, T, I32}},  {1292, kError, {T}},     {1293, kError, {T, T}},   {1294, kError, {T}},
    {1295, kWarning, {T, T, T, T}}, {1296, kWarning, {T, T}},
    {1301, kError, {T, T}},     {1302, kError, {T, T, T}},  {1303, kError, {T, I64, I64, T}},
    {1304, kError, {T, I64, I64, T}},  {1305, kInfo, {T, I64, T, I64, T, I64}},
    {1306, kWarning, {T, I64, T, T}},  {1307, kWarning, {T, I64, T, I64}},  {1308, kWarning, {}},
    {1309, kError, {}},         {1310, kWarning, {T, I64, T}},  {1311, kInfo, {T, I64, T, T}},
    {1312, kError, {}},         {1313, kError, {T, T}},   {1314, kWarning, {T, I64, T, T, T}},
    {1297, kError, {T}},        {1298, kError, {T, T}},     {1299, kError, {T, T, I64}},
    {1300, kWarning, {T, T}},
    {1425, kWarning, {I32, T, T, I32}},
};

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// The catalogue as the program opens it. The bytes must outlive the bundle.
class Catalogue {
public:
    static Catalogue& get() {
        static Catalogue catalogue;
        return catalogue;
    }
    bool ok() const { return ok_; }
    const std::string& problem() const { return problem_; }
    icu::ResourceBundle& bundle() { return *bundle_; }

private:
    Catalogue() {
        const std::string path = std::string(TABCOPY_BINARY_DIR) + "/bin/tabcopy.dat";
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (bytes_.empty()) {
            problem_ = "cannot read " + path;
            return;
        }
        UErrorCode status = U_ZERO_ERROR;
        udata_setAppData("kvMessage", bytes_.data(), &status);
        if (U_FAILURE(status)) {
            problem_ = std::string("udata_setAppData: ") + u_errorName(status);
            return;
        }
        bundle_ = std::make_unique<icu::ResourceBundle>("kvMessage", icu::Locale::getDefault(),
                                                        status);
        if (U_FAILURE(status)) {
            problem_ = std::string("ResourceBundle: ") + u_errorName(status);
            return;
        }
        ok_ = true;
    }

    std::vector<char> bytes_;
    std::unique_ptr<icu::ResourceBundle> bundle_;
    bool ok_ = false;
    std::string problem_;
};

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Catalogue::get().ok()) << Catalogue::get().problem();
    }
    icu::ResourceBundle& bundle() { return Catalogue::get().bundle(); }

    icu::ResourceBundle entry(uint32_t code) {
        UErrorCode status = U_ZERO_ERROR;
        icu::ResourceBundle result = bundle().get(std::to_string(code).c_str(), status);
        EXPECT_FALSE(U_FAILURE(status)) << "no entry for code " << code;
        return result;
    }
    std::string text_at(const icu::ResourceBundle& res, int32_t index) {
        UErrorCode status = U_ZERO_ERROR;
        icu::ResourceBundle item = res.get(index, status);
        if (U_FAILURE(status) || item.getType() != URES_STRING) return "<not a string>";
        return utf8(item.getString(status));
    }
    std::string identifier(uint32_t code) {
        icu::ResourceBundle e = entry(code);
        return text_at(e, 0) + "-" + text_at(e, 1);
    }
    icu::UnicodeString pattern(uint32_t code) {
        UErrorCode status = U_ZERO_ERROR;
        return entry(code).get(2, status).getString(status);
    }
    // key -> string value of a table of strings, in bundle order.
    std::vector<std::pair<std::string, std::string>> string_table(const char* key) {
        UErrorCode status = U_ZERO_ERROR;
        icu::ResourceBundle table = bundle().get(key, status);
        EXPECT_FALSE(U_FAILURE(status)) << key;
        std::vector<std::pair<std::string, std::string>> rows;
        for (int32_t i = 0; i < table.getSize(); ++i) {
            icu::ResourceBundle row = table.get(i, status);
            EXPECT_EQ(row.getType(), URES_STRING) << key << "/" << row.getKey();
            rows.emplace_back(row.getKey(), utf8(row.getString(status)));
        }
        return rows;
    }
};

TEST_F(CatalogueTest, CarriesTheUuidTheProgramExpects) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString uuid = bundle().get("UUID", status).getString(status);
    ASSERT_FALSE(U_FAILURE(status));
    EXPECT_EQ(utf8(uuid), kCatalogueUuid);
}

TEST_F(CatalogueTest, EveryCodeHasAnEntryWithTheArgumentsItsCallersPass) {
    for (const ExpectedCode& expected : kCodes) {
        SCOPED_TRACE("code " + std::to_string(expected.code));
        UErrorCode status = U_ZERO_ERROR;
        icu::ResourceBundle e = entry(expected.code);
        ASSERT_EQ(e.getType(), URES_ARRAY);
        ASSERT_EQ(e.getSize(), expected.kinds.empty() ? 5 : 6);
        for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(e.get(i, status).getType(), URES_STRING);
        EXPECT_EQ(e.get(3, status).getType(), URES_INT);
        EXPECT_EQ(e.get(4, status).getType(), URES_INT);
        EXPECT_EQ(e.get(4, status).getInt(status), 0) << "event number";
        if (expected.kinds.empty()) continue;

        icu::ResourceBundle details = e.get(5, status);
        ASSERT_EQ(details.getType(), URES_ARRAY);
        ASSERT_EQ(details.getSize(), static_cast<int32_t>(expected.kinds.size()));
        for (int32_t i = 0; i < details.getSize(); ++i) {
            icu::ResourceBundle d = details.get(i, status);
            ASSERT_EQ(d.getType(), URES_ARRAY) << "descriptor " << i;
            ASSERT_EQ(d.getSize(), 2) << "descriptor " << i << " (a width would show hex)";
            ASSERT_EQ(d.get(0, status).getType(), URES_STRING) << "descriptor " << i;
            EXPECT_FALSE(d.get(0, status).getString(status).isEmpty()) << "descriptor " << i;
            ASSERT_EQ(d.get(1, status).getType(), URES_INT) << "descriptor " << i;
            EXPECT_EQ(d.get(1, status).getInt(status), expected.kinds[i]) << "descriptor " << i;
        }
        EXPECT_FALSE(U_FAILURE(status));
    }
}

TEST_F(CatalogueTest, HoldsNoEntryForACodeNobodyRaises) {
    std::set<std::string> known;
    for (const ExpectedCode& c : kCodes) known.insert(std::to_string(c.code));
    const std::set<std::string> tables = {"UUID", "SeverityActions", "MessageClassSeverity",
                                          "MessageCodeSeverity"};
    UErrorCode status = U_ZERO_ERROR;
    for (int32_t i = 0; i < bundle().getSize(); ++i) {
        std::string key = bundle().get(i, status).getKey();
        EXPECT_TRUE(known.count(key) || tables.count(key)) << "unexpected key " << key;
    }
}

TEST_F(CatalogueTest, IdentifiersAreWellFormedAndUnique) {
    std::map<std::string, uint32_t> seen;
    for (const ExpectedCode& c : kCodes) {
        icu::ResourceBundle e = entry(c.code);
        EXPECT_EQ(text_at(e, 0).size(), 2u) << "class of " << c.code;
        EXPECT_EQ(text_at(e, 1).size(), 3u) << "number of " << c.code;
        auto [it, fresh] = seen.emplace(identifier(c.code), c.code);
        EXPECT_TRUE(fresh) << it->first << " used by " << it->second << " and " << c.code;
    }
}

TEST_F(CatalogueTest, SeverityActionsAreTheFourSeveritiesWithTheirActionsInOrder) {
    // ICU returns table entries in key order, so only the action order
    // inside each severity can be (and is) significant.
    const std::map<std::string, std::vector<std::string>> expected = {
        {kError, {"KVFatalError", "End"}},
        {kWarning, {"KVWarn"}},
        {kInfo, {"KVInfo"}},
        {kAbend, {"KVFatalError", "ReportAllContext", "KVFatalErrorAbend"}},
    };
    UErrorCode status = U_ZERO_ERROR;
    icu::ResourceBundle table = bundle().get("SeverityActions", status);
    ASSERT_FALSE(U_FAILURE(status));
    ASSERT_EQ(table.getType(), URES_TABLE);
    std::map<std::string, std::vector<std::string>> actual;
    for (int32_t i = 0; i < table.getSize(); ++i) {
        icu::ResourceBundle severity = table.get(i, status);
        EXPECT_EQ(severity.getType(), URES_ARRAY) << severity.getKey();
        std::vector<std::string>& actions = actual[severity.getKey()];
        for (int32_t j = 0; j < severity.getSize(); ++j) actions.push_back(text_at(severity, j));
    }
    EXPECT_EQ(actual, expected);
}

TEST_F(CatalogueTest, EveryCodeResolvesToItsOneSeverity) {
    std::set<std::string> severities;
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::ResourceBundle table = bundle().get("SeverityActions", status);
        for (int32_t i = 0; i < table.getSize(); ++i)
            severities.insert(table.get(i, status).getKey());
    }
    // The factory's rule: a class default is the first severity given to the
    // class (class table first, then code table); a code mapping overrides it.
    // Unknown severity names would be ignored silently, so none may appear.
    struct ClassEntry {
        std::string fallback;
        std::map<std::string, std::string> numbers;
    };
    std::map<std::string, ClassEntry> classes;
    for (const auto& [key, value] : string_table("MessageClassSeverity")) {
        EXPECT_EQ(key.size(), 2u) << key;
        EXPECT_TRUE(severities.count(value)) << key << " -> " << value;
        if (!severities.count(value)) continue;
        ClassEntry& entry = classes[key];
        if (entry.fallback.empty()) entry.fallback = value;
    }
    std::set<std::string> identifiers;
    for (const ExpectedCode& c : kCodes) identifiers.insert(identifier(c.code));
    for (const auto& [key, value] : string_table("MessageCodeSeverity")) {
        ASSERT_EQ(key.size(), 5u) << key;
        EXPECT_TRUE(identifiers.count(key.substr(0, 2) + "-" + key.substr(2)))
            << key << " maps no code of the catalogue";
        EXPECT_TRUE(severities.count(value)) << key << " -> " << value;
        if (!severities.count(value)) continue;
        ClassEntry& entry = classes[key.substr(0, 2)];
        if (entry.fallback.empty()) entry.fallback = value;
        entry.numbers[key.substr(2)] = value;
    }
    for (const ExpectedCode& c : kCodes) {
        std::string id = identifier(c.code);
        auto cls = classes.find(id.substr(0, 2));
        ASSERT_NE(cls, classes.end()) << c.code << " (" << id << ") has no severity";
        auto number = cls->second.numbers.find(id.substr(3));
        const std::string& severity =
            number != cls->second.numbers.end() ? number->second : cls->second.fallback;
        EXPECT_EQ(severity, c.severity) << c.code << " (" << id << ")";
    }
}

TEST_F(CatalogueTest, PatternsParseAndUseExactlyTheArgumentPositions) {
    for (const ExpectedCode& c : kCodes) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        icu::UnicodeString text = pattern(c.code);
        UErrorCode status = U_ZERO_ERROR;
        icu::MessageFormat format(text, icu::Locale::getRoot(), status);
        ASSERT_FALSE(U_FAILURE(status)) << u_errorName(status);

        icu::MessagePattern parsed(text, nullptr, status);
        ASSERT_FALSE(U_FAILURE(status));
        EXPECT_FALSE(parsed.hasNamedArguments());
        std::set<int32_t> used;
        for (int32_t i = 0; i < parsed.countParts(); ++i) {
            const icu::MessagePattern::Part& part = parsed.getPart(i);
            if (part.getType() == UMSGPAT_PART_TYPE_ARG_NUMBER) used.insert(part.getValue());
        }
        std::set<int32_t> wanted;
        for (int32_t i = 0; i < static_cast<int32_t>(c.kinds.size()); ++i) wanted.insert(i);
        EXPECT_EQ(used, wanted);
    }
}

// Formats every pattern with MessageFormat and checks that the
// operator sees each argument whole: no quoting swallowed a placeholder, no
// digit grouping split a number, and the text does not end in a period of
// its own (the event writer adds one).
TEST_F(CatalogueTest, FormattedTextsShowEveryArgumentPlainly) {
    for (const ExpectedCode& c : kCodes) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        icu::UnicodeString text = pattern(c.code);
        EXPECT_EQ(text.indexOf(u'\''), -1) << "apostrophe quotes in MessageFormat";

        std::vector<icu::Formattable> args(c.kinds.size());
        std::vector<std::string> shown;
        for (size_t i = 0; i < c.kinds.size(); ++i) {
            if (c.kinds[i] == T) {
                shown.push_back("ARGUMENT-" + std::to_string(i));
                args[i].setString(icu::UnicodeString::fromUTF8(shown.back()));
            } else if (c.kinds[i] == I32) {
                args[i].setLong(-1234567 - static_cast<int32_t>(i));
                shown.push_back(std::to_string(-1234567 - static_cast<int32_t>(i)));
            } else {
                args[i].setInt64(INT64_C(-123456789012345));
                shown.push_back("-123456789012345");
            }
        }
        // A locale that groups digits, whatever the machine running the test.
        UErrorCode status = U_ZERO_ERROR;
        icu::MessageFormat format(text, icu::Locale::getUS(), status);
        icu::UnicodeString result;
        icu::FieldPosition ignore;
        format.format(args.data(), static_cast<int32_t>(args.size()), result, ignore, status);
        ASSERT_FALSE(U_FAILURE(status)) << u_errorName(status);
        std::string out = utf8(result);
        for (const std::string& value : shown) EXPECT_NE(out.find(value), std::string::npos) << out;
        ASSERT_FALSE(out.empty());
        EXPECT_NE(out.back(), '.') << out;
        EXPECT_NE(out.back(), ' ') << out;
    }
}

// The operator documentation must describe the catalogue that is shipped.
TEST_F(CatalogueTest, OperatorDocumentationListsEveryCodeAsTheCatalogueHasIt) {
    std::ifstream in(std::string(TABCOPY_TEST_SOURCE_DIR) + "/../docs/messages.md");
    ASSERT_TRUE(in) << "docs/messages.md";
    std::stringstream doc;
    doc << in.rdbuf();
    for (const ExpectedCode& c : kCodes) {
        std::string row = "| " + std::to_string(c.code) + " | " + identifier(c.code) + " | " +
                          c.severity + " | ";
        EXPECT_NE(doc.str().find(row), std::string::npos) << "no row " << row;
    }
}

}  // namespace
