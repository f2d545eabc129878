// Keeps the user guide and the man page honest. Every fenced block of the
// guide names, on the line before it, the test fixture it was copied from:
//
//   Fixture: `tests/e2e/cases/<case>/in/run.par`
//
// and must appear in that file as a run of consecutive lines. A block that
// is a syntax summary rather than an example is marked "<!-- syntax -->"
// instead. The fixtures are the files the end-to-end cases run and compare,
// so an example that no longer matches what tabcopy does fails here.
//
// In a fixture, "{{*}}" (and "{{WORKDIR}}") matches any text within a line
// and a line "{{...}}" any number of lines, as in the end-to-end cases. A
// block copied from a case.txt shows the command to type instead:
// "$ [NAME=VALUE ...] tabcopy ARGS" stands for the lines "env: NAME=VALUE"
// and "args: ARGS" of that case. The man page's example blocks (.EX to
// .EE) may carry the same marker as a roff comment: '.\" Fixture: path'.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = fs::path(TABCOPY_TEST_SOURCE_DIR).parent_path();

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// One fenced block of a guide file and the fixture it names.
struct example_block {
    fs::path guide;
    size_t line = 0;  // of the opening fence, from 1
    std::string fixture;  // empty for a syntax block
    bool syntax = false;
    bool marked = false;
    std::vector<std::string> lines;
};

std::string where(const example_block& b) {
    return b.guide.filename().string() + ":" + std::to_string(b.line);
}

// The fixture path of a marker line, or "" when the line is no marker.
std::string fixture_of(const std::string& line) {
    const std::string prefix = "Fixture: `";
    if (!starts_with(line, prefix)) return "";
    const size_t end = line.find('`', prefix.size());
    if (end == std::string::npos) return "";
    return line.substr(prefix.size(), end - prefix.size());
}

std::vector<example_block> blocks_of(const fs::path& guide) {
    std::vector<example_block> blocks;
    const std::vector<std::string> lines = lines_of(read_text(guide));
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!starts_with(lines[i], "```")) continue;
        example_block b;
        b.guide = guide;
        b.line = i + 1;
        // The marker is the nearest non-blank line above the fence.
        for (size_t k = i; k-- > 0;) {
            if (lines[k].empty()) continue;
            b.syntax = lines[k] == "<!-- syntax -->";
            b.fixture = fixture_of(lines[k]);
            b.marked = b.syntax || !b.fixture.empty();
            break;
        }
        size_t j = i + 1;
        for (; j < lines.size() && !starts_with(lines[j], "```"); ++j) b.lines.push_back(lines[j]);
        i = j;
        blocks.push_back(b);
    }
    return blocks;
}

std::vector<fs::path> guide_files() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kRoot / "docs")) {
        const std::string name = entry.path().filename().string();
        if ((starts_with(name, "guide") || name == "copybook-format.md" || name == "layout.md") &&
            entry.path().extension() == ".md")
            files.push_back(entry.path());
    }
    if (fs::is_directory(kRoot / "docs" / "guide"))
        for (const auto& entry : fs::directory_iterator(kRoot / "docs" / "guide"))
            if (entry.path().extension() == ".md") files.push_back(entry.path());
    return files;
}

std::vector<example_block> all_blocks() {
    std::vector<example_block> blocks;
    for (const fs::path& guide : guide_files()) {
        std::vector<example_block> more = blocks_of(guide);
        blocks.insert(blocks.end(), more.begin(), more.end());
    }
    return blocks;
}

// A fixture line against a guide line: "{{*}}" matches any run of
// characters within the line.
bool line_matches(std::string pattern, const std::string& line) {
    for (size_t at; (at = pattern.find("{{WORKDIR}}")) != std::string::npos;)
        pattern.replace(at, 11, "{{*}}");
    const std::string star = "{{*}}";
    std::vector<std::string> parts;
    size_t start = 0, at;
    while ((at = pattern.find(star, start)) != std::string::npos) {
        parts.push_back(pattern.substr(start, at - start));
        start = at + star.size();
    }
    parts.push_back(pattern.substr(start));
    if (parts.size() == 1) return pattern == line;
    if (!starts_with(line, parts[0])) return false;
    size_t pos = parts[0].size();
    for (size_t i = 1; i + 1 < parts.size(); ++i) {
        const size_t found = line.find(parts[i], pos);
        if (found == std::string::npos) return false;
        pos = found + parts[i].size();
    }
    const std::string& last = parts.back();
    return line.size() >= pos + last.size() &&
           line.compare(line.size() - last.size(), last.size(), last) == 0;
}

