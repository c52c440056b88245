#pragma once
// Splitting one mailbox of a batch: the run, its progress on the terminal, its summary.
#include "batch.h"
#include "progress_line.h"

#include <string>

namespace carrowin::cli {

// Lines on standard output. A failed write (a closed pipe, a full disk) is remembered
// with its reason; the batch goes on.
class SummaryOut {
public:
    void line(const std::string& text);
    int error() const { return m_error; }

private:
    int m_error = 0;
};

// The exit statuses of an upload's failures: the server could not be reached, or the
// connection to it failed or was lost; it refused the login; it refused a folder or a
// message.
inline constexpr int kConnectionStatus = 3;
inline constexpr int kAuthenticationStatus = 4;
inline constexpr int kRefusedStatus = 5;

// Splits the job's mailbox and prints its summary (to stderr in a dry run, whose
// standard output holds the names alone). Returns 0, 1 when it failed (said on stderr),
// a server's status above, or the interruption's status (above 128).
int splitMailbox(const Options& o, const Job& job, Tally& total, SummaryOut& out);

} // namespace carrowin::cli
