// The words of a command line: flags, options that take one value, and operands; "--" ends the
// options. One small parser for rvx-cli's commands and rvx-devsim (standard C++ only).
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace hrv::cli {

class OptionParser {
public:
    // `program` prefixes every message ("rvx-cli analyze").
    OptionParser(std::string program, std::ostream& err)
        : program_(std::move(program)), err_(err) {}

    // An option without a value.
    OptionParser& Flag(std::string name, bool& target) {
        options_.push_back({std::move(name), {}, [&target](const std::string&) {
                                target = true;
                                return true;
                            }});
        return *this;
    }

    // An option with one value; `take` returns false when it does not accept the value, and the
    // message then says what the option takes (`expects`, e.g. "rr or ppg").
    OptionParser& Value(std::string name, std::string expects,
                        std::function<bool(const std::string&)> take) {
        options_.push_back({std::move(name), std::move(expects), std::move(take)});
        return *this;
    }

    // An option whose value is any non-empty text.
    OptionParser& Text(std::string name, std::string expects, std::string& target) {
        return Value(std::move(name), std::move(expects), [&target](const std::string& v) {
            target = v;
            return !v.empty();
        });
    }
    OptionParser& Text(std::string name, std::string expects, std::optional<std::string>& target) {
        return Value(std::move(name), std::move(expects), [&target](const std::string& v) {
            target = v;
            return !v.empty();
        });
    }

    // Takes the words; the operands (words that are not options) go to `operands`. False, with
    // the reason on the error stream, at an unknown option or a value that is missing or wrong.
    bool Parse(const std::vector<std::string>& args, std::vector<std::string>& operands) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& word = args[i];
            if (word == "--") {
                operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                args.end());
                return true;
            }
            if (word.size() < 2 || word[0] != '-') {
                operands.push_back(word);
                continue;
            }
            const Option* option = Find(word);
            if (option == nullptr) {
                err_ << program_ << ": unknown option " << word << "\n";
                return false;
            }
            if (option->expects.empty()) {
                option->take(word);
                continue;
            }
            // A value that is itself an option ("--table --spectrum") was meant as one: the
            // value is missing. A path beginning with "--" is given as "./--name".
            if (i + 1 >= args.size() || args[i + 1].starts_with("--") ||
                Find(args[i + 1]) != nullptr || !option->take(args[i + 1])) {
                err_ << program_ << ": " << word << " takes " << option->expects << "\n";
                return false;
            }
            ++i;
        }
        return true;
    }

private:
    struct Option {
        std::string name;
        std::string expects; // empty for a flag
        std::function<bool(const std::string&)> take;
    };

    const Option* Find(std::string_view word) const {
        for (const Option& o : options_) {
            if (o.name == word) {
                return &o;
            }
        }
        return nullptr;
    }

    std::string program_;
    std::ostream& err_;
    std::vector<Option> options_;
};

} // namespace hrv::cli