// Whether `block` appears as consecutive lines somewhere in `fixture`.
bool appears_in(const std::vector<std::string>& fixture, const std::vector<std::string>& block) {
    const size_t m = fixture.size(), n = block.size();
    // ok[i][j]: fixture lines from i match block lines from j on, the
    // block being allowed to end anywhere in the fixture.
    std::vector<std::vector<char>> ok(m + 1, std::vector<char>(n + 1, 0));
    for (size_t i = 0; i <= m; ++i) ok[i][n] = 1;
    for (size_t i = m; i-- > 0;) {
        for (size_t j = n; j-- > 0;) {
            if (fixture[i] == "{{...}}")
                ok[i][j] = ok[i + 1][j] || ok[i][j + 1];
            else
                ok[i][j] = line_matches(fixture[i], block[j]) && ok[i + 1][j + 1];
        }
    }
    for (size_t i = 0; i < m; ++i)
        if (fixture[i] != "{{...}}" && ok[i][0]) return true;
    return false;
}

std::vector<std::string> split_blanks(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// The case.txt lines a "$ ... tabcopy ..." line stands for; empty when the
// line is not such a command.
std::vector<std::string> case_lines_of_command(const std::string& line) {
    std::vector<std::string> words = split_blanks(starts_with(line, "$ ") ? line.substr(2) : line);
    std::vector<std::string> wanted;
    size_t i = 0;
    for (; i < words.size() && words[i].find('=') != std::string::npos; ++i)
        wanted.push_back("env: " + words[i]);
    if (i == words.size() || words[i] != "tabcopy") return {};
    std::string args = "args:";
    for (++i; i < words.size(); ++i) args += " " + words[i];
    wanted.push_back(args);
    return wanted;
}

std::string trimmed(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

// A case.txt block: every command line must be that of the case.
std::string check_case_block(const std::vector<std::string>& fixture, const example_block& b) {
    std::set<std::string> have;
    for (const std::string& line : fixture) have.insert(trimmed(line));
    for (const std::string& line : b.lines) {
        std::vector<std::string> wanted = case_lines_of_command(line);
        if (wanted.empty()) wanted.push_back(line);
        for (const std::string& w : wanted)
            if (!have.count(trimmed(w))) return "\"" + w + "\" is not a line of " + b.fixture;
    }
    return "";
}

const std::string kCases = "tests/e2e/cases/";

// The end-to-end case a fixture path belongs to, or "".
std::string case_name_of(const std::string& fixture) {
    if (!starts_with(fixture, kCases)) return "";
    const size_t end = fixture.find('/', kCases.size());
    return end == std::string::npos ? "" : fixture.substr(kCases.size(), end - kCases.size());
}

// "" when the block is fine, else what is wrong with it.
std::string check_block(const example_block& b) {
    if (!b.marked) return "has no \"Fixture: `path`\" line or <!-- syntax --> mark before it";
    if (b.syntax) return "";
    if (b.lines.empty()) return "is empty";
    const fs::path rel(b.fixture);
    if (rel.is_absolute() || b.fixture.find("..") != std::string::npos)
        return "names " + b.fixture + ", which is not a path inside the project";
    if (!starts_with(b.fixture, kCases) && !starts_with(b.fixture, "examples/"))
        return "names " + b.fixture + ", which is neither an end-to-end case file nor an example";
    if (!fs::is_regular_file(kRoot / rel)) return "names " + b.fixture + ", which does not exist";
    const std::string name = case_name_of(b.fixture);
    if (starts_with(b.fixture, kCases) &&
        (name.empty() || !fs::is_regular_file(kRoot / kCases / name / "case.txt")))
        return "names " + b.fixture + ", which belongs to no end-to-end case";
    const std::vector<std::string> fixture = lines_of(read_text(kRoot / rel));
    if (rel.filename() == "case.txt") return check_case_block(fixture, b);
    if (!appears_in(fixture, b.lines)) return "does not appear in " + b.fixture;
    return "";
}

TEST(GuideExamples, TheGuideExists) {
    EXPECT_FALSE(guide_files().empty()) << "no docs/guide*.md";
    EXPECT_FALSE(all_blocks().empty());
}

TEST(GuideExamples, EveryBlockIsCopiedFromItsFixture) {
    for (const example_block& b : all_blocks()) {
        const std::string problem = check_block(b);
        EXPECT_EQ(problem, "") << "block at " << where(b) << " " << problem;
    }
}

TEST(GuideExamples, EveryGuideCaseIsQuoted) {
    std::set<std::string> quoted;
    for (const example_block& b : all_blocks()) quoted.insert(case_name_of(b.fixture));
    for (const auto& entry : fs::directory_iterator(kRoot / kCases)) {
        const std::string name = entry.path().filename().string();
        if (!starts_with(name, "guide_")) continue;
        EXPECT_TRUE(quoted.count(name)) << name << " was made for the guide but is not quoted";
    }
}

// Links to other documents must lead somewhere once the docs are installed
// together, so only files of docs/ (and anchors) are allowed.
TEST(GuideExamples, LinksNameFilesOfTheDocs) {
    for (const fs::path& guide : guide_files()) {
        const std::string text = read_text(guide);
        for (size_t at = 0; (at = text.find("](", at)) != std::string::npos;) {
            at += 2;
            const size_t end = text.find(')', at);
            ASSERT_NE(end, std::string::npos);
            std::string target = text.substr(at, end - at);
            if (starts_with(target, "http://") || starts_with(target, "https://")) continue;
            target = target.substr(0, target.find('#'));
            if (target.empty()) continue;
            EXPECT_TRUE(fs::is_regular_file(guide.parent_path() / target))
                << guide.filename() << " links to " << target << ", which does not exist";
            EXPECT_EQ(target.find('/'), std::string::npos)
                << guide.filename() << " links to " << target << " outside its directory";
        }
    }
}

// The checker itself: a fixture's wildcards, and a block that is not there.
TEST(GuideExamples, MatchingRules) {
    const std::vector<std::string> fixture = {"a", "-- created {{*}}", "{{...}}", "z"};
    EXPECT_TRUE(appears_in(fixture, {"a", "-- created 2026-01-01"}));
    EXPECT_TRUE(appears_in(fixture, {"-- created x", "m", "n", "z"}));
    EXPECT_TRUE(appears_in(fixture, {"-- created x", "z"}));
    EXPECT_FALSE(appears_in(fixture, {"a", "z"}));
    EXPECT_FALSE(appears_in(fixture, {"b"}));
    EXPECT_FALSE(appears_in(fixture, {"a", "-- made x"}));
    EXPECT_TRUE(line_matches("{{WORKDIR}}/x", "/tmp/w/x"));
    EXPECT_FALSE(line_matches("abc ", "abc"));  // trailing blanks count
    EXPECT_EQ(case_lines_of_command("$ A=1 tabcopy PARAMFILE p"),
              (std::vector<std::string>{"env: A=1", "args: PARAMFILE p"}));
    EXPECT_EQ(case_lines_of_command("tabcopy HELP"), (std::vector<std::string>{"args: HELP"}));
    EXPECT_TRUE(case_lines_of_command("$ cp a b").empty());
}

int run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ManPage, FormatsWithoutWarnings) {
    const fs::path page = kRoot / "docs" / "tabcopy.1";
    ASSERT_TRUE(fs::is_regular_file(page));
    std::string output;
    if (run("command -v groff >/dev/null 2>&1", output) != 0) GTEST_SKIP() << "groff is not installed";
    const int status = run("groff -man -ww -z '" + page.string() + "' 2>&1", output);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "") << "groff warnings for docs/tabcopy.1";
}

