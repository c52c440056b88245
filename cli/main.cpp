// carrowin-cli: splits OE4 mailboxes into one file per message, named as the window
// names them.
#include "account.h"
#include "archive.h"
#include "batch.h"
#include "console.h"
#include "process_setup.h"
#include "options.h"
#include "paths.h"
#include "split.h"
#include "store_root.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace {

using namespace carrowin::cli;

// A folder's mailboxes as jobs; false, said on stderr, when it gives none.
bool addFolder(Batch& batch, const std::string& folder, const std::string& what)
{
    std::error_code ec;
    if (batch.addFolder(folder, ec))
        return true;
    if (ec == std::errc::no_such_file_or_directory)
        std::cerr << "carrowin-cli: " << what << " \"" << folder << "\" does not exist" << std::endl;
    else if (ec)
        std::cerr << "carrowin-cli: cannot list " << what << " \"" << folder << "\": " << ec.message() << std::endl;
    else
        std::cerr << "carrowin-cli: " << what << " \"" << folder << "\" holds no mailbox (*.mbx)" << std::endl;
    return false;
}

// The jobs of --store and of every source. Returns 1 when one gave nothing to split (said
// on stderr), else 0: the others still run.
int addSources(const Options& o, Batch& batch)
{
    int status = 0;
    if (o.store) {
        const auto found = carrowin::locate::findStoreRoot(
            carrowin::locate::winePrefixFor(std::getenv("WINEPREFIX"), std::getenv("HOME")));
        if (found.errorCode != 0) {
            std::cerr << "carrowin-cli: no mail store was found (Registry read error " << found.errorCode << ")"
                      << std::endl;
            status = 1;
        } else if (!addFolder(batch, found.proposedFolder, "the mail store's folder")) {
            status = 1;
        }
    }
    for (const std::string& source : o.sources) {
        std::error_code ec;
        if (source == "-" || !std::filesystem::is_directory(carrowin::text::pathFromUtf8(source), ec)) {
            batch.addMailbox(source);
        } else if (!addFolder(batch, source, "the folder")) {
            status = 1;
        }
    }
    return status;
}

// "4 mailboxes, 12,345 messages written to out; 1 failed"
std::string totalsText(const Options& o, std::uint64_t split, std::uint64_t failed, const Tally& total)
{
    return withThousands(split) + (split == 1 ? " mailbox, " : " mailboxes, ") + summaryText(total, o.output, o.run.dryRun, formatInfo(o.format).written)
           + (failed > 0 ? "; " + withThousands(failed) + " failed" : "");
}

int run(const Options& o)
{
    Batch batch(o);
    int status = addSources(o, batch);
    SummaryOut out;
    Tally total;
    std::uint64_t split = 0;
    for (std::size_t i = 0; i < batch.jobs().size(); ++i) {
        Job job = batch.jobs()[i];
        batch.claimFolder(job);
        const int rc = splitMailbox(o, job, total, out);
        if (rc > 128) {
            std::cerr << "carrowin-cli: interrupted; " << formatInfo(o.format).kept << std::endl;
            return rc;
        }
        split += rc == 0 ? 1 : 0;
        status = std::max(status, rc);
        // A server that cannot be reached, or that refuses the login, refuses the next too.
        if ((rc == kConnectionStatus || rc == kAuthenticationStatus) && i + 1 < batch.jobs().size()) {
            std::cerr << "carrowin-cli: the mailboxes after it are left out" << std::endl;
            return status;
        }
    }
    if (batch.jobs().size() > 1) {
        const std::string totals = totalsText(o, split, batch.jobs().size() - split, total);
        if (o.run.dryRun)
            std::cerr << totals << std::endl;
        else
            out.line(totals);
    }
    if (out.error() != 0) {
        std::cerr << "carrowin-cli: cannot write to standard output: " << std::strerror(out.error()) << std::endl;
        status = 1;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    prepareStandardStreams();
    carrowin::extract::allowOpenFiles();
    carrowin::extract::reuseFreedMemory();
    const auto parsed = parseArguments(utf8Arguments(argc, argv));
    if (const int* status = std::get_if<int>(&parsed))
        return *status;
    Options o = std::get<Options>(parsed);
    if (const int status = prepareAccount(o))
        return status;
    installStopHandlers();
    return run(o);
}
