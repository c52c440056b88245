#pragma once
// carrowin-cli's command line: what it asks for, read with CLI11.
#include "formats.h"
#include "run_host.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace carrowin::cli {

struct Options {
    Format format = Format::Eml;
    std::optional<std::string> prefix;
    bool keepRe = false;
    std::string output = ".";
    bool quiet = false;
    bool store = false;
    extract::RunOptions run;
    std::vector<std::string> sources;
};

// The options of the UTF-8 arguments, or the exit status when there is nothing to run:
// 0 after --help or --version (printed), 2 for a usage error (said on stderr).
std::variant<Options, int> parseArguments(std::vector<std::string> args);

} // namespace carrowin::cli
