// e2e_runner: runs tabcopy on one case folder and compares what it did.
//
//   e2e_runner <tabcopy> <case-dir>
//
// A case folder holds:
//   case.txt     "args: ..." (words split at blanks, "double quotes" group),
//                "status: N" (default 0), any number of "env: NAME=VALUE",
//                "unset: NAME", "timeout: SECONDS" (default 30), and any
//                number of "absent: PATH", a file that must not exist
//                after the run (relative to the working directory), and
//                of "fixture: NAME", a file of ../../fixtures that several
//                cases share, copied into the working directory.
//   in/          copied into a new empty working directory before the run.
//   stdin.txt    standard input (default: empty).
//   stdout.txt   expected standard output (not checked when absent).
//   stderr.txt   expected standard error (must be empty when absent).
//   out/         expected files, by path relative to the working directory.
//
// Expected texts are compared line by line. "{{*}}" in a line matches any
// run of characters within that line; a line that is exactly "{{...}}"
// matches any number of lines, none included. "{{WORKDIR}}" stands for the
// working directory's path. The working directory is removed after a pass
// and kept (its path printed) after a failure.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Case {
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::vector<std::string> unset;
    std::vector<std::string> absent;
    std::vector<std::string> fixtures;
    int status = 0;
    int timeout = 30;
};

bool read_file(const fs::path& p, std::string* out) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return true;
}

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, have = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (have) words.push_back(word);
            word.clear();
            have = false;
        } else {
            word += c;
            have = true;
        }
    }
    if (have) words.push_back(word);
    return words;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size())
        s.replace(pos, from.size(), to);
    return s;
}

bool parse_case(const fs::path& file, const std::string& workdir, Case* c) {
    std::string text;
    if (!read_file(file, &text)) return false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = replace_all(line, "{{WORKDIR}}", workdir);
        auto colon = line.find(':');
        if (line.empty() || line[0] == '#' || colon == std::string::npos) continue;
        std::string key = line.substr(0, colon), value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        if (key == "args") c->args = split_words(value);
        else if (key == "status") c->status = std::atoi(value.c_str());
        else if (key == "env") c->env.push_back(value);
        else if (key == "unset") c->unset.push_back(value);
        else if (key == "timeout") c->timeout = std::atoi(value.c_str());
        else if (key == "absent") c->absent.push_back(value);
        else if (key == "fixture") c->fixtures.push_back(value);
        else {
            std::cerr << "unknown key in case.txt: " << key << "\n";
            return false;
        }
    }
    return true;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
}

// Glob match of one line where "{{*}}" matches any characters.
bool line_matches(const std::string& pattern, const std::string& line) {
    const std::string star = "{{*}}";
    std::vector<std::string> parts;
    size_t start = 0, pos;
    while ((pos = pattern.find(star, start)) != std::string::npos) {
        parts.push_back(pattern.substr(start, pos - start));
        start = pos + star.size();
    }
    parts.push_back(pattern.substr(start));
    if (parts.size() == 1) return pattern == line;
    if (line.compare(0, parts[0].size(), parts[0]) != 0) return false;
    size_t at = parts[0].size();
    for (size_t i = 1; i + 1 < parts.size(); ++i) {
        size_t found = line.find(parts[i], at);
        if (found == std::string::npos) return false;
        at = found + parts[i].size();
    }
    const std::string& last = parts.back();
    return line.size() >= at + last.size() &&
           line.compare(line.size() - last.size(), last.size(), last) == 0;
}

bool text_matches(const std::string& expected, const std::string& actual) {
    std::vector<std::string> e = split_lines(expected), a = split_lines(actual);
    // ok[i][j]: e[i..] matches a[j..]
    std::vector<std::vector<char>> ok(e.size() + 1, std::vector<char>(a.size() + 1, 0));
    ok[e.size()][a.size()] = 1;
    for (size_t i = e.size(); i-- > 0;) {
        for (size_t j = a.size() + 1; j-- > 0;) {
            if (e[i] == "{{...}}")
                ok[i][j] = ok[i + 1][j] || (j < a.size() && ok[i][j + 1]);
            else
                ok[i][j] = j < a.size() && line_matches(e[i], a[j]) && ok[i + 1][j + 1];
        }
    }
    return ok[0][0];
}

void show_difference(const std::string& what, const std::string& expected,
                     const std::string& actual) {
    std::cerr << "---- " << what << " expected:\n" << expected << "\n---- " << what
              << " actual:\n" << actual << "\n---- end of " << what << "\n";
}