// Roff text as it reads on the page, for the escapes the page uses.
std::string unescape_roff(std::string line) {
    const std::pair<const char*, const char*> escapes[] = {{"\\-", "-"}, {"\\&", ""}, {"\\e", "\\"}};
    for (const auto& [from, to] : escapes)
        for (size_t at = 0; (at = line.find(from, at)) != std::string::npos; at += std::strlen(to))
            line.replace(at, std::strlen(from), to);
    return line;
}

// The man page's example blocks that name a fixture, checked like the
// guide's.
TEST(ManPage, MarkedExamplesAreCopiedFromTheirFixtures) {
    const std::vector<std::string> lines = lines_of(read_text(kRoot / "docs" / "tabcopy.1"));
    int marked = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != ".EX") continue;
        example_block b;
        b.guide = "tabcopy.1";
        b.line = i + 1;
        for (size_t k = i; k-- > 0 && (lines[k] == ".RS" || starts_with(lines[k], ".\\\" "));) {
            const std::string prefix = ".\\\" Fixture: ";
            if (starts_with(lines[k], prefix)) b.fixture = lines[k].substr(prefix.size());
        }
        for (size_t j = i + 1; j < lines.size() && lines[j] != ".EE"; ++j)
            b.lines.push_back(unescape_roff(lines[j]));
        if (b.fixture.empty()) continue;
        b.marked = true;
        ++marked;
        const std::string problem = check_block(b);
        EXPECT_EQ(problem, "") << "block at " << where(b) << " " << problem;
    }
    EXPECT_GT(marked, 0);
}

// The page's sections and the exit statuses a script may test for.
TEST(ManPage, HasTheSectionsAndStatuses) {
    const std::string page = read_text(kRoot / "docs" / "tabcopy.1");
    for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS",
                                ".SH FILES", ".SH ENVIRONMENT", ".SH \"EXIT STATUS\"",
                                ".SH EXAMPLES", ".SH \"SEE ALSO\""})
        EXPECT_NE(page.find(section), std::string::npos) << section;
    const size_t exit_at = page.find(".SH \"EXIT STATUS\"");
    ASSERT_NE(exit_at, std::string::npos);
    const size_t next = page.find(".SH", exit_at + 1);
    const std::string statuses = page.substr(exit_at, next - exit_at);
    for (const char* status : {"0", "12", "1", "100", "101", "102", "106"})
        EXPECT_NE(statuses.find(std::string(".B ") + status + "\n"), std::string::npos)
            << "exit status " << status;
}

}  // namespace
