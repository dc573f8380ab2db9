// z6image: writes a firmware image file for the station's working directory
// or a test, e.g.
//   z6image --version 0.96 --payload-length 32768 Z6recovery_9600.bin
// The payload is a page-varying pattern unless --payload names a file.
#include "z6/firmware_image.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: z6image [--type CODE] --version VERSION (--payload-length BYTES | --payload FILE) OUTPUT\n"
    "  --type CODE            image type code (default 100007021, recovery firmware;\n"
    "                         100007001 main firmware, 100007011 loader image)\n"
    "  --version VERSION      version written into the header, e.g. 0.96\n"
    "  --payload-length BYTES payload of BYTES pattern bytes\n"
    "  --payload FILE         payload taken from FILE\n";

struct UsageError : std::exception {
    explicit UsageError(std::string text) : message(std::move(text)) {}
    const char* what() const noexcept override { return message.c_str(); }
    std::string message;
};

std::uint32_t parseUnsigned(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value > UINT32_MAX)
        throw UsageError(option + " needs a whole number from 0 to 4294967295, not '" + text + "'");
    return static_cast<std::uint32_t>(value);
}

float parseVersion(const std::string& text) {
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw UsageError("--version needs a number, not '" + text + "'");
    return value;
}

std::vector<std::uint8_t> readPayload(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read payload file " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int run(int argc, char** argv) {
    std::uint32_t type = z6::kRecoveryImageType;
    std::optional<float> version;
    std::optional<std::uint32_t> payloadLength;
    std::optional<std::string> payloadFile;
    std::optional<std::string> output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--type") {
            type = parseUnsigned(arg, value());
        } else if (arg == "--version") {
            version = parseVersion(value());
        } else if (arg == "--payload-length") {
            payloadLength = parseUnsigned(arg, value());
        } else if (arg == "--payload") {
            payloadFile = value();
        } else if (!arg.empty() && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (output) {
            throw UsageError("more than one output file given");
        } else {
            output = arg;
        }
    }
    if (!version) throw UsageError("--version is required");
    if (payloadLength.has_value() == payloadFile.has_value())
        throw UsageError("give exactly one of --payload-length and --payload");
    if (!output) throw UsageError("no output file given");

    const std::vector<std::uint8_t> payload = payloadFile ? readPayload(*payloadFile) : z6::patternPayload(*payloadLength);
    z6::writeImageFile(*output, type, *version, payload);
    std::cout << "wrote " << *output << ": type " << type << ", version " << *version << ", " << payload.size()
              << " payload bytes\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "z6image: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "z6image: " << e.what() << "\n";
        return 1;
    }
}
