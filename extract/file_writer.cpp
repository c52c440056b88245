#include "file_writer.h"

#include "errors.h"
#include "file_io.h"
#include "path_rules.h"
#include "paths.h"

namespace carrowin::extract {

// What the run may be ahead of the thread: messages queued (each may hold an open file)
// and their bytes. The thread is woken for a batch at a time (waking it for every small
// message would cost the run more than writing it), and nothing waits longer than 20 ms
// in memory: what a killed run had not yet written is lost.
FileWriter::FileWriter()
    : m_worker([this](std::span<Job> group) { writeGroup(group); },
               {.maxQueued = 256,
                .maxQueuedBytes = std::size_t{8} << 20,
                .maxGroup = 256,
                .wakeBatch = 32,
                .wakeBytes = std::size_t{4} << 20,
                .maxDelay = std::chrono::milliseconds(20)})
{
}

void FileWriter::add(const OutputFolder& folder, ReadMessage message, ChosenName name)
{
    const bool large = message.file.has_value();
    const std::size_t bytes = message.keptBytes.size();
    m_worker.submit({&folder, std::move(message), std::move(name), nullptr, false}, bytes);
    if (large)
        m_worker.flush(); // a large message's file is named at once
}

void FileWriter::flush()
{
    m_worker.flush();
}

std::uint64_t FileWriter::takeNamed()
{
    std::uint64_t named = 0;
    while (std::optional<Job> job = m_worker.tryTake())
        named = count(std::move(job), named);
    return named;
}

std::uint64_t FileWriter::drain()
{
    std::uint64_t named = 0;
    m_worker.flush();
    while (m_worker.inFlight() > 0)
        named = count(m_worker.take(), named);
    return named;
}

std::uint64_t FileWriter::count(std::optional<Job> job, std::uint64_t named)
{
    if (job->failure)
        std::rethrow_exception(job->failure);
    return job->dropped ? named : named + 1;
}

void FileWriter::writeGroup(std::span<Job> group) noexcept
{
    for (Job& job : group) {
        if (m_failed) {
            job.dropped = true; // the run ends with the failure before it
            continue;
        }
        try {
            writeOne(job);
        } catch (...) {
            job.failure = std::current_exception();
            m_failed = true;
        }
        job.message.file.reset(); // a file without a name vanishes with its bytes
    }
}

void FileWriter::writeOne(Job& job)
{
    const OutputFolder& folder = *job.folder;
    ReadMessage& m = job.message;
    std::string fileName = job.name.fileName;
    if (!m.file) {
        m.file.emplace(folder.createPending());
        if (const std::error_code err = m.file->write(std::exchange(m.keptBytes, {})))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(folder.path(), fileName), err);
    }
    // A file system that keeps no such times leaves the time of writing: the message
    // itself is whole, which is what counts.
    if (m.modified)
        (void)m.file->setModified(*m.modified);
    if (!folder.name(*m.file, fileName)) {
        // Taken since the run chose it: numbered on from there, never replacing.
        NumberingMemo memo;
        const TakenTest taken = [&](const std::string& candidate) {
            return isReservedDeviceName(candidate) || !folder.name(*m.file, candidate);
        };
        const std::string ext = fileName.substr(job.name.baseName.size());
        fileName = chooseFreeName(job.name.baseName, ext, taken, memo, kFileNameLimit).fileName;
    }
    folder.finish(*m.file, fileName);
}

} // namespace carrowin::extract
