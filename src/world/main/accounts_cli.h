// kelva-world's commands on the account store, beside the world itself:
// `hash-password` and `accounts`. They read passwords from standard input
// only, so no password is ever seen in the list of running processes.
#pragma once

namespace kelva::world {

// kelva-world hash-password: prints the Argon2id hash of standard input's
// first line. The exit code: 0 done, 1 the hash could not be made, 2 no
// password.
int hashPasswordCommand();

// kelva-world accounts --data-dir DIR ACTION ...; `argc`/`argv` start at
// the word after "accounts". The exit code: 0 done, 1 the action was
// refused (no such account, a name taken, a write that failed), 2 a wrong
// command line or password, 3 the store cannot be opened.
int accountsCommand(int argc, char** argv);

}  // namespace kelva::world
