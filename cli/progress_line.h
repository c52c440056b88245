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

    static std::string format(const std::string& label, const extract::Progress& p, double seconds);

private:
    std::FILE* m_out;
    std::string m_label;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDraw{};
    bool m_drawn = false;
};

} // namespace carrowin::cli
