#include "imap_store.h"

#include "ascii.h"
#include "errors.h"
#include "modified_utf7.h"
#include "outgoing_message.h"
#include "record_text.h"

#include <algorithm>
#include <deque>
#include <map>

namespace carrowin::extract {
namespace {

using imap::Response;
using imap::Session;

// APPENDs sent and not answered yet, where the server takes them without a word each.
constexpr std::size_t kInFlight = 256;
constexpr std::size_t kComparePiece = std::size_t{1} << 20;

// What stands for the hierarchy's separator inside one level's name.
std::string standIn(char separator)
{
    if (separator == '.')
        return "\u2024"; // ONE DOT LEADER
    if (separator == '/')
        return "\u2215"; // DIVISION SLASH
    return "_";
}

// The messages a folder held when the run came to it, for skipExisting: each may stand
// for one message of the mailbox only, so that a mailbox that holds a message twice
// still has it twice on the server.
class HeldMessages {
public:
    explicit HeldMessages(const std::vector<Session::Held>& held)
    {
        for (const Session::Held& h : held)
            m_bySize.emplace(h.size, h);
    }

    // Whether one not taken yet holds the message's bytes, as the server gives them back
    // (its line ends in CR LF, or as they were; a NUL as it was, or as 0x80): it is taken.
    // Only those of the message's size are read.
    bool take(Session& session, const OutgoingMessage& message)
    {
        for (const bool crlf : {true, false}) {
            if (!crlf && message.size() == message.sizeInCrlf())
                break;
            const auto [first, last] = m_bySize.equal_range(crlf ? message.sizeInCrlf() : message.size());
            for (auto held = first; held != last; ++held)
                for (const bool nulAs80 : {false, true}) {
                    if (nulAs80 && !message.holdsNul())
                        break;
                    if (same(session, held->second, message, {crlf, nulAs80})) {
                        m_bySize.erase(held);
                        return true;
                    }
                }
        }
        return false;
    }

private:
    static bool same(Session& session, const Session::Held& held, const OutgoingMessage& message,
                     OutgoingMessage::Form form);

    std::multimap<std::uint64_t, Session::Held> m_bySize; // in the folder's order among one size
};

// The message's bytes against the server's, piece by piece, until they differ.
bool HeldMessages::same(Session& session, const Session::Held& held, const OutgoingMessage& message,
                        OutgoingMessage::Form form)
{
    std::string theirs;
    std::size_t at = 0;
    std::uint64_t fetched = 0;
    bool equal = true;
    message.read(form, [&](std::string_view ours) {
        while (equal && !ours.empty()) {
            if (at == theirs.size()) {
                theirs = session.piece(held.uid, fetched, kComparePiece);
                fetched += theirs.size();
                at = 0;
                equal = !theirs.empty();
                continue;
            }
            const std::size_t n = std::min(ours.size(), theirs.size() - at);
            equal = ours.substr(0, n) == std::string_view(theirs).substr(at, n);
            ours.remove_prefix(n);
            at += n;
        }
        return equal;
    });
    return equal && at == theirs.size() && fetched == held.size;
}

// The session of one run: its folder, what it sent, what the server confirmed.
class Upload {
public:
    Upload(const imap::ServerAccount& account, const ImapFolder& folder, RunReport& report, bool skipExisting)
        : m_report(report), m_shown(shownFolder(folder)), m_session(account)
    {
        openFolder(folder, skipExisting);
    }

    void send(const MessageDone& m, const OutgoingMessage& message);
    // The answers that have come, told to the report.
    void takeArrived()
    {
        guarded([this] { takeAnswers(false); });
    }
    void finish();
    void finishQueued() noexcept;

private:
    struct Sent {
        MessageDone message;
        bool undated = false;
    };

    // A step of the session; a connection lost on it says which message was on its way.
    template <class Step> void guarded(const Step& step)
    {
        try {
            step();
        } catch (const ExtractError& e) {
            if (e.kind() == ErrorKind::Connection)
                lost(e);
            throw;
        }
    }
    void openFolder(const ImapFolder& folder, bool skipExisting);
    // The answers that have come (with `all`: every one still due), told to the report.
    void takeAnswers(bool all);
    void append(const MessageDone& m, const OutgoingMessage& message);
    // The answer to the oldest message in flight, waited for or only if it has come.
    bool takeAnswer(bool wait);
    std::optional<std::string> refusal(const OutgoingMessage& message) const;
    void answer(const Sent& sent, const Response& r);
    void refusedBy(const MessageDone& m, const Response& r);
    // A connection lost: its words, and which message was on its way.
    [[noreturn]] void lost(const ExtractError& e);

