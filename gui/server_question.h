// The window that asks the user about a server during its handshake (its certificate, or
// a server that asks for no password): shown beside the program, not modal, while the
// handshake worker waits for the answer.
#pragma once

#include <memory>

class TNServerQuestion;

// Shows the question and returns at once; the choice answers it. Closing the window or
// Escape is "Cancel", the default button. A question the worker withdraws (its attempt
// ended) closes its window. With the modal-box test hook set, the hook's choice answers
// at once (0 "Cancel", 1 and 2 the other buttons).
void tnShowServerQuestion(std::shared_ptr<TNServerQuestion> question);
