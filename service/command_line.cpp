#include "service/command_line.h"

namespace service {

void parseOptions(const std::vector<std::string>& args, std::size_t from,
                  const std::map<std::string, OptionSetter>& valued, const std::map<std::string, FlagSetter>& flags) {
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            flag->second();
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const auto option = valued.find(name);
        if (option == valued.end()) {
            if (arg.rfind("-", 0) == 0) throw OptionError("unknown option " + arg);
            throw OptionError("unexpected argument \"" + arg + "\"");
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw OptionError(name + " needs a value");
        }
        if (value.empty()) throw OptionError(name + " needs a value");
        option->second(value);
    }
}

}  // namespace service
