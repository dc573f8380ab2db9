// Command lines of the form "--name value", "--name=value" and bare flags.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace service {

// A bad command line or environment; the message says what and why.
class OptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using OptionSetter = std::function<void(const std::string& value)>;
using FlagSetter = std::function<void()>;

// Runs args from index from through the setters of their options. Throws
// OptionError for an unknown option or argument, or an option without a
// value (an empty one included); setters may throw it too.
void parseOptions(const std::vector<std::string>& args, std::size_t from,
                  const std::map<std::string, OptionSetter>& valued, const std::map<std::string, FlagSetter>& flags);

}  // namespace service
