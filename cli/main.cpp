// carrowin-cli: splits OE4 mailboxes into one file per message, named as the window
// names them.
#include "carrowin_version.h"
#include "console.h"
#include "errors.h"
#include "extraction_run.h"
#include "output_naming.h"
#include "progress_line.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {

struct Options {
    std::optional<std::string> prefix;
    bool keepRe = false;
    std::string output = ".";
    bool quiet = false;
    std::vector<std::string> mailboxes;
};

// The output folder, made with its parents only when a message is about to be written:
// a batch whose every mailbox fails leaves nothing behind.
class OutputFolderOnDemand {
public:
    explicit OutputFolderOnDemand(std::string path) : m_path(std::move(path)) {}
    void make()
    {
        if (m_made)
            return;
        std::error_code ec;
        std::filesystem::create_directories(std::u8string(m_path.begin(), m_path.end()), ec);
        if (ec)
            throw carrowin::extract::ExtractError(carrowin::extract::ErrorKind::Output, m_path,
                                                  "Cannot create the output folder \"" + m_path + "\": " + ec.message());
        m_made = true;
    }

private:
    std::string m_path;
    bool m_made = false;
};

// The settings a run starts from; the working name then carries over record by record.
class CliHost : public carrowin::extract::RunHost {
public:
    CliHost(const Options& o, OutputFolderOnDemand& folder, carrowin::cli::ProgressLine* progress)
        : m_settings{!o.prefix, !o.keepRe, o.prefix.value_or(""), o.output}, m_folder(folder), m_progress(progress)
    {
    }
    bool cancelRequested() override { return carrowin::cli::interruptRequested(); }
    carrowin::extract::NamingSettings currentSettings() override
    {
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

private:
    carrowin::extract::NamingSettings m_settings;
    OutputFolderOnDemand& m_folder;
    carrowin::cli::ProgressLine* m_progress;
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

// The run of one mailbox. Returns 0, 1 when it failed, or the interruption's status.
int extractOne(const Options& o, const std::string& mailbox, OutputFolderOnDemand& folder, SummaryOut& out)
{
    using namespace carrowin;
    const bool showProgress = !o.quiet && cli::isRedrawableTerminal(stderr);
    cli::ProgressLine progress(stderr, mailbox);
    CliHost host(o, folder, showProgress ? &progress : nullptr);
    try {
        const extract::RunSummary s = extract::runExtraction(mailbox, host);
        progress.clear();
        out.line(cli::summaryLine(mailbox, s.filesWritten, o.output));
        return s.ending == extract::RunEnding::Cancelled ? cli::interruptionStatus() : 0;
    } catch (...) { // every failure ends this mailbox in words, never the program
        progress.clear();
        std::cerr << "carrowin-cli: " << extract::describeFailure(std::current_exception()) << std::endl;
        return 1;
    }
}

int run(const Options& o)
{
    int status = 0;
    SummaryOut out;
    OutputFolderOnDemand folder(o.output);
    for (const auto& mailbox : o.mailboxes) {
        const int rc = extractOne(o, mailbox, folder, out);
        if (rc > 1) {
            std::cerr << "carrowin-cli: interrupted; the files written so far are kept" << std::endl;
            return rc;
        }
        status = std::max(status, rc);
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

    CLI::App app{"Splits OE4 mailboxes (*.mbx) into one file per message: .eml for mail, .nws for news,\n"
                 "named after the Subject line (default) or after a prefix.",
                 "carrowin-cli"};
    Options o;
    app.add_option("--prefix", o.prefix, "Name the files TEXT, TEXT(1), TEXT(2)... instead of by subject")
        ->type_name("TEXT")
        ->check([](const std::string& prefix) {
            // Refused before anything is made, like any other wrong argument.
            return carrowin::extract::settingsRefusal({false, false, prefix, "."});
        });
    app.add_flag("--keep-re", o.keepRe, "Keep a leading \"Re:\" of the subject in the file name");
    app.add_option("-o,--output", o.output, "Output folder, created when missing (default: current folder)")
        ->type_name("DIR");
    app.add_flag("-q,--quiet", o.quiet, "Do not show progress");
    app.add_option("MAILBOX", o.mailboxes, "Mailbox files to split, one run each")->required();
    app.set_version_flag("--version", "carrowin-cli " CARROWIN_VERSION);
    app.footer("Exit status:\n"
               "  0    every mailbox was split\n"
               "  1    a mailbox or a message file failed, or the summary could not be written\n"
               "  2    usage error (nothing was written)\n"
               "  130  interrupted by Ctrl+C (143 by SIGTERM, 129 by SIGHUP) after the message\n"
               "       being written; the files written so far are kept\n"
               "\n"
               "Examples:\n"
               "  carrowin-cli -o messages Inbox.mbx \"Sent Items.mbx\"");
    // On Windows CLI11 would read "/o" as "-o", and so a path such as /mail/Inbox.mbx
    // as an unknown option: options start with "-" everywhere.
    app.allow_windows_style_options(false);
    app.get_formatter()->label("Positionals", "Arguments");
    try {
        app.parse(static_cast<int>(argvUtf8.size()), argvUtf8.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) // --help and --version
            return app.exit(e);
        std::cerr << "carrowin-cli: " << e.what() << "\nRun carrowin-cli --help for more information." << std::endl;
        return 2;
    }

    carrowin::cli::installStopHandlers();
    return run(o);
}
