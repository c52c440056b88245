#pragma once
// carrowin-cli's command line: what it asks for, read with CLI11.
#include "formats.h"
#include "imap_url.h"
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
    // --format imap: the account of -o (output then holds it as it is shown), how the
    // server's certificate is trusted and where the secret comes from; the account with
    // its secret once it is known (never in a dry run, which connects to nothing).
    std::optional<extract::imap::ImapUrl> imapUrl;
    std::optional<std::string> caFile;
    std::optional<std::string> passwordFile;
    std::optional<std::string> tokenCommand;
    std::shared_ptr<const extract::imap::ServerAccount> account;
};

// The options of the UTF-8 arguments, or the exit status when there is nothing to run:
// 0 after --help or --version (printed), 2 for a usage error (said on stderr).
std::variant<Options, int> parseArguments(std::vector<std::string> args);

} // namespace carrowin::cli
