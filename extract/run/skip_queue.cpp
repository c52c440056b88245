#include "skip_queue.h"

#include "output_folder.h"
#include "mailbox_format.h"

#include <algorithm>
#include <system_error>

namespace carrowin::extract {
namespace {

// What may wait: messages (each may hold an open file) and the bytes kept of them.
constexpr std::size_t kMaxWaiting = 64;
constexpr std::size_t kMaxWaitingBytes = std::size_t{8} << 20;

} // namespace

SkipQueue::SkipQueue(const ReadAt& mailbox)
    : m_mailbox(mailbox),
      m_comparer(
          [this](std::span<Comparison> group) {
              for (Comparison& c : group)
                  compare(c);
          },
          // Woken for a few at a time: waking it for every one costs more than the comparison.
          {.maxQueued = kMaxWaiting * 2, .maxGroup = kMaxWaiting, .wakeBatch = 16})
{
}

void SkipQueue::add(ReadMessage message, std::vector<Candidate> candidates)
{
    m_waitingBytes += message.keptBytes.size();
    if (candidates.empty()) {
        m_waiting.emplace_back(std::move(message));
        return;
    }
    m_waiting.emplace_back(std::nullopt);
    m_comparer.submit({std::move(message), std::move(candidates), std::nullopt});
}

std::optional<SkipQueue::Ready> SkipQueue::next(bool wait)
{
    if (m_waiting.empty())
        return std::nullopt;
    std::optional<Ready> ready;
    if (m_waiting.front()) {
        ready.emplace(Ready{std::move(*m_waiting.front()), std::nullopt});
    } else {
        std::optional<Comparison> done = wait ? std::optional(m_comparer.take()) : m_comparer.tryTake();
        if (!done)
            return std::nullopt;
        ready.emplace(Ready{std::move(done->message), std::move(done->heldBy)});
    }
    m_waiting.pop_front();
    m_waitingBytes -= ready->message.keptBytes.size();
    return ready;
}

bool SkipQueue::full() const
{
    return m_waiting.size() > kMaxWaiting || m_waitingBytes > kMaxWaitingBytes;
}

void SkipQueue::holdBack()
{
    // Until the comparisons among the first half are done: the comparer stays busy, and
    // is not asked to wake this thread for every one.
    const auto half = m_waiting.begin() + static_cast<std::ptrdiff_t>(m_waiting.size() / 2 + 1);
    m_comparer.waitUntilDone(static_cast<std::size_t>(std::count(m_waiting.begin(), half, std::nullopt)));
}

// Whether a candidate holds exactly the message's bytes (and the zeros it is to hold after
// them). Sizes were compared first; only a file of the same size is read. A failure to
// read means the message is written.
void SkipQueue::compare(Comparison& c) noexcept
{
    try {
        const ReadMessage& m = c.message;
        const bool kept = !m.file && m.keptBytes.size() == m.size; // not in a dry run
        const OutputFolder::BytesAt ours = [&](std::uint64_t offset, std::size_t n) {
            if (kept)
                return std::string_view(m.keptBytes).substr(static_cast<std::size_t>(offset), n);
            m_compareBuffer.resize(n);
            for (std::size_t got = 0; got < n;) {
                if (!m.file) { // left in the mailbox
                    got += m_mailbox(m.marker + kRecordHeaderSize + offset + got, m_compareBuffer.data() + got,
                                     n - got);
                    continue;
                }
                std::error_code ec; // from a stream, it went to its file
                const std::size_t more = m.file->readAt(offset + got, m_compareBuffer.data() + got, n - got, ec);
                if (ec || more == 0)
                    throw std::system_error(ec);
                got += more;
            }
            return std::string_view(m_compareBuffer);
        };
        // Past the message's bytes, zeros: a file that kept its record's padding.
        const OutputFolder::BytesAt padded = [&](std::uint64_t offset, std::size_t n) {
            if (offset + n <= m.size)
                return ours(offset, n);
            m_paddedBuffer.assign(offset < m.size ? ours(offset, static_cast<std::size_t>(m.size - offset)) : "");
            m_paddedBuffer.resize(n, '\0');
            return std::string_view(m_paddedBuffer);
        };
        for (const Candidate& candidate : c.candidates)
            if (candidate.folder->holdsBytes(candidate.name, m.size + candidate.zerosAfter,
                                             candidate.zerosAfter == 0 ? ours : padded)) {
                c.heldBy = candidate;
                return;
            }
    } catch (...) {
    }
}

} // namespace carrowin::extract
