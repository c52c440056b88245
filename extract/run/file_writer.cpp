#include "file_writer.h"

#include "errors.h"
#include "mailbox_format.h"
#include "native_files.h"
#include "output_folder.h"
#include "paths.h"

#include <algorithm>
#include <vector>

namespace carrowin::extract {

namespace {

// How many written files the second stage may hold, waiting or in a batch: each is an
// open file until named. Half the files the process may open at once goes to them.
std::size_t filesToHold()
{
    return std::clamp<std::size_t>(native::openFilesAllowed() / 4, 64, 1024);
}

} // namespace

// The first stage is woken for a batch at a time (waking it for every small message
// would cost the run more than writing it), and nothing waits longer than 20 ms in
// memory: what a killed run had not yet written is lost. Making files durable costs a
// file system commit whatever their number, and many commits rewrite the same metadata
// again and again: the second stage waits for 512 files, 64 MiB or 100 ms (measured on
// ext4: a commit for every few dozen files costs 1.25 times one at the end, for every
// 512 files about the same as one at the end).
FileWriter::FileWriter(const ReadAt& mailbox, NameOn nameOn)
    : m_mailbox(mailbox), m_nameOn(std::move(nameOn)),
      m_naming([this](std::span<Job> group) { nameGroup(group); },
               {.maxQueued = filesToHold(),
                .maxGroup = filesToHold(),
                .wakeBatch = 512,
                .wakeBytes = std::size_t{64} << 20,
                .maxDelay = std::chrono::milliseconds(100)}),
      m_writing([this](std::span<Job> group) { writeGroup(group); },
                {.maxQueued = 256,
                 .maxQueuedBytes = std::size_t{8} << 20,
                 .maxGroup = 64,
                 .wakeBatch = 32,
                 .wakeBytes = std::size_t{4} << 20,
                 .maxDelay = std::chrono::milliseconds(20)})
{
}

void FileWriter::add(const OutputFolder& folder, ReadMessage message, ChosenName name, const OutputFolder* into)
{
    const bool large = message.file.has_value();
    const std::size_t bytes = message.keptBytes.size();
    m_smallInFlight += large ? 0 : 1;
    m_writing.submit({&folder, into, std::move(message), std::move(name), nullptr, false, !large}, bytes);
    if (large)
        m_writing.flush(); // a large message's file is named at once
    passWritten(false);
}

void FileWriter::takeNamed()
{
    passWritten(false);
    while (std::optional<Job> job = m_naming.tryTake())
        count(*job);
}

void FileWriter::drain()
{
    m_writing.flush();
    passWritten(true);
    m_naming.flush();
    while (m_naming.inFlight() > 0) {
        Job job = m_naming.take();
        count(job);
    }
}

// Written files go on to be made durable and named, in order.
void FileWriter::passWritten(bool wait)
{
    while (m_writing.inFlight() > 0) {
        std::optional<Job> job = wait ? std::optional(m_writing.take()) : m_writing.tryTake();
        if (!job)
            return;
        const std::size_t bytes = job->message.size;
        m_naming.submit(std::move(*job), bytes);
    }
}

void FileWriter::count(Job& job)
{
    m_smallInFlight -= job.small ? 1 : 0;
    if (job.failure)
        std::rethrow_exception(job.failure);
    if (!job.named)
        return;
    ++m_named;
    m_undated += job.undated ? 1 : 0;
    m_lastNamed = std::move(job.name.baseName);
}

void FileWriter::writeGroup(std::span<Job> group) noexcept
{
    for (Job& job : group) {
        if (m_writingFailed) {
            job.message.file.reset(); // the run ends with the failure before it
            continue;
        }
        try {
            write(job);
        } catch (...) {
            job.failure = std::current_exception();
            job.message.file.reset(); // a file without a name vanishes with its bytes
            m_writingFailed = true;
        }
    }
}

void FileWriter::nameGroup(std::span<Job> group) noexcept
{
    // The files up to the first that failed to be written are made durable together,
    // then named; none after a failure is.
    std::vector<PendingFile*> files;
    std::size_t ready = 0;
    for (; ready < group.size() && !m_namingFailed; ++ready) {
        if (group[ready].failure || !group[ready].message.file) {
            m_namingFailed = true;
            break;
        }
        files.push_back(&*group[ready].message.file);
    }
    try {
        if (!files.empty())
            group.front().folder->makeDurable(files, group.front().name.fileName);
    } catch (...) {
        group.front().failure = std::current_exception();
        m_namingFailed = true;
        ready = 0;
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        Job& job = group[i];
        if (i < ready) {
            try {
                name(job);
            } catch (...) {
                job.failure = std::current_exception();
                m_namingFailed = true;
                ready = i + 1;
            }
        }
        if (!job.named)
            job.message.file.reset();
    }
}

void FileWriter::write(Job& job)
{
    const OutputFolder& folder = *job.folder;
    ReadMessage& m = job.message;
    if (!m.file) {
        const auto fail = [&](std::error_code err) {
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write", text::joinPath(folder.path(), job.name.fileName),
                                         err);
        };
        std::error_code ec;
        std::optional<PendingFile> file = folder.createPending(ec);
        if (!file)
            fail(ec);
        m.file.emplace(std::move(*file));
        if (m.inMailbox)
            copyFromMailbox(job);
        else if (const std::error_code err = m.file->write(std::exchange(m.keptBytes, {})))
            fail(err);
    }
    // A file system that keeps no such time leaves the time of writing, and the message
    // counts as undated: the message itself is whole, which is what counts.
    job.undated = m.modified && !m.file->setModified(*m.modified);
}

// A large message that was not already there: its bytes, read again.
void FileWriter::copyFromMailbox(Job& job)
{
    ReadMessage& m = job.message;
    constexpr std::size_t kCopyPiece = std::size_t{1} << 20;
    m_copyBuffer.resize(kCopyPiece);
    const std::uint64_t from = m.marker + kRecordHeaderSize;
    for (std::uint64_t done = 0; done < m.size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyPiece, m.size - done));
        const std::size_t got = m_mailbox(from + done, m_copyBuffer.data(), n);
        if (const std::error_code err = m.file->write(std::string_view(m_copyBuffer.data(), got)))
            throw ExtractError::fromCode(ErrorKind::Output, "Cannot write",
                                         text::joinPath(job.folder->path(), job.name.fileName), err);
        done += got;
    }
}

void FileWriter::name(Job& job)
{
    const OutputFolder& folder = *job.folder;
    PendingFile& file = *job.message.file;
    if (!folder.name(file, job.name.fileName, job.into)) {
        const TakenTest taken = [&](const std::string& candidate) { return !folder.name(file, candidate, job.into); };
        job.name = m_nameOn(job.name, job.into ? *job.into : folder, taken);
    }
    folder.finish(file, job.name.fileName, job.into);
    job.named = true;
}

} // namespace carrowin::extract
