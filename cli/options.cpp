#include "options.h"

#include "carrowin_version.h"
#include "console.h"
#include "output_naming.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <optional>
#include <span>
#include <utility>

namespace carrowin::cli {
namespace {

constexpr const char* kSources =
    "Sources:\n"
    "  MAILBOX  a mailbox file, split into DIR\n"
    "  FOLDER   each mailbox (*.mbx) in it split into a folder of DIR named after it\n"
    "           (Inbox.mbx into DIR/Inbox; a taken name is numbered: Inbox(1))\n"
    "  -        a mailbox read from standard input as it comes, split into DIR\n"
    "\n";

constexpr const char* kDetails =
    "Options in detail:\n"
    "  --dates            a message without a date that can be read, or with one the\n"
    "                     file system cannot hold, keeps the time of writing, and\n"
    "                     the summary counts it; a zone named in a way it does not\n"
    "                     know is read as UTC; in a Maildir the time is the\n"
    "                     arrival a server shows (an mbox's \"From \" lines always\n"
    "                     carry the Date: header's date)\n"
    "  --decode-subjects  the Subject: field of the header block, its encoded words\n"
    "                     (=?charset?B?...?=, =?charset?Q?...?=) decoded, 8-bit text\n"
    "                     read as UTF-8, or else as Windows-1252\n"
    "  --dry-run          one line a message on standard output, tab-separated: its\n"
    "                     number, its offset in the mailbox, its size in bytes and\n"
    "                     the file name it would get (mbox: the mbox file; maildir:\n"
    "                     cur/; imap: the folder it would go into); nothing is\n"
    "                     written or made, and no server is asked\n"
    "  --skip-existing    a message is skipped when a file that was in its folder\n"
    "                     before, under its name or a numbered form of it, holds the\n"
    "                     same bytes; a FOLDER's mailbox then goes into its existing\n"
    "                     folder, so a second run or backup adds only what is new;\n"
    "                     maildir: a message whose bytes a file in cur/ or new/\n"
    "                     holds is not added again; imap: nor one whose bytes a\n"
    "                     message of the folder holds (so the same command with\n"
    "                     --skip-existing finishes an upload that was cut off);\n"
    "                     mbox: refused\n"
    "  imap password      the first line of --password-file FILE, or else the\n"
    "                     CARROWIN_IMAP_PASSWORD variable, or else asked on the\n"
    "                     terminal without echo; never in the URL or on the\n"
    "                     command line (many providers want an app password)\n"
    "\n"
    "Exit status:\n"
    "  0    every mailbox was split\n"
    "  1    a mailbox or a message file failed, or the summary could not be written\n"
    "  2    usage error (nothing was written)\n"
    "  3    imap: the server could not be reached, TLS failed, or the connection\n"
    "       was lost (what the server confirmed stays there)\n"
    "  4    imap: the server refused the login\n"
    "  5    imap: the server refused a folder or a message (over quota, too\n"
    "       large, or one with a NUL byte that it cannot take)\n";

constexpr const char* kExamples =
    "\n"
    "Examples:\n"
    "  carrowin-cli -o messages Inbox.mbx \"Sent Items.mbx\"\n"
    "  carrowin-cli --store --dates --decode-subjects --skip-existing -o rescued\n"
    "  carrowin-cli --format maildir --store --dates -o ~/Maildir\n"
    "  carrowin-cli --format imap --store -o imaps://anna@mail.example.net/Rescued";

// The formats' names, "eml, mbox and maildir" (`last` for "and"), with `afterFirst`
// after the default's.
std::string formatNames(std::string_view last, std::string_view afterFirst = "")
{
    std::string names;
    const std::span<const FormatInfo> all = formats();
    for (std::size_t i = 0; i < all.size(); ++i) {
        names += i == 0 ? "" : i + 1 == all.size() ? " " + std::string(last) + " " : ", ";
        names += std::string(all[i].name) + std::string(i == 0 ? afterFirst : "");
    }
    return names;
}

// The formats' lines of --help, from the table.
std::string formatsHelp()
{
    std::string help = "Formats (--format):\n";
    bool unnamed = false;
    for (const FormatInfo& f : formats()) {
        std::string_view lines = f.help;
        for (bool first = true; !lines.empty(); first = false) {
            const std::size_t end = lines.find('\n') + 1;
            help += (first ? "  " + std::string(f.name) + std::string(9 - f.name.size(), ' ') : std::string(11, ' '));
            help += lines.substr(0, end);
            lines.remove_prefix(end);
        }
        unnamed = unnamed || !f.namesMessages;
    }
    if (unnamed)
        help += "           Messages are not named in these formats: --prefix, --keep-re and\n"
                "           --decode-subjects change nothing in them.\n";
    return help + "\n";
}

void describe(CLI::App& app, Options& o)
{
    app.add_option("--prefix", o.prefix, "Name the files TEXT, TEXT(1)... instead of by subject")
        ->type_name("TEXT")
        ->check([](const std::string& prefix) {
            // Refused before anything is made, like any other wrong argument.
            return extract::settingsRefusal({.bySubject = false, .removeRe = false, .workingName = prefix,
                                             .outputFolder = "."});
        });
    app.add_option_function<std::string>(
           "--format", [&o](const std::string& name) { o.format = *formatNamed(name); },
           "What to write: " + formatNames("or", " (default)") + " (below)")
        ->type_name("FORMAT")
        ->check(CLI::Validator(
            [](const std::string& name) {
                return formatNamed(name) ? std::string() : "\"" + name + "\" is none of " + formatNames("and");
            },
            ""));
    app.add_flag("--keep-re", o.keepRe, "Keep a leading \"Re:\" of the subject in the file name");
    app.add_option("-o,--output", o.output, "Output folder, made if missing (default: current folder)")
        ->type_name("DIR");
    app.add_flag("-q,--quiet", o.quiet, "Do not show progress");
    app.add_flag("--store", o.store, "Split the mail store's folder (as the window finds it)");
    app.add_flag("--dates", o.run.dates, "Date each file by its message's Date: header");
    app.add_flag("--decode-subjects", o.run.decodeSubjects, "Name files by the header's Subject:, decoded");
    app.add_flag("--dry-run", o.run.dryRun, "Write nothing; list the name each message would get");
    app.add_flag("--skip-existing", o.run.skipExisting, "Skip a message that a file of its name already holds");
    app.add_option("--ca-file", o.caFile, "imap: trust a server whose certificate FILE's CAs sign")->type_name("FILE");
    app.add_option("--password-file", o.passwordFile, "imap: the password is the first line of FILE")
        ->type_name("FILE");
    app.add_option("--oauth2-token-command", o.tokenCommand, "imap: log in with the OAuth 2 token that CMD prints")
        ->type_name("CMD");
    app.add_option("SOURCE", o.sources, "A MAILBOX file, a FOLDER of mailboxes, or - (below)")->type_name("");
    app.set_version_flag("--version", "carrowin-cli " CARROWIN_VERSION);
    app.footer(kSources + formatsHelp() + kDetails + interruptionStatusHelp() + kExamples);
    // On Windows CLI11 would read "/o" as "-o", and so a path such as /mail/Inbox.mbx
    // as an unknown option: options start with "-" everywhere.
    app.allow_windows_style_options(false);
    app.get_formatter()->label("Positionals", "Arguments");
    app.get_formatter()->column_width(21); // the lines fit 80 columns
}

int usageError(const std::string& what)
{
    std::cerr << "carrowin-cli: " << what << "\nRun carrowin-cli --help for more information." << std::endl;
    return 2;
}

// What the format cannot do is refused before anything is made; what it ignores is said.
int checkFormat(const Options& o)
{
    const FormatInfo& f = formatInfo(o.format);
    const std::string name(f.name);
    if (kWindows && !f.notOnWindows.empty())
        return usageError("--format " + name + " is not available on Windows: " + std::string(f.notOnWindows));
    if (o.run.skipExisting && !f.notAddedTo.empty())
        return usageError("--skip-existing cannot be used with --format " + name + ": " + std::string(f.notAddedTo));
    if (f.namesMessages)
        return 0;
    for (const auto& [given, option] : {std::pair{o.prefix.has_value(), "--prefix"}, std::pair{o.keepRe, "--keep-re"},
                                        std::pair{o.run.decodeSubjects, "--decode-subjects"}})
        if (given)
            std::cerr << "carrowin-cli: " << option << " has no effect with --format " << name
                      << ": its messages are not named" << std::endl;
    return 0;
}

// An account is given to --format imap only, as a URL, and without its password.
int checkAccount(Options& o)
{
    const bool url = extract::imap::looksLikeImapUrl(o.output);
    if (o.format != Format::Imap) {
        if (url)
            return usageError("-o names an IMAP account: give --format imap to upload to it");
        for (const auto& [given, option] : {std::pair{o.caFile.has_value(), "--ca-file"},
                                            std::pair{o.passwordFile.has_value(), "--password-file"},
                                            std::pair{o.tokenCommand.has_value(), "--oauth2-token-command"}})
            if (given)
                return usageError(std::string(option) + " is for --format imap only");
        return 0;
    }
    if (!url)
        return usageError("--format imap uploads to an account: give it as -o imaps://USER@HOST[:PORT][/FOLDER]");
    // The words never repeat the URL: a password put into it would be shown.
    std::string error;
    o.imapUrl = extract::imap::parseImapUrl(o.output, error);
    if (!o.imapUrl)
        return usageError("-o is no IMAP account: " + error);
    if (o.passwordFile && o.tokenCommand)
        return usageError("--password-file and --oauth2-token-command: give one of them");
    o.output = extract::imap::shownUrl(*o.imapUrl);
    return 0;
}

} // namespace

std::variant<Options, int> parseArguments(std::vector<std::string> args)
{
    for (std::size_t i = 1; i < args.size(); ++i)
        if (asksForHelp(args[i]))
            args[i] = "--help";
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    CLI::App app{"Splits OE4 mailboxes (*.mbx) into one file per message: .eml for mail,\n"
                 ".nws for news, named after the Subject line (default) or after a prefix.",
                 "carrowin-cli"};
    Options o;
    describe(app, o);
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) // --help and --version
            return app.exit(e);
        return usageError(e.what());
    }
    if (o.sources.empty() && !o.store)
        return usageError("no MAILBOX, FOLDER or --store given");
    if (std::count(o.sources.begin(), o.sources.end(), "-") > 1)
        return usageError("standard input (-) can be read once only");
    if (const int refused = checkFormat(o))
        return refused;
    if (const int refused = checkAccount(o))
        return refused;
    // The output folder is made, with its parents, when a message is about to be written:
    // a batch whose every mailbox fails leaves nothing behind, and a dry run makes nothing.
    o.run.makeOutputFolder = true;
    return o;
}

} // namespace carrowin::cli
