// The window that asks the user a question of a connection attempt (a server's certificate,
// a server that asks for no password, an SSH host key, a password): shown beside the
// program, not modal, while the attempt's worker waits for the answer.
#pragma once

#include <memory>

class HostItem;
class TNUserQuestion;

// Shows the question of `itm`'s attempt (null: of no host) and returns at once (window's
// thread); the choice answers it. Closing the window or Escape is "Cancel", the default
// button but in a password window, where Enter sends the password. "Remember" keeps the
// typed password as the host's (the file, or the keyring while passwords are kept there)
// before the worker gets it. A question the worker withdraws (its attempt ended) closes its
// window. With the modal-box test hooks set, the hook answers at once: `choice` (0
// "Cancel", 1 and 2 the other buttons), or `password` for a password window.
void tnShowQuestion(HostItem* itm, std::shared_ptr<TNUserQuestion> question);