int run_program(const std::string& exe, const Case& c, const std::string& workdir,
                const std::string& stdin_path, const std::string& out_dir) {
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (chdir(workdir.c_str()) != 0) _exit(120);
        int in = open(stdin_path.empty() ? "/dev/null" : stdin_path.c_str(), O_RDONLY);
        int out = open((out_dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open((out_dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(121);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        setenv("TZ", "UTC", 1);
        unsetenv("KVXERRLOG");
        for (const std::string& name : c.unset) unsetenv(name.c_str());
        for (const std::string& kv : c.env) {
            auto eq = kv.find('=');
            if (eq != std::string::npos) setenv(kv.substr(0, eq).c_str(), kv.substr(eq + 1).c_str(), 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(122);
    }
    for (int waited = 0;; ++waited) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return 128 + WTERMSIG(status);
        }
        if (r < 0 && errno != EINTR) return -1;
        if (waited >= c.timeout * 100) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            std::cerr << "tabcopy did not finish within " << c.timeout << " seconds\n";
            return -2;
        }
        usleep(10000);
    }
}

bool compare_output_files(const fs::path& expected_dir, const fs::path& workdir,
                          const std::string& workdir_text) {
    bool ok = true;
    if (!fs::exists(expected_dir)) return true;
    for (const auto& entry : fs::recursive_directory_iterator(expected_dir)) {
        if (!entry.is_regular_file()) continue;
        fs::path rel = fs::relative(entry.path(), expected_dir);
        std::string expected, actual;
        read_file(entry.path(), &expected);
        expected = replace_all(expected, "{{WORKDIR}}", workdir_text);
        if (!read_file(workdir / rel, &actual)) {
            std::cerr << "expected file was not written: " << rel << "\n";
            ok = false;
        } else if (!text_matches(expected, actual)) {
            show_difference(rel.string(), expected, actual);
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: e2e_runner <tabcopy> <case-dir>\n";
        return 2;
    }
    std::string exe = fs::absolute(argv[1]).string();
    fs::path case_dir = fs::absolute(argv[2]);
    std::string base = (fs::temp_directory_path() / "tabcopy-e2e-XXXXXX").string();
    std::vector<char> tmpl(base.begin(), base.end());
    tmpl.push_back('\0');
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    fs::path root = tmpl.data();
    fs::path workdir = root / "work", capture = root / "capture";
    fs::create_directories(workdir);
    fs::create_directories(capture);
    std::string workdir_text = workdir.string();

    Case c;
    if (!parse_case(case_dir / "case.txt", workdir_text, &c)) {
        std::cerr << "cannot read " << (case_dir / "case.txt") << "\n";
        return 2;
    }
    if (fs::exists(case_dir / "in"))
        fs::copy(case_dir / "in", workdir, fs::copy_options::recursive);
    for (const std::string& name : c.fixtures) {
        std::error_code failed;
        fs::copy_file(case_dir.parent_path().parent_path() / "fixtures" / name, workdir / name, failed);
        if (failed) {
            std::cerr << "cannot copy the fixture " << name << ": " << failed.message() << "\n";
            return 2;
        }
    }
    std::string stdin_path =
        fs::exists(case_dir / "stdin.txt") ? (case_dir / "stdin.txt").string() : "";

    int status = run_program(exe, c, workdir_text, stdin_path, capture.string());
    bool ok = true;
    if (status != c.status) {
        std::cerr << "exit status " << status << ", expected " << c.status << "\n";
        ok = false;
    }
    std::string out, err, expected;
    read_file(capture / "stdout", &out);
    read_file(capture / "stderr", &err);
    if (read_file(case_dir / "stdout.txt", &expected)) {
        expected = replace_all(expected, "{{WORKDIR}}", workdir_text);
        if (!text_matches(expected, out)) {
            show_difference("stdout", expected, out);
            ok = false;
        }
    }
    expected.clear();
    read_file(case_dir / "stderr.txt", &expected);
    expected = replace_all(expected, "{{WORKDIR}}", workdir_text);
    if (!text_matches(expected, err)) {
        show_difference("stderr", expected, err);
        ok = false;
    }
    if (!compare_output_files(case_dir / "out", workdir, workdir_text)) ok = false;
    for (const std::string& path : c.absent) {
        if (!fs::exists(fs::symlink_status(fs::path(workdir) / path))) continue;
        std::cerr << "file should not exist after the run: \"" << path << "\"\n";
        ok = false;
    }

    if (ok) {
        fs::remove_all(root);
        std::cout << "passed: " << case_dir.filename().string() << "\n";
        return 0;
    }
    std::cerr << "FAILED: " << case_dir.filename().string() << " (working directory kept: "
              << root.string() << ")\n";
    return 1;
}
