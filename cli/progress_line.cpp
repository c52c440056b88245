#include "progress_line.h"

#include "archive.h"
#include "console.h"
#include "utf8.h"

#include <cinttypes>

namespace carrowin::cli {

std::string ProgressLine::format(const std::string& label, const extract::Progress& p, double seconds, int columns)
{
    constexpr double kMiB = 1024.0 * 1024.0;
    const double rate = seconds > 0 ? static_cast<double>(p.bytesDone) / kMiB / seconds : 0.0;
    char buf[160];
    char total[48] = ""; // not known of a stream
    if (p.bytesTotal > 0)
        std::snprintf(total, sizeof total, " of %.1f", static_cast<double>(p.bytesTotal) / kMiB);
    char confirmed[48] = ""; // where a server confirms the messages, their bytes
    if (p.bytesNamed > 0)
        std::snprintf(confirmed, sizeof confirmed, " (%.1f MiB confirmed)", static_cast<double>(p.bytesNamed) / kMiB);
    std::snprintf(buf, sizeof buf, ": %" PRIu64 " messages%s, %.1f%s MiB, %.1f MiB/s", p.filesNamed, confirmed,
                  static_cast<double>(p.bytesDone) / kMiB, total, rate);
    const std::string figures(buf);
    // One column stays free: a line that fills the last one wraps on some terminals.
    const std::size_t room = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    const std::size_t labelWidth = text::countCharacters(label);
    if (labelWidth + figures.size() <= room)
        return label + figures;
    if (figures.size() + 2 > room) // no room for a label at all: the figures, cut
        return figures.substr(std::min<std::size_t>(2, figures.size()), room);
    const std::size_t keep = room - figures.size() - 1; // characters of the label after the "…"
    const std::size_t from = text::byteLengthOfCharacters(label, labelWidth - keep);
    return "\u2026" + label.substr(from) + figures;
}

std::string summaryText(const Tally& tally, const std::string& folder, bool dryRun, std::string_view written)
{
    std::string text = withThousands(tally.written) + (tally.written == 1 ? " message " : " messages ")
                       + (dryRun ? "would be " : "") + std::string(written) + " to " + folder;
    if (tally.skipped > 0)
        text += "; " + withThousands(tally.skipped) + " already there";
    if (tally.undated > 0)
        text += "; " + withThousands(tally.undated) + " without a readable date";
    if (tally.refused > 0)
        text += "; " + withThousands(tally.refused) + " refused";
    return text;
}

void ProgressLine::update(const extract::Progress& p)
{
    const auto now = Clock::now();
    if (m_drawn && now - m_lastDraw < std::chrono::milliseconds(100))
        return;
    m_lastDraw = now;
    m_drawn = true;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    std::fprintf(m_out, "\r\033[K%s", format(m_label, p, seconds, terminalColumns(m_out)).c_str());
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
