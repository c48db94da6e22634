#include "cli/Arguments.h"

#include <algorithm>

namespace quillet::cli {
namespace {

const OptionSpec* findOption(const ArgumentSpec& spec, std::string_view name) {
    auto it = std::find_if(spec.options.begin(), spec.options.end(),
                           [&](const OptionSpec& o) { return o.name == name; });
    return it == spec.options.end() ? nullptr : &*it;
}

bool isHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

// Help is looked for first, so that a user unsure of the options gets it
// even when the rest of the line is wrong.
bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (isHelp(arg)) return true;
    }
    return false;
}

}  // namespace

Arguments Arguments::parse(const std::vector<std::string>& args, const ArgumentSpec& spec) {
    Arguments result;
    if (asksForHelp(args)) {
        result.help_ = true;
        return result;
    }
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            result.operands_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!arg.starts_with("--")) throw UsageError("unknown option " + arg);
        std::string_view body = std::string_view(arg).substr(2);
        size_t equals = body.find('=');
        std::string name(body.substr(0, equals));
        const OptionSpec* option = findOption(spec, name);
        if (!option) throw UsageError("unknown option --" + name);
        if (result.values_.contains(name)) throw UsageError("--" + name + " given twice");
        std::string value;
        if (option->takesValue) {
            if (equals != std::string_view::npos) {
                value = body.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError("--" + name + " needs a value");
            }
        } else if (equals != std::string_view::npos) {
            throw UsageError("--" + name + " takes no value");
        }
        result.values_.emplace(std::move(name), std::move(value));
    }
    if (result.operands_.size() < spec.operands.size()) {
        throw UsageError("missing " + std::string(spec.operands[result.operands_.size()]));
    }
    if (result.operands_.size() > spec.operands.size()) {
        throw UsageError("unexpected argument " + result.operands_[spec.operands.size()]);
    }
    return result;
}

std::optional<std::string> Arguments::value(std::string_view option) const {
    auto it = values_.find(std::string(option));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

}  // namespace quillet::cli
