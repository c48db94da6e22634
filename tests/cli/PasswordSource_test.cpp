#include "cli/PasswordSource.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "MarkupFixtures.h"

namespace quillet {
namespace {

using nlohmann::json;
using testing::CommandResult;
using testing::TempDir;

const std::string kPassword = "user-pw";

// The tool run with `input` on a pipe as standard input and `environment`
// ("NAME=value") added to an environment without QUILLET_PASSWORD.
CommandResult runWithInput(const std::vector<std::string>& args, const std::string& input,
                           const std::vector<std::string>& environment = {}) {
    std::vector<std::string> argv = {"bash", "-c", "printf %s \"$0\" | exec env -u QUILLET_PASSWORD \"$@\"",
                                     input};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(testing::quilletBinary());
    argv.insert(argv.end(), args.begin(), args.end());
    return testing::runCommand(argv);
}

class PasswordSource : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
        testing::qpdfDocument(dir_, "locked.pdf", 2, {"--encrypt", kPassword, "owner-pw", "256", "--"});
    }

    // `unlocked` of `quillet info` on the locked file run with these.
    std::optional<bool> unlockedWith(const std::vector<std::string>& options, const std::string& input = "",
                                     const std::vector<std::string>& environment = {}) {
        std::vector<std::string> args = {"info", locked_};
        args.insert(args.end(), options.begin(), options.end());
        CommandResult r = runWithInput(args, input, environment);
        EXPECT_EQ(r.status, 0) << r.err;
        if (r.status != 0) return std::nullopt;
        return json::parse(r.out).at("unlocked").get<bool>();
    }

    std::string file(const std::string& name, const std::string& text) {
        testing::writeFile(dir_.file(name), text);
        return dir_.file(name).string();
    }

    TempDir dir_;
    std::string locked_ = dir_.file("locked.pdf").string();
};

TEST_F(PasswordSource, EachSourceUnlocksAndTheFirstGivenWins) {
    const std::string right = file("right", kPassword + "\r\nsecond line is not the password\n");
    const std::string wrong = file("wrong", "nope\n");
    const std::string envRight = "QUILLET_PASSWORD=" + kPassword, envWrong = "QUILLET_PASSWORD=nope";
    struct Case {
        std::string name;
        std::vector<std::string> options;
        std::string input;
        std::vector<std::string> environment;
        bool unlocked;
    };
    const std::vector<Case> cases = {
        {"nothing given, not a terminal", {}, "", {}, false},
        {"file, first line", {"--password-file", right}, "", {}, true},
        {"file without line end", {"--password-file", file("bare", kPassword)}, "", {}, true},
        {"standard input", {"--password-file", "-"}, kPassword + "\n", {}, true},
        {"environment", {}, "", {envRight}, true},
        {"file before environment", {"--password-file", right}, "", {envWrong}, true},
        {"wrong file before right environment", {"--password-file", wrong}, "", {envRight}, false},
        {"option before environment", {"--password", kPassword}, "", {envWrong}, true},
        {"empty environment is the empty password", {}, "", {"QUILLET_PASSWORD="}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(unlockedWith(c.options, c.input, c.environment), c.unlocked) << c.name;
}

TEST_F(PasswordSource, ConflictingSourcesAreUsageErrors) {
    const std::string right = file("right", kPassword);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"info", locked_, "--password", kPassword, "--password-file", right},
         "quillet: --password and --password-file exclude each other\n"},
        {{"write", locked_, dir_.file("out.pdf").string(), "--markup", "-", "--password-file", "-"},
         "quillet: --password-file - and --markup - cannot both read standard input\n"},
    };
    for (const Case& c : cases) {
        CommandResult r = runWithInput(c.args, "");
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_TRUE(r.err.starts_with(c.message)) << r.err;
    }
    EXPECT_EQ(runWithInput({"info", locked_, "--password-file", dir_.file("none").string()}, "").status, 1);
}

// The password found reaches the writer too: the update is encrypted with
// the file's key, so that the item reads back.
TEST_F(PasswordSource, WritingSubcommandsTakeThePasswordFromTheEnvironment) {
    const std::string out = dir_.file("out.pdf").string();
    const std::vector<std::string> env = {"QUILLET_PASSWORD=" + kPassword};
    CommandResult add =
        runWithInput({"add", locked_, out, "--page", "1", "--text", "Hi", "--at", "72,72"}, "", env);
    ASSERT_EQ(add.status, 0) << add.err;
    CommandResult list = runWithInput({"list", out, "--password-file", "-"}, kPassword + "\n");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(json::parse(list.out)["pages"]["0"][0]["tx"]["s"], "Hi");
}

// What a user at a terminal sees: the question, no echo of what they type,
// then the result.
struct TerminalRun {
    int status = -1;
    std::string transcript;
};

bool readUntil(int fd, std::string& transcript, const std::string& wanted) {
    while (wanted.empty() || transcript.find(wanted) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 60'000) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return wanted.empty();  // EIO once the tool has exited
        transcript.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

TerminalRun runOnTerminal(const std::vector<std::string>& args, const std::string& typed) {
    TerminalRun run;
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), testing::quilletBinary());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    if (pid == 0) {
        unsetenv("QUILLET_PASSWORD");
        execv(raw[0], raw.data());
        _exit(127);
    }
    if (readUntil(master, run.transcript, "Password for ")) {
        EXPECT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        readUntil(master, run.transcript, "");
    } else {
        kill(pid, SIGKILL);
    }
    close(master);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST_F(PasswordSource, PromptsOnATerminalWithoutEcho) {
    TerminalRun run = runOnTerminal({"info", locked_}, kPassword + "\n");
    EXPECT_EQ(run.status, 0) << run.transcript;
    EXPECT_NE(run.transcript.find("Password for " + locked_ + ": "), std::string::npos) << run.transcript;
    EXPECT_NE(run.transcript.find("\"unlocked\": true"), std::string::npos) << run.transcript;
    EXPECT_EQ(run.transcript.find(kPassword), std::string::npos) << run.transcript;

    TerminalRun wrong = runOnTerminal({"list", locked_}, "nope\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.transcript.find("quillet: wrong password"), std::string::npos) << wrong.transcript;
    EXPECT_EQ(wrong.transcript.find("nope"), std::string::npos) << wrong.transcript;
}

TEST(PasswordFile, FirstLineEndsAtTheFirstLineEnd) {
    EXPECT_EQ(cli::firstLine("pw\nrest"), "pw");
    EXPECT_EQ(cli::firstLine("pw\r\n"), "pw");
    EXPECT_EQ(cli::firstLine("p w \t"), "p w \t");
    EXPECT_EQ(cli::firstLine("\nsecond"), "");
    EXPECT_EQ(cli::firstLine(""), "");
}

}  // namespace
}  // namespace quillet
