#include "extraction_run.h"

#include "errors.h"
#include "file_io.h"
#include "path_rules.h"
#include "record_scan.h"

#include <memory>
#include <unordered_set>

namespace carrowin::extract {
namespace {

// Everything one run keeps between records.
class RecordWriter {
public:
    explicit RecordWriter(RunHost& host) : m_host(host) {}

    void write(std::string_view body)
    {
        NamingSettings settings = m_host.currentSettings();
        if (const std::string why = settingsRefusal(settings); !why.empty())
            throw ExtractError(ErrorKind::Settings, {}, why);
        if (!endsWithSeparator(settings.outputFolder))
            settings.outputFolder += kPathSeparator;
        const OutputFolder& folder = folderFor(settings.outputFolder);

        const TakenTest taken = [&](const std::string& name) {
            return m_knownTaken.contains(name) || isReservedDeviceName(name) || folder.hasEntry(name);
        };
        for (;;) {
            const ChosenName chosen = nameRecord(body, settings, taken, m_memo, kMaxFileNameBytes);
            std::optional<OutputFile> file = folder.createExclusive(chosen.fileName);
            m_knownTaken.insert(chosen.fileName);
            if (!file)
                continue; // appeared since it was tested: number on
            m_host.nameChosen(chosen.baseName, settings.outputFolder);
            writeBody(folder, chosen.fileName, *file, body);
            return;
        }
    }

private:
    const OutputFolder& folderFor(const std::string& path)
    {
        if (!m_folder || m_folder->path() != path)
            m_folder = std::make_unique<OutputFolder>(path);
        return *m_folder;
    }

    static void writeBody(const OutputFolder& folder, const std::string& name, OutputFile& file,
                          std::string_view body)
    {
        int err = file.writeAll(body);
        const int closeErr = file.close();
        if (err == 0)
            err = closeErr;
        if (err != 0) {
            folder.remove(name);
            throw ExtractError::fromErrno(ErrorKind::Output, "Cannot write", joinPath(folder.path(), name), err);
        }
    }

    RunHost& m_host;
    NumberingMemo m_memo;
    std::unordered_set<std::string> m_knownTaken;
    std::unique_ptr<OutputFolder> m_folder;
};

} // namespace

std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName)
{
    if (inputFolder.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No input folder is given. Type or choose the folder that holds the mailbox.");
    if (mailboxName.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No mailbox is chosen. Choose the mailbox file to extract.");
    return joinPath(inputFolder, mailboxName);
}

RunSummary runExtraction(const std::string& path, RunHost& host)
{
    const MailboxImage image = MailboxImage::open(path);
    const std::string_view bytes = image.bytes();
    if (!looksLikeMailbox(bytes))
        throw ExtractError(ErrorKind::Mailbox, path,
                           "\"" + path + "\" is not an OE4 mailbox: it has neither the \"JMF6\" header nor any message record");

    RecordWriter writer(host);
    RunSummary summary;
    std::uint64_t from = 0;
    for (;;) {
        if (host.cancelRequested()) {
            summary.ending = RunEnding::Cancelled;
            return summary;
        }
        const auto record = nextRecord(bytes, from);
        if (!record)
            return summary;
        writer.write(bodyOf(bytes, *record));
        ++summary.filesWritten;
        host.fileWritten({summary.filesWritten, record->bodyEnd, bytes.size()});
        from = record->bodyEnd;
    }
}

} // namespace carrowin::extract
