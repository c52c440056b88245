#pragma once
// The IMAP account of --format imap, with its secret.
#include "options.h"

namespace carrowin::cli {

// Puts the account of -o, with its secret, into `o.account`: an OAuth 2 access token
// from --oauth2-token-command, or a password from --password-file (its first line),
// from CARROWIN_IMAP_PASSWORD, or typed on the terminal without echo, in that order.
// Nothing in a dry run (which connects to nothing) or for another format. Returns 0, or
// the exit status after saying on stderr why there is no secret; the secret itself is
// never said.
int prepareAccount(Options& o);

} // namespace carrowin::cli