    RunReport& m_report;
    const std::string m_shown;
    Session m_session;
    std::string m_folder; // on the server, in modified UTF-7
    std::optional<HeldMessages> m_held;
    std::deque<Sent> m_sent; // in the order they were sent, not confirmed yet
    std::optional<MessageDone> m_sending;
    std::uint64_t m_confirmed = 0;
    std::uint64_t m_confirmedBytes = 0;
    bool m_lost = false; // the connection: what the words of its loss said is final
};

void Upload::openFolder(const ImapFolder& folder, bool skipExisting)
{
    m_folder = serverFolderName(folder, m_session.separator());
    const bool there = m_folder == "INBOX" || m_session.exists(m_folder);
    if (!there)
        m_session.create(m_folder);
    // Appended to while it is selected: a server that opens the folder anew for every
    // APPEND to another (Dovecot re-reads its index each time) takes time that grows with
    // what the folder holds.
    const std::uint64_t held = m_session.open(m_folder, false);
    if (skipExisting && there)
        m_held.emplace(m_session.sizes(held));
}

void Upload::send(const MessageDone& m, const OutgoingMessage& message)
{
    m_sending = m;
    guarded([&] {
        takeAnswers(false);
        if (m_held && m_held->take(m_session, message))
            m_report.foundThere(m, m_shown);
        else if (const std::optional<std::string> why = refusal(message))
            m_report.refused(m, *why);
        else
            append(m, message);
    });
    m_sending.reset();
}

void Upload::append(const MessageDone& m, const OutgoingMessage& message)
{
    while (m_session.inFlight() >= kInFlight)
        takeAnswer(true);
    std::optional<std::int64_t> date = message.date();
    if (date && !imap::internalDate(*date))
        date.reset(); // a year IMAP cannot say
    if (const std::optional<Response> no = m_session.beginAppend({m_folder, date, message.size(), message.holdsNul()}))
        return refusedBy(m, *no);
    m_sent.push_back({m, !date});
    message.read({}, [&](std::string_view bytes) {
        m_session.sendBytes(bytes);
        return true;
    });
    m_session.endAppend();
    m_report.handedOn(m, m_shown);
}

std::optional<std::string> Upload::refusal(const OutgoingMessage& message) const
{
    if (message.holdsNul() && !m_session.offers("BINARY"))
        return "it holds a NUL byte, which the server cannot take (it offers no BINARY)";
    if (const std::optional<std::uint64_t> limit = m_session.appendLimit(); limit && message.size() > *limit)
        return "it is larger than the " + std::to_string(*limit) + " bytes the server takes (APPENDLIMIT)";
    return std::nullopt;
}

bool Upload::takeAnswer(bool wait)
{
    const std::optional<Response> r = m_session.answered(wait);
    if (!r)
        return false;
    const Sent sent = m_sent.front();
    m_sent.pop_front();
    answer(sent, *r);
    return true;
}

void Upload::takeAnswers(bool all)
{
    while (takeAnswer(all)) {
    }
}

void Upload::answer(const Sent& sent, const Response& r)
{
    if (r.status != "OK")
        return refusedBy(sent.message, r);
    ++m_confirmed;
    m_confirmedBytes += sent.message.size;
    if (sent.undated)
        m_report.undated();
    m_report.named(m_confirmed, m_shown, m_confirmedBytes);
}

// A message too large, or one the server cannot read, is that message's refusal; what
// would refuse every message after it (the quota, the folder gone) ends the run.
void Upload::refusedBy(const MessageDone& m, const Response& r)
{
    const std::string code = text::asciiLowered(r.code.substr(0, r.code.find(' ')));
    const std::string words = (r.code.empty() ? "" : "[" + r.code + "] ") + r.text;
    if (r.status == "NO" && (code.empty() || code == "toobig" || code == "limit" || code == "parse"))
        return m_report.refused(m, "the server refused it: " + words);
    throw ExtractError(ErrorKind::Server, {},
                       "The server at " + m_session.host() + " refused message " + std::to_string(m.number) + " ("
                           + std::to_string(m_confirmed) + (m_confirmed == 1 ? " message" : " messages")
                           + " confirmed before it): " + words);
}

void Upload::finish()
{
    guarded([this] { takeAnswers(true); });
    m_session.logout();
}

// What the server confirms of what is in flight still counts; a refusal among it is
// told, and the answers after it are waited for all the same.
void Upload::finishQueued() noexcept
{
    if (m_lost)
        return;
    for (bool more = true; more;) {
        try {
            takeAnswers(true);
            more = false;
        } catch (const ExtractError& e) {
            more = e.kind() == ErrorKind::Server;
        } catch (...) {
            more = false;
        }
    }
    if (m_sent.empty())
        m_session.logout();
}

// The answers that had come before the loss count, and then nothing more: the count in
// the words is the count the report has.
void Upload::lost(const ExtractError& e)
{
    m_lost = true;
    try {
        while (takeAnswer(false)) {
        }
    } catch (const ExtractError&) { // the rest is lost with the connection
    }
    const std::optional<MessageDone> first = m_sent.empty() ? m_sending : std::optional(m_sent.front().message);
    std::string words = e.what();
    if (first)
        words += " (on the way: message " + std::to_string(first->number) + "; ";
    else
        words += " (";
    words += "confirmed by the server: " + std::to_string(m_confirmed) + (m_confirmed == 1 ? " message)" : " messages)");
    throw ExtractError(ErrorKind::Connection, {}, words, e.code());
}

class ImapStore : public MessageStore {
public:
    ImapStore(const RunContext& run, std::shared_ptr<const imap::ServerAccount> account, ImapFolder folder)
        : m_run(run), m_account(std::move(account)), m_folder(std::move(folder)), m_shown(shownFolder(m_folder)),
          m_message(run.readAgain, run.canReadAgain)
    {
    }

