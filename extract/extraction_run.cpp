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

    // Writes the body, then gives it the first free name: the name is claimed only when
    // the message is complete, and claiming it is the existence test, so the file named
    // is always the one just written and nothing is ever replaced.
    void write(std::string_view body, const Progress& before)
    {
        NamingSettings settings = m_host.currentSettings();
        if (const std::string why = settingsRefusal(settings); !why.empty())
            throw ExtractError(ErrorKind::Settings, {}, why);
        if (!endsWithSeparator(settings.outputFolder))
            settings.outputFolder += kPathSeparator;
        const OutputFolder& folder = folderFor(settings.outputFolder);
        const std::string base = baseNameFor(body, settings);
        const std::string_view ext = extensionFor(body);

        PendingFile file = folder.createPending();
        if (const std::error_code err = writeBody(file, body, before))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write",
                                         joinPath(folder.path(), nameItWouldGet(folder, base, ext)), err);
        const TakenTest taken = [&](const std::string& name) {
            std::string key = fileNameKey(name);
            if (m_knownTaken.contains(key) || isReservedDeviceName(name))
                return true;
            const bool published = folder.publish(file, name);
            m_knownTaken.insert(std::move(key));
            return !published;
        };
        const ChosenName chosen = chooseFreeName(base, ext, taken, m_memo, kFileNameLimit);
        folder.finish(file, chosen.fileName);
        m_host.nameChosen(chosen.baseName, settings.outputFolder);
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

    // A large body goes in pieces, with the host told before each.
    std::error_code writeBody(PendingFile& file, std::string_view body, const Progress& before)
    {
        if (body.size() <= kWritePiece)
            return file.writeAll(body);
        Progress p = before;
        for (std::size_t at = 0; at < body.size(); at += kWritePiece) {
            p.bytesDone = before.bytesDone + at;
            m_host.writing(p);
            if (const std::error_code err = file.writeAll(body.substr(at, kWritePiece)))
                return err;
        }
        return {};
    }

    // The name a message that could not be written would have got, for the words about it.
    std::string nameItWouldGet(const OutputFolder& folder, const std::string& base, std::string_view ext)
    {
        NumberingMemo scratch{fileNameKey};
        const TakenTest taken = [&](const std::string& name) {
            return m_knownTaken.contains(fileNameKey(name)) || isReservedDeviceName(name) || folder.holds(name);
        };
        return chooseFreeName(base, ext, taken, scratch, kFileNameLimit).fileName;
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
        writer.write(bodyOf(bytes, *record), {summary.filesWritten, record->bodyBegin, bytes.size()});
        ++summary.filesWritten;
        host.fileWritten({summary.filesWritten, record->bodyEnd, bytes.size()});
        from = record->bodyEnd;
    }
}

} // namespace carrowin::extract
