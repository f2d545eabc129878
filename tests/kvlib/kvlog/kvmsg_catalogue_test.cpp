// The real catalogue: how the program finds it, refuses a wrong version
// and reads each entry once. Runs copies of tabcopy in scratch directories
// so a broken or missing catalogue can be placed beside them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "kvlog/kvmsg.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBin = fs::path(TABCOPY_BINARY_DIR) / "bin";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ChildRun {
    int wait_status = 0;
    std::string out, err;
};

// Runs `exe` with `args` in `dir`, capturing both streams.
ChildRun run_in(const fs::path& dir, const fs::path& exe, std::vector<std::string> args) {
    fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        unsetenv("ICU_DATA");
        setenv("KVXERRLOG", "/dev/null", 1);
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    ChildRun r;
    waitpid(pid, &r.wait_status, 0);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

struct Scratch {
    fs::path dir;
    fs::path exe;
    Scratch() {
        dir = fs::path(testing::TempDir()) /
              ("kvmsg-" + std::to_string(getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "work");
        exe = dir / "tabcopy";
        fs::copy_file(kBin / "tabcopy", exe);
    }
    ~Scratch() { fs::remove_all(dir); }
    void place(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // A run that raises a message at once: the parameter file is missing.
    ChildRun raise() { return run_in(dir / "work", exe, {"PARAMFILE", "missing.par"}); }
};

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

bool aborted(const ChildRun& r) { return WIFSIGNALED(r.wait_status) && WTERMSIG(r.wait_status) == SIGABRT; }
int status(const ChildRun& r) { return WIFEXITED(r.wait_status) ? WEXITSTATUS(r.wait_status) : -1; }

TEST(Catalogue, BesideTheProgramItIsFoundAndUsed) {
    Scratch s;
    s.place("tabcopy.dat", slurp(kBin / "tabcopy.dat"));
    ChildRun r = s.raise();
    EXPECT_EQ(status(r), 12) << r.err;
    EXPECT_NE(r.out.find("KVX ERROR    SY-091  The file missing.par cannot be opened"), std::string::npos) << r.out;
}

TEST(Catalogue, InTheWorkingDirectoryItIsFoundToo) {
    Scratch s;
    std::ofstream(s.dir / "work" / "tabcopy.dat", std::ios::binary) << slurp(kBin / "tabcopy.dat");
    ChildRun r = s.raise();
    EXPECT_EQ(status(r), 12) << r.err;
}

TEST(Catalogue, AWrongVersionStopsBeforeAnyMessage) {
    Scratch s;
    std::string data = slurp(kBin / "tabcopy.dat");
    std::string uuid = kvMessageCatalogueUuid;
    size_t at = data.find(utf16(uuid));
    ASSERT_NE(at, std::string::npos);
    std::string changed = uuid;
    changed[35] = changed[35] == 'a' ? 'b' : 'a';
    data.replace(at, changed.size() * 2, utf16(changed));
    s.place("tabcopy.dat", data);
    ChildRun r = s.raise();
    EXPECT_TRUE(aborted(r));
    EXPECT_EQ(r.err, "The ICU resource bundle, 'kvMessage', is the wrong version.  Expecting '" + uuid +
                         "' but received '" + changed + "'.\n");
    EXPECT_EQ(r.out.find("KVX"), std::string::npos);
}

TEST(Catalogue, NoCatalogueAnywhereStops) {
    Scratch s;
    ChildRun r = s.raise();
    EXPECT_TRUE(aborted(r));
    EXPECT_EQ(r.err.rfind("Cannot load ICU resource bundle 'kvMessage', error code 2 - ", 0), 0u) << r.err;
}

TEST(Catalogue, APackageNamedKvMessageIsFoundThroughTheDataDirectory) {
    Scratch s;
    s.place("kvMessage.dat", slurp(kBin / "tabcopy.dat"));
    ChildRun r = s.raise();
    EXPECT_EQ(status(r), 12) << r.err;
    EXPECT_NE(r.out.find("SY-091"), std::string::npos) << r.out;
}

TEST(Catalogue, AnEntryIsReadOnceAndUnknownCodesGiveNothing) {
    CMessageFactory* f = GetMessageFactory();
    ASSERT_TRUE(f->loaded());
    size_t before = f->entry_reads();
    std::vector<kvMsgArg> args{7};
    for (int i = 0; i < 3; ++i) {
        std::unique_ptr<CMessage> m(f->CreateMessage(new CSourceContext("t", "t", "t", 1), 1077, args));
        ASSERT_NE(m, nullptr);
        EXPECT_NE(std::string(m->Text()).find('7'), std::string::npos);
    }
    EXPECT_EQ(f->entry_reads(), before + 1);
    EXPECT_EQ(f->CreateMessage(new CSourceContext("t", "t", "t", 1), 4242, args), nullptr);
    EXPECT_FALSE(f->LoadCatalogue());  // already open
}

}  // namespace
