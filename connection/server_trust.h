// Whether the program trusts the server of a handshake: its certificate (the library's
// hook), and a server that asks for no password though one is stored. What the user must
// decide goes to the window's thread as a question (TNFrontEnd::askUser) while the
// handshake worker waits for the answer, holding no lock of the toolkit.
#pragma once

#include <rfb/rfbclient.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "connection/certificates.h"

class VncObject;

// One question for the user, shared by the worker that waits and the window that asks.
class TNServerQuestion {
public:
    TNServerQuestion(TNServerQuestionKind kind, TNServerQuestionText text) : kind(kind), text(std::move(text)) {}

    const TNServerQuestionKind kind;
    const TNServerQuestionText text;

    // The user chose button `button` (0: "Cancel"); the first answer counts (any thread).
    void answer(int button);
    // The worker gave up waiting (its attempt ended): the window closes unanswered.
    bool isWithdrawn() const;
    // The worker waits for the answer, or until `stop` is set (then it withdraws the
    // question and gets 0).
    int waitForAnswer(const std::atomic<bool>& stop);

private:
    mutable std::mutex lock;
    std::condition_variable answered;
    int chosen = -1;
    bool withdrawn = false;
};

// The library's certificate hook (handshake worker): accepts, refuses or asks.
rfbBool tnVerifyServerCertificate(rfbClient* client, const unsigned char* const* chain, const unsigned int* lengths,
                                  unsigned int count, unsigned int status);

// After a successful handshake (worker): a server that asks for no password, though one is
// stored for the host, is accepted only if the user says so; false (with the object's
// refusal set) when it is not. Also sets the object's security text.
bool tnAcceptHandshakeSecurity(VncObject* vnc);

// The object's question, if one waits, goes to the front end (window's thread).
void tnAskPendingQuestion(VncObject* vnc);
