#pragma once
// The progress display of carrowin-cli: one line on a terminal, redrawn in place.
#include "extraction_run.h"

#include <chrono>
#include <cstdio>
#include <string>

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

// "Inbox.mbx: 3 messages written to out" (one message, several messages).
std::string summaryLine(const std::string& mailbox, std::uint64_t messages, const std::string& folder);

} // namespace carrowin::cli
