#pragma once
// What carrowin-cli tells of a run: the progress line on a terminal, redrawn in place,
// and the summary of a mailbox or a batch.
#include "run_host.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace carrowin::cli {

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    ProgressLine(std::FILE* out, std::string label) : m_out(out), m_label(std::move(label)) {}

    // Redraws at most ten times a second.
    void update(const extract::Progress& p);
    // Removes the line again.
    void clear();

    // The line for `columns` columns at most: the label is shortened from its start
    // ("…x/Inbox.mbx") so that the figures stay, and the line never wraps.
    static std::string format(const std::string& label, const extract::Progress& p, double seconds, int columns);

private:
    std::FILE* m_out;
    std::string m_label;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDraw{};
    bool m_drawn = false;
};

// What a run, or a whole batch, did.
struct Tally {
    std::uint64_t written = 0;
    std::uint64_t skipped = 0; // already there
    std::uint64_t undated = 0; // written without a readable date
    std::uint64_t refused = 0; // not written, each said on its own line
    void add(const Tally& t)
    {
        written += t.written;
        skipped += t.skipped;
        undated += t.undated;
        refused += t.refused;
    }
};

// "12,345 messages written to out; 3 already there; 1 without a readable date; 2 refused"
// (one message, several messages; "would be written" for a dry run; `written` is what
// the format does: "written", "uploaded").
std::string summaryText(const Tally& tally, const std::string& folder, bool dryRun,
                        std::string_view written = "written");

} // namespace carrowin::cli
