#include "cli/PasswordSource.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <variant>

#include "cli/MarkupUpdate.h"

namespace quillet::cli {
namespace {

// Options besides --password-file that may read standard input.
constexpr std::string_view kStdinOptions[] = {"markup", "item"};

// A password file holds one line; anything larger is not one.
constexpr size_t kMaxPasswordFileBytes = 64 * 1024;

std::optional<std::string> passwordFromFile(const std::string& fileOrDash) {
    std::string text = readInputText(fileOrDash);
    if (text.size() > kMaxPasswordFileBytes) {
        throw std::runtime_error((fileOrDash == "-" ? std::string("standard input") : fileOrDash) +
                                 " is too large for a password file");
    }
    return firstLine(text);
}

bool needsPassword(const PDFFileReader& reader) {
    const auto& error = reader.securityError();
    if (!reader.isEncrypted() || reader.security() || !error) return false;
    const auto* security = std::get_if<PDFSecurityError>(&*error);
    return security && security->code() == PDFSecurityError::Code::wrongPassword;
}

// The terminal's settings while echo is off, so that a signal arriving at
// the prompt does not leave the user's shell without echo.
struct termios savedTerminal;
volatile std::sig_atomic_t echoIsOff = 0;
constexpr int kPromptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreEchoAndReraise(int signal) {
    if (echoIsOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Echo off on the terminal of standard input for as long as it lives.
class EchoOff {
  public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
        struct termios quiet = savedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        for (int s : kPromptSignals) previous_.push_back(std::signal(s, restoreEchoAndReraise));
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0) echoIsOff = 1;
    }
    ~EchoOff() {
        if (echoIsOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        echoIsOff = 0;
        for (size_t i = 0; i < previous_.size(); ++i) std::signal(kPromptSignals[i], previous_[i]);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    std::vector<void (*)(int)> previous_;
};

}  // namespace

std::vector<OptionSpec> passwordOptionSpecs() {
    return {{"password", true}, {"password-file", true}};
}

std::string_view passwordHelp() {
    return "\n"
           "The password of an encrypted file (user or owner password), the first of:\n"
           "  --password-file FILE|-  the first line of FILE, \"-\" for standard input\n"
           "  --password P            the password itself (other users can see it in `ps`)\n"
           "  QUILLET_PASSWORD        this environment variable\n"
           "  a prompt without echo   when standard input is a terminal and the file needs one\n"
           "--password and --password-file exclude each other.\n";
}

std::string firstLine(std::string_view text) {
    std::string_view line = text.substr(0, text.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    return std::string(line);
}

void checkPasswordOptions(const Arguments& arguments) {
    std::optional<std::string> file = arguments.value("password-file");
    if (arguments.value("password") && file)
        throw UsageError("--password and --password-file exclude each other");
    for (std::string_view other : kStdinOptions) {
        if (file == "-" && arguments.value(other) == "-") {
            throw UsageError("--password-file - and --" + std::string(other) +
                             " - cannot both read standard input");
        }
    }
}

std::optional<std::string> givenPassword(const Arguments& arguments) {
    checkPasswordOptions(arguments);
    if (std::optional<std::string> inline_ = arguments.value("password")) return inline_;
    if (std::optional<std::string> file = arguments.value("password-file")) return passwordFromFile(*file);
    if (const char* variable = std::getenv(std::string(kPasswordVariable).c_str()))
        return std::string(variable);
    return std::nullopt;
}

std::optional<std::string> askOnTerminal(const std::string& question) {
    if (!isatty(STDIN_FILENO)) return std::nullopt;
    std::string answer;
    {
        // Echo goes off before the question is shown, so that nothing typed
        // in answer to it can be echoed.
        EchoOff quiet;
        std::fputs(question.c_str(), stderr);
        std::fflush(stderr);
        for (;;) {
            char c = 0;
            ssize_t n = read(STDIN_FILENO, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (answer.empty()) return std::nullopt;
                break;
            }
            if (c == '\n') break;
            if (answer.size() >= kMaxPasswordFileBytes) continue;
            answer += c;
        }
    }
    if (answer.ends_with('\r')) answer.pop_back();
    return answer;
}

std::optional<std::string> passwordFor(const std::filesystem::path& path, const Arguments& arguments) {
    if (std::optional<std::string> given = givenPassword(arguments)) return given;
    if (!isatty(STDIN_FILENO) || !needsPassword(*PDFFileReader::open(path))) return std::nullopt;
    return askOnTerminal("Password for " + path.string() + ": ");
}

OpenedFile openWithPassword(const std::filesystem::path& path, const Arguments& arguments) {
    OpenedFile opened;
    opened.password = passwordFor(path, arguments);
    opened.reader = PDFFileReader::open(path, opened.password);
    return opened;
}

}  // namespace quillet::cli
