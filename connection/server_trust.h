// Whether the program trusts the server of a handshake: its certificate (the library's
// hook), and a server that asks for no password though one is stored. What the user must
// decide goes to the window's thread as a question (TNFrontEnd::ask) while the handshake
// worker waits for the answer, holding no lock of the toolkit.
#pragma once

#include <rfb/rfbclient.h>

#include <memory>

#include "connection/certificates.h"
#include "connection/user_question.h"

class VncObject;

// The library's certificate hook (handshake worker): accepts, refuses or asks.
rfbBool tnVerifyServerCertificate(rfbClient* client, const unsigned char* const* chain, const unsigned int* lengths,
                                  unsigned int count, unsigned int status);

// After a successful handshake (worker): a server that asks for no password, though one is
// stored for the host, is accepted only if the user says so; false (with the object's
// refusal set) when it is not. Also sets the object's security text.
bool tnAcceptHandshakeSecurity(VncObject* vnc);

// Asks the user `question` about the attempt of `vnc` (its worker) and waits for the answer;
// the handshake's deadline does not run meanwhile, and an attempt that ends withdraws it (0).
int tnAskDuringHandshake(VncObject* vnc, const std::shared_ptr<TNUserQuestion>& question);
