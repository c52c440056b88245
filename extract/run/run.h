#pragma once
// The run: every record of a mailbox, in order, into a store (message_store.h).
#include "mailbox_source.h"
#include "message_store.h"
#include "run_host.h"

namespace carrowin::extract {

// Runs the mailbox into the store that `makeStore` makes, to completion or cancellation.
// A failure throws ExtractError: what was complete before it stays (as the store keeps
// it), a message being written is never seen under a name, and nothing else is touched.
// A mailbox that yields no record and does not begin as a mailbox does is refused
// (Mailbox): it is some other file.
RunSummary runMailbox(const MailboxSource& source, const MakeStore& makeStore, RunHost& host,
                      const RunOptions& options);

} // namespace carrowin::extract
