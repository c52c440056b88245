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
    explicit RecordWriter(RunHost& host) : m_host(host), m_memo(fileNameKey) {}

    void write(std::string_view body)
    {
        NamingSettings settings = m_host.currentSettings();
        if (const std::string why = settingsRefusal(settings); !why.empty())
            throw ExtractError(ErrorKind::Settings, {}, why);
        if (!endsWithSeparator(settings.outputFolder))
            settings.outputFolder += kPathSeparator;
        const OutputFolder& folder = folderFor(settings.outputFolder);

        // Creating the file exclusively is the existence test: a candidate is free exactly
        // when it could be created, and the naming takes the first free candidate, so the
        // file claimed here is the one it returns.
        std::optional<OutputFile> claimed;
        const TakenTest taken = [&](const std::string& name) {
            std::string key = fileNameKey(name);
            if (m_knownTaken.contains(key) || isReservedDeviceName(name))
                return true;
            claimed = folder.createExclusive(name);
            m_knownTaken.insert(std::move(key));
            return !claimed;
        };
        const ChosenName chosen = nameRecord(body, settings, taken, m_memo, kFileNameLimit);
        m_host.nameChosen(chosen.baseName, settings.outputFolder);
        writeBody(folder, chosen.fileName, *claimed, body);
    }

private:
    const OutputFolder& folderFor(const std::string& path)
    {
        if (!m_folder || m_folder->path() != path) {
            m_folder = std::make_unique<OutputFolder>(path);
            // What this run knows about taken names holds for one folder only.
            m_knownTaken.clear();
            m_memo = NumberingMemo{fileNameKey};
        }
        return *m_folder;
    }

    static void writeBody(const OutputFolder& folder, const std::string& name, OutputFile& file,
                          std::string_view body)
    {
        std::error_code err = file.writeAll(body);
        const std::error_code closeErr = file.close();
        if (!err)
            err = closeErr;
        if (err) {
            folder.remove(name);
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", joinPath(folder.path(), name), err);
        }
    }

    RunHost& m_host;
    NumberingMemo m_memo;
    std::unordered_set<std::string> m_knownTaken; // by fileNameKey
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
