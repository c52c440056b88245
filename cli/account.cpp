#include "account.h"

#include "console.h"
#include "paths.h"
#include "split.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

namespace carrowin::cli {
namespace {

int noSecret(int status, const std::string& why)
{
    std::cerr << "carrowin-cli: " << why << std::endl;
    return status;
}

// The first line of the file, without its line end.
std::optional<std::string> firstLine(const std::string& path)
{
    std::ifstream in(text::pathFromUtf8(path), std::ios::binary);
    std::string line;
    if (!in || (!std::getline(in, line) && !in.eof()))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// The first line that `command` writes to standard output, without its line end; none,
// with `why` set, when it cannot be run, fails or writes nothing.
std::optional<std::string> commandOutputLine(const std::string& command, std::string& why)
{
    std::FILE* const out = startCommand(command, why);
    if (!out)
        return std::nullopt;
    std::string all;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        all.append(buffer, n);
    if (!commandSucceeded(out, why))
        return std::nullopt;
    std::string line = all.substr(0, all.find_first_of("\r\n"));
    if (line.empty()) {
        why = "it printed nothing";
        return std::nullopt;
    }
    return line;
}

} // namespace

int prepareAccount(Options& o)
{
    if (!o.imapUrl || o.run.dryRun)
        return 0;
    const extract::imap::ImapUrl& url = *o.imapUrl;
    auto account = std::make_shared<extract::imap::ServerAccount>();
    account->endpoint = {url.host, url.port};
    account->security = url.security;
    account->caFile = o.caFile.value_or("");
    account->user = url.user;
    std::optional<std::string> secret;
    if (o.tokenCommand) {
        std::string why;
        secret = commandOutputLine(*o.tokenCommand, why);
        if (!secret)
            return noSecret(kAuthenticationStatus, "--oauth2-token-command gave no token: " + why);
        account->oauthToken = true;
    } else if (o.passwordFile) {
        secret = firstLine(*o.passwordFile);
        if (!secret)
            return noSecret(2, "the password file \"" + *o.passwordFile + "\" cannot be read");
    } else if (!(secret = environmentVariable("CARROWIN_IMAP_PASSWORD"))) {
        secret = readSecretLine("Password for " + url.user + " at " + url.host + ": ");
        if (!secret)
            return noSecret(2, "no password for " + url.user + " at " + url.host
                                   + ": there is no terminal to ask on; give it with CARROWIN_IMAP_PASSWORD or "
                                     "--password-file");
    }
    if (secret->empty())
        return noSecret(2, std::string(account->oauthToken ? "the token" : "the password") + " for " + url.user
                               + " is empty");
    account->secret = std::move(*secret);
    o.account = std::move(account);
    return 0;
}

} // namespace carrowin::cli
