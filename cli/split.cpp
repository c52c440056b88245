#include "split.h"

#include "archive.h"
#include "console.h"
#include "eml_store.h"
#include "errors.h"
#include "paths.h"
#include "run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace carrowin::cli {
namespace {

// The settings a run starts from; the working name then carries over record by record.
class CliHost : public extract::RunHost, public extract::NamingHost {
public:
    CliHost(const Options& o, const Job& job, const std::string& label, SummaryOut& out, ProgressLine* progress)
        : m_settings{.bySubject = !o.prefix, .removeRe = !o.keepRe, .workingName = o.prefix.value_or(""),
                     .outputFolder = job.to.folder},
          m_job(job), m_label(label), m_written(formatInfo(o.format).written), m_out(out), m_progress(progress)
    {
    }
    bool cancelRequested() override { return interruptRequested(); }
    extract::NamingSettings currentSettings() override { return m_settings; }
    void nameChosen(const std::string& workingName, const std::string& outputFolder) override
    {
        m_settings.workingName = workingName;
        m_settings.outputFolder = outputFolder;
    }
    void messageDone(const extract::Progress& p) override
    {
        if (m_progress)
            m_progress->update(p);
    }
    void writing(const extract::Progress& p) override { messageDone(p); }
    void filesNamed(const extract::Progress& p, const std::string&) override
    {
        m_named = p.filesNamed;
        messageDone(p);
    }
    // The messages on the disk under their names, as the run last told.
    std::uint64_t named() const { return m_named; }
    void planned(const extract::PlannedFile& f) override
    {
        if (m_progress)
            m_progress->clear();
        m_out.line(std::to_string(f.number) + "\t" + std::to_string(f.offset) + "\t" + std::to_string(f.size) + "\t"
                   + m_job.shownAs + f.fileName + (f.alreadyThere ? "\talready there" : ""));
    }

    // "carrowin-cli: Inbox.mbx: message 12 (offset 3,456, 789 bytes) was not uploaded: why"
    void refused(const extract::RefusedMessage& m) override
    {
        if (m_progress)
            m_progress->clear();
        std::cerr << "carrowin-cli: " << m_label << ": message " << m.number << " (offset " << withThousands(m.offset)
                  << ", " << withThousands(m.size) << " bytes) was not " << m_written << ": " << m.reason << std::endl;
    }

private:
    extract::NamingSettings m_settings;
    const Job& m_job;
    const std::string& m_label;
    const std::string_view m_written;
    SummaryOut& m_out;
    ProgressLine* m_progress;
    std::uint64_t m_named = 0;
};

// Standard input, binary, read in pieces as it comes. A terminal there would have the
// program wait for a mailbox typed in: that is a mistake, said at once.
extract::ReadNext standardInput()
{
    using extract::ErrorKind;
    using extract::ExtractError;
    if (isTerminal(stdin))
        throw ExtractError(ErrorKind::Mailbox, "-", "Standard input is a terminal: give the mailbox with < or a pipe");
    return [](char* buffer, std::size_t n) -> std::optional<std::size_t> {
        const std::optional<long long> got = readStandardInput(buffer, n);
        if (got && *got < 0)
            throw ExtractError(ErrorKind::Mailbox, "-", std::string("Cannot read standard input: ") + std::strerror(errno));
        if (!got)
            return std::nullopt;
        return static_cast<std::size_t>(*got);
    };
}

// A server's failures have statuses of their own; any other is 1.
int failureStatus(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const extract::ExtractError& e) {
        switch (e.kind()) {
        case extract::ErrorKind::Connection:
            return kConnectionStatus;
        case extract::ErrorKind::Authentication:
            return kAuthenticationStatus;
        case extract::ErrorKind::Server:
            return kRefusedStatus;
        case extract::ErrorKind::Settings:
        case extract::ErrorKind::Mailbox:
        case extract::ErrorKind::Output:
            return 1;
        }
    } catch (...) {
    }
    return 1;
}

} // namespace

void SummaryOut::line(const std::string& text)
{
    if (std::fputs((text + "\n").c_str(), stdout) < 0 || std::fflush(stdout) != 0)
        m_error = m_error ? m_error : errno;
}

int splitMailbox(const Options& o, const Job& job, Tally& total, SummaryOut& out)
{
    const bool stdIn = job.mailbox == "-";
    const std::string label = stdIn ? "standard input" : job.mailbox;
    const bool showProgress = !o.quiet && enableRedraw(stderr);
    ProgressLine progress(stderr, label);
    CliHost host(o, job, label, out, showProgress ? &progress : nullptr);
    const std::string_view written = formatInfo(o.format).written;
    try {
        const std::optional<extract::ReadNext> stream = stdIn ? std::optional(standardInput()) : std::nullopt;
        const extract::MailboxSource source{stdIn ? label : job.mailbox, stream ? &*stream : nullptr};
        const extract::RunSummary s =
            extract::runMailbox(source, formatInfo(o.format).store(job.to, host), host, o.run);
        progress.clear();
        const std::string target = s.fileName.empty() ? job.to.folder : text::joinPath(job.to.folder, s.fileName);
        const Tally tally{s.filesWritten, s.skipped, s.undated, s.refused};
        total.add(tally);
        const std::string summary = label + ": " + summaryText(tally, target, o.run.dryRun, written);
        if (o.run.dryRun)
            std::cerr << summary << std::endl;
        else
            out.line(summary);
        if (s.ending == extract::RunEnding::Cancelled)
            return interruptionStatus();
        return s.refused > 0 ? kRefusedStatus : 0;
    } catch (...) { // every failure ends this mailbox in words, never the program
        progress.clear();
        // What is there stays: the count of it comes first, the progress line may lag.
        if (host.named() > 0) {
            const Tally tally{host.named(), 0, 0, 0};
            total.add(tally);
            out.line(label + ": " + summaryText(tally, job.to.folder, false, written) + " before the error");
        }
        std::cerr << "carrowin-cli: " << extract::describeFailure(std::current_exception()) << std::endl;
        return failureStatus(std::current_exception());
    }
}

} // namespace carrowin::cli
