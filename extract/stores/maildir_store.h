#pragma once
// The store of a Maildir: each message one file of exactly its bytes, written in tmp/,
// made durable, then linked into cur/ under a name no other delivery gives, with the Seen
// flag (maildir_format.h).
#include "message_store.h"

#include <string>

namespace carrowin::extract {

// The mailbox's messages into the Maildir `path`, made with its cur/, new/ and tmp/ where
// they are missing when the first message comes (`subfolder`: a Maildir++ subfolder,
// which is marked by an empty file "maildirfolder"). With `dates` a message's time of
// last change, which servers show as its arrival, is its Date's. With `skipExisting` a
// message whose bytes a file in cur/ or new/ held before the run is not added again.
MakeStore maildirStore(const std::string& path, bool subfolder);

} // namespace carrowin::extract