    void messageStarts(const MessageStart& start) override
    {
        m_done = {start.number, start.marker, 0, 0};
        m_text = RecordText(start.textSize);
        m_message.start(start.marker);
    }
    void messageBytes(std::string_view bytes) override
    {
        m_text.add(bytes, [this](std::string_view own) {
            m_done.size += own.size();
            if (!m_run.options.dryRun)
                m_message.add(own);
        });
    }
    void messageEnds(std::uint64_t end) override
    {
        m_done.end = end;
        if (m_run.options.dryRun)
            m_run.report.handedOn(m_done, m_shown);
        else
            upload().send(m_done, m_message);
        m_message.drop();
    }
    void messageAbandoned() override { m_message.drop(); }

    void takeNamed() override
    {
        if (m_upload)
            m_upload->takeArrived();
    }
    // An empty mailbox gets its folder all the same; a run cancelled before its first
    // message connects to nothing.
    void finish() override
    {
        if (m_run.options.dryRun || (m_run.report.cancelled() && !m_upload))
            return;
        upload().finish();
    }
    void finishQueued() noexcept override
    {
        if (m_upload)
            m_upload->finishQueued();
    }

private:
    // The session, begun when there is something for the server.
    Upload& upload()
    {
        if (!m_upload)
            m_upload.emplace(*m_account, m_folder, m_run.report, m_run.options.skipExisting);
        return *m_upload;
    }

    const RunContext m_run;
    const std::shared_ptr<const imap::ServerAccount> m_account;
    const ImapFolder m_folder;
    const std::string m_shown;
    MessageDone m_done;
    RecordText m_text;
    OutgoingMessage m_message;
    std::optional<Upload> m_upload;
};

} // namespace

std::string shownFolder(const ImapFolder& folder)
{
    return folder.mailbox.empty() ? folder.top : folder.top + "/" + folder.mailbox;
}

std::string serverFolderName(const ImapFolder& folder, std::optional<char> separator)
{
    std::string name;
    std::string_view top = folder.top; // its levels as the server names them: taken as they are
    for (bool first = true; first || !top.empty(); first = false) {
        const std::size_t slash = top.find('/');
        std::string level(top.substr(0, slash));
        top.remove_prefix(slash == std::string_view::npos ? top.size() : slash + 1);
        if (!first)
            name += separator.value_or('/');
        name += text::modifiedUtf7(level);
    }
    if (folder.mailbox.empty())
        return name;
    std::string level;
    for (const char c : folder.mailbox)
        level += separator && c == *separator ? standIn(c) : std::string(1, c);
    return name + std::string(1, separator.value_or('/')) + text::modifiedUtf7(level);
}

MakeStore imapStore(std::shared_ptr<const imap::ServerAccount> account, ImapFolder folder)
{
    return [account = std::move(account), folder = std::move(folder)](const RunContext& run) {
        return std::make_unique<ImapStore>(run, account, folder);
    };
}

} // namespace carrowin::extract
