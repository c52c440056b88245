#include "progress_line.h"

#include <cinttypes>

namespace carrowin::cli {

std::string ProgressLine::format(const std::string& label, const extract::Progress& p, double seconds)
{
    constexpr double kMiB = 1024.0 * 1024.0;
    const double rate = seconds > 0 ? static_cast<double>(p.bytesDone) / kMiB / seconds : 0.0;
    char buf[160];
    std::snprintf(buf, sizeof buf, ": %" PRIu64 " messages, %.1f of %.1f MiB, %.1f MiB/s", p.filesWritten,
                  static_cast<double>(p.bytesDone) / kMiB, static_cast<double>(p.bytesTotal) / kMiB, rate);
    return label + buf;
}

void ProgressLine::update(const extract::Progress& p)
{
    const auto now = Clock::now();
    if (m_drawn && now - m_lastDraw < std::chrono::milliseconds(100))
        return;
    m_lastDraw = now;
    m_drawn = true;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    std::fprintf(m_out, "\r\033[K%s", format(m_label, p, seconds).c_str());
    std::fflush(m_out);
}

void ProgressLine::clear()
{
    if (m_drawn) {
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
        m_drawn = false;
    }
}

} // namespace carrowin::cli
