// The command line of one subcommand: its positional operands and its
// options, checked against what the subcommand accepts. Anything it does not
// accept is a UsageError, which the tool reports with the usage line.
#pragma once

#include <cstddef>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::cli {

class UsageError : public std::exception {
  public:
    explicit UsageError(std::string text) : text_(std::move(text)) {}
    const std::string& text() const { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

  private:
    std::string text_;
};

struct OptionSpec {
    std::string_view name;  // without the leading "--"
    bool takesValue = false;
};

struct ArgumentSpec {
    std::vector<std::string_view> operands;  // names of the positional operands, all required
    std::vector<OptionSpec> options;
};

class Arguments {
  public:
    // Accepts "--name value", "--name=value" and flags; "--" ends the options
    // and a lone "-" is an operand (standard input). "--help" or "-h" anywhere
    // asks for help and stops the checks. Throws UsageError.
    static Arguments parse(const std::vector<std::string>& args, const ArgumentSpec& spec);

    bool helpRequested() const { return help_; }
    const std::vector<std::string>& operands() const { return operands_; }
    const std::string& operand(size_t index) const { return operands_.at(index); }
    std::optional<std::string> value(std::string_view option) const;
    bool flag(std::string_view option) const { return values_.contains(std::string(option)); }

  private:
    bool help_ = false;
    std::vector<std::string> operands_;
    std::map<std::string, std::string> values_;  // a flag maps to ""
};

}  // namespace quillet::cli
