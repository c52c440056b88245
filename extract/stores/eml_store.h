#pragma once
// The store of a file a message, named after its subject or a prefix: ".eml" for mail,
// ".nws" for news, numbered "(1)", "(2)"... past what the output folder holds. The
// settings come from the front end, read again for every message; the output folder may
// change between messages.
#include "message_store.h"
#include "output_naming.h"

#include <string>

namespace carrowin::extract {

// What a front end provides to the naming of message files, besides its RunHost. All calls
// come from the thread that runs it.
class NamingHost {
public:
    virtual ~NamingHost() = default;
    // The naming settings for the next message, read anew every time.
    virtual NamingSettings currentSettings() = 0;
    // The name chosen for a message and the output folder with its trailing separator.
    virtual void nameChosen(const std::string& workingName, const std::string& outputFolder) = 0;
};

// Each message into a file of its own (runMailbox). Settings that could write elsewhere
// than into the output folder are refused (Settings) before the message is read.
MakeStore emlStore(NamingHost& naming);

} // namespace carrowin::extract
