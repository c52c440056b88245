// carrowin-cli: splits OE4 mailboxes into one file per message, named as the window
// names them.
#include "archive.h"
#include "carrowin_version.h"
#include "console.h"
#include "errors.h"
#include "extraction_run.h"
#include "output_naming.h"
#include "mailbox_list.h"
#include "path_rules.h"
#include "progress_line.h"
#include "store_root.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unordered_set>

namespace {

namespace fs = std::filesystem;
using carrowin::cli::Tally;

struct Options {
    std::optional<std::string> prefix;
    bool keepRe = false;
    std::string output = ".";
    bool quiet = false;
    bool store = false;
    carrowin::extract::RunOptions run;
    std::vector<std::string> sources;
};

fs::path fsPath(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string joined(const std::string& folder, const std::string& name)
{
    return folder.empty() || carrowin::extract::isSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

// The output folder, made with its parents only when a message is about to be written:
// a batch whose every mailbox fails leaves nothing behind, and a dry run makes nothing.
class OutputFolderOnDemand {
public:
    explicit OutputFolderOnDemand(std::string path) : m_path(std::move(path)) {}
    void make()
    {
        if (m_made)
            return;
        std::error_code ec;
        fs::create_directories(fsPath(m_path), ec);
        if (ec)
            throw carrowin::extract::ExtractError(carrowin::extract::ErrorKind::Output, m_path,
                                                  "Cannot create the output folder \"" + m_path + "\": " + ec.message());
        m_made = true;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_made = false;
};

// One line on standard output. A failed write (a closed pipe, a full disk) is remembered
// with its reason; the batch goes on.
class SummaryOut {
public:
    void line(const std::string& text)
    {
        if (std::fputs((text + "\n").c_str(), stdout) < 0 || std::fflush(stdout) != 0)
            m_error = m_error ? m_error : errno;
    }
    int error() const { return m_error; }

private:
    int m_error = 0;
};

// One mailbox to split, and where to.
struct Job {
    std::string mailbox; // a path, or "-" for standard input
    std::string folder;  // the output folder
    std::string shownAs; // what the dry run puts before each file name ("Inbox/")
};

// The settings a run starts from; the working name then carries over record by record.
class CliHost : public carrowin::extract::RunHost {
public:
    CliHost(const Options& o, const Job& job, OutputFolderOnDemand& folder, SummaryOut& out,
            carrowin::cli::ProgressLine* progress)
        : m_settings{!o.prefix, !o.keepRe, o.prefix.value_or(""), job.folder}, m_job(job), m_dryRun(o.run.dryRun),
          m_folder(folder), m_out(out), m_progress(progress)
    {
    }
    bool cancelRequested() override { return carrowin::cli::interruptRequested(); }
    carrowin::extract::NamingSettings currentSettings() override
    {
        if (!m_dryRun)
            m_folder.make(); // a message is about to be written
        return m_settings;
    }
    void nameChosen(const std::string& workingName, const std::string& outputFolder) override
    {
        m_settings.workingName = workingName;
        m_settings.outputFolder = outputFolder;
    }
    void fileWritten(const carrowin::extract::Progress& p) override
    {
        if (m_progress)
            m_progress->update(p);
    }
    void writing(const carrowin::extract::Progress& p) override { fileWritten(p); }
    void planned(const carrowin::extract::PlannedFile& f) override
    {
        if (m_progress)
            m_progress->clear();
        m_out.line(std::to_string(f.number) + "\t" + std::to_string(f.offset) + "\t" + std::to_string(f.size) + "\t"
                   + m_job.shownAs + f.fileName + (f.alreadyThere ? "\talready there" : ""));
    }

private:
    carrowin::extract::NamingSettings m_settings;
    const Job& m_job;
    bool m_dryRun;
    OutputFolderOnDemand& m_folder;
    SummaryOut& m_out;
    carrowin::cli::ProgressLine* m_progress;
};

// Standard input, read whole and binary. A terminal there would have the program wait
// for a mailbox typed in: that is a mistake, said at once.
std::string readStandardInput()
{
    if (carrowin::cli::isTerminal(stdin))
        throw carrowin::extract::ExtractError(carrowin::extract::ErrorKind::Mailbox, "-",
                                              "Standard input is a terminal: give the mailbox with < or a pipe");
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, n);
        if (n < sizeof buffer) {
            if (std::ferror(stdin))
                throw carrowin::extract::ExtractError(carrowin::extract::ErrorKind::Mailbox, "-",
                                                      std::string("Cannot read standard input: ") + std::strerror(errno));
            return bytes;
        }
    }
}

// The run of one mailbox. Returns 0, 1 when it failed, or the interruption's status.
int extractOne(const Options& o, const Job& job, Tally& total, SummaryOut& out)
{
    using namespace carrowin;
    const bool stdIn = job.mailbox == "-";
    const std::string label = stdIn ? "standard input" : job.mailbox;
    const bool showProgress = !o.quiet && cli::isRedrawableTerminal(stderr);
    cli::ProgressLine progress(stderr, label);
    OutputFolderOnDemand folder(job.folder);
    CliHost host(o, job, folder, out, showProgress ? &progress : nullptr);
    try {
        const extract::RunSummary s = stdIn ? extract::runExtractionOfImage(readStandardInput(), label, host, o.run)
                                            : extract::runExtraction(job.mailbox, host, o.run);
        progress.clear();
        const Tally tally{s.filesWritten, s.skipped, s.undated};
        total.add(tally);
        const std::string summary = label + ": " + cli::summaryText(tally, job.folder, o.run.dryRun);
        if (o.run.dryRun)
            std::cerr << summary << std::endl; // standard output holds the names alone
        else
            out.line(summary);
        return s.ending == extract::RunEnding::Cancelled ? cli::interruptionStatus() : 0;
    } catch (...) { // every failure ends this mailbox in words, never the program
        progress.clear();
        std::cerr << "carrowin-cli: " << extract::describeFailure(std::current_exception()) << std::endl;
        return 1;
    }
}

// The jobs of a FOLDER argument: every mailbox the window would list there, each into a
// folder of its own in DIR. A name that is taken is numbered, so nothing is merged into
// a folder that holds something else; with --skip-existing an existing folder of that
// name is used, since what is already in it is then never written twice.
class Batch {
public:
    explicit Batch(const Options& o) : m_options(o) {}

    // False when the folder holds no mailbox.
    bool addFolder(const std::string& folder)
    {
        const std::vector<std::string> names = carrowin::locate::listMailboxes(folder);
        for (const std::string& name : names) {
            const std::string sub = carrowin::cli::mailboxFolderName(name, [&](const std::string& candidate) {
                return isTaken(candidate);
            });
            m_given.insert(carrowin::extract::fileNameKey(sub));
            m_jobs.push_back({joined(folder, name), joined(m_options.output, sub), sub + "/"});
        }
        return !names.empty();
    }
    void addMailbox(const std::string& mailbox) { m_jobs.push_back({mailbox, m_options.output, ""}); }
    const std::vector<Job>& jobs() const { return m_jobs; }

private:
    bool isTaken(const std::string& name) const
    {
        const bool givenNow = m_given.contains(carrowin::extract::fileNameKey(name));
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(fsPath(joined(m_options.output, name)), ec);
        const bool exists = fs::exists(st);
        if (m_options.run.skipExisting) // a folder is used again, by this batch too
            return exists && !fs::is_directory(st);
        return exists || givenNow;
    }

    const Options& m_options;
    std::vector<Job> m_jobs;
    std::unordered_set<std::string> m_given; // folder names this batch gave, by fileNameKey
};

int run(const Options& o)
{
    int status = 0;
    Batch batch(o);
    if (o.store) {
        const auto found = carrowin::locate::findStoreRoot(
            carrowin::locate::winePrefixFor(std::getenv("WINEPREFIX"), std::getenv("HOME")));
        if (found.errorCode != 0) {
            std::cerr << "carrowin-cli: no mail store was found (Registry read error " << found.errorCode << ")"
                      << std::endl;
            status = 1;
        } else if (!batch.addFolder(found.proposedFolder)) {
            std::cerr << "carrowin-cli: the mail store's folder \"" << found.proposedFolder
                      << "\" holds no mailbox (*.mbx)" << std::endl;
            status = 1;
        }
    }
    for (const std::string& source : o.sources) {
        std::error_code ec;
        if (source != "-" && fs::is_directory(fsPath(source), ec)) {
            if (!batch.addFolder(source)) {
                std::cerr << "carrowin-cli: the folder \"" << source << "\" holds no mailbox (*.mbx)" << std::endl;
                status = 1;
            }
        } else {
            batch.addMailbox(source);
        }
    }
    SummaryOut out;
    Tally total;
    std::uint64_t split = 0;
    for (const Job& job : batch.jobs()) {
        const int rc = extractOne(o, job, total, out);
        if (rc > 1) {
            std::cerr << "carrowin-cli: interrupted; the files written so far are kept" << std::endl;
            return rc;
        }
        split += rc == 0 ? 1 : 0;
        status = std::max(status, rc);
    }
    if (batch.jobs().size() > 1) {
        using carrowin::cli::withThousands;
        const std::uint64_t failed = batch.jobs().size() - split;
        const std::string totals = withThousands(split) + (split == 1 ? " mailbox, " : " mailboxes, ")
                                   + carrowin::cli::summaryText(total, o.output, o.run.dryRun)
                                   + (failed > 0 ? "; " + withThousands(failed) + " failed" : "");
        if (o.run.dryRun)
            std::cerr << totals << std::endl;
        else
            out.line(totals);
    }
    if (out.error() != 0) {
        std::cerr << "carrowin-cli: cannot write to standard output: " << std::strerror(out.error()) << std::endl;
        status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    carrowin::cli::prepareStandardStreams();
    std::vector<std::string> args = carrowin::cli::utf8Arguments(argc, argv);
    std::vector<char*> argvUtf8;
    for (std::string& a : args)
        argvUtf8.push_back(a.data());

    CLI::App app{"Splits OE4 mailboxes (*.mbx) into one file per message: .eml for mail,\n"
                 ".nws for news, named after the Subject line (default) or after a prefix.",
                 "carrowin-cli"};
    Options o;
    app.add_option("--prefix", o.prefix, "Name the files TEXT, TEXT(1)... instead of by subject")
        ->type_name("TEXT")
        ->check([](const std::string& prefix) {
            // Refused before anything is made, like any other wrong argument.
            return carrowin::extract::settingsRefusal({false, false, prefix, "."});
        });
    app.add_flag("--keep-re", o.keepRe, "Keep a leading \"Re:\" of the subject in the file name");
    app.add_option("-o,--output", o.output, "Output folder, made if missing (default: current folder)")
        ->type_name("DIR");
    app.add_flag("-q,--quiet", o.quiet, "Do not show progress");
    app.add_flag("--store", o.store, "Split the mail store's folder (as the window finds it)");
    app.add_flag("--dates", o.run.dates, "Date each file by its message's Date: header");
    app.add_flag("--decode-subjects", o.run.decodeSubjects, "Name files by the header's Subject:, decoded");
    app.add_flag("--dry-run", o.run.dryRun, "Write nothing; list the name each message would get");
    app.add_flag("--skip-existing", o.run.skipExisting, "Skip a message that a file of its name already holds");
    app.add_option("SOURCE", o.sources, "A MAILBOX file, a FOLDER of mailboxes, or - (below)")->type_name("");
    app.set_version_flag("--version", "carrowin-cli " CARROWIN_VERSION);
    app.footer("Sources:\n"
               "  MAILBOX  a mailbox file, split into DIR\n"
               "  FOLDER   each mailbox (*.mbx) in it split into a folder of DIR named after it\n"
               "           (Inbox.mbx into DIR/Inbox; a taken name is numbered: Inbox(1))\n"
               "  -        a mailbox read from standard input, split into DIR\n"
               "\n"
               "Options in detail:\n"
               "  --dates            a message without a date that can be read keeps the time\n"
               "                     of writing, and the summary counts it\n"
               "  --decode-subjects  the Subject: field of the header block, its encoded words\n"
               "                     (=?charset?B?...?=, =?charset?Q?...?=) decoded, 8-bit text\n"
               "                     read as UTF-8, or else as Windows-1252\n"
               "  --dry-run          one line a message on standard output, tab-separated: its\n"
               "                     number, its offset in the mailbox, its size in bytes and\n"
               "                     the file name it would get; nothing is written or made\n"
               "  --skip-existing    a message is skipped when a file that was in its folder\n"
               "                     before, under its name or a numbered form of it, holds the\n"
               "                     same bytes; a FOLDER's mailbox then goes into its existing\n"
               "                     folder, so a second run or backup adds only what is new\n"
               "\n"
               "Exit status:\n"
               "  0    every mailbox was split\n"
               "  1    a mailbox or a message file failed, or the summary could not be written\n"
               "  2    usage error (nothing was written)\n"
               "  130  interrupted by Ctrl+C (143 by SIGTERM, 129 by SIGHUP) after the message\n"
               "       being written; the files written so far are kept\n"
               "\n"
               "Examples:\n"
               "  carrowin-cli -o messages Inbox.mbx \"Sent Items.mbx\"\n"
               "  carrowin-cli --store --dates --decode-subjects --skip-existing -o rescued");
    // On Windows CLI11 would read "/o" as "-o", and so a path such as /mail/Inbox.mbx
    // as an unknown option: options start with "-" everywhere.
    app.allow_windows_style_options(false);
    app.get_formatter()->label("Positionals", "Arguments");
    app.get_formatter()->column_width(21); // the lines fit 80 columns
    try {
        app.parse(static_cast<int>(argvUtf8.size()), argvUtf8.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) // --help and --version
            return app.exit(e);
        std::cerr << "carrowin-cli: " << e.what() << "\nRun carrowin-cli --help for more information." << std::endl;
        return 2;
    }
    if (o.sources.empty() && !o.store) {
        std::cerr << "carrowin-cli: no MAILBOX, FOLDER or --store given\nRun carrowin-cli --help for more information."
                  << std::endl;
        return 2;
    }

    carrowin::cli::installStopHandlers();
    return run(o);
}
