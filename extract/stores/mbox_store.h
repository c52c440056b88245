#pragma once
// The store of one mbox file for a whole mailbox.
#include "message_store.h"

#include <string>

namespace carrowin::extract {

// The mailbox's messages, in order, into one new mbox file `baseName` + ".mbox" in
// `folder` (numbered "(1)", "(2)"... when that name is taken). Every message follows its
// From line and is quoted as mboxrd quotes (mbox_format.h); otherwise its bytes, line
// ends included, are as they were, and one LF follows it, which readers take off again.
// The file is written without a name and named once complete and durable, so it is
// never appended to and never replaces anything. A cancelled run names it with the
// messages completed by then; a failure leaves none. The Date fields give the From lines'
// dates whether or not `dates` asks; skipExisting is refused (Settings): an mbox is never
// added to.
MakeStore mboxStore(const std::string& folder, const std::string& baseName);

} // namespace carrowin::extract
