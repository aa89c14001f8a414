// Passwords that the user types for an attempt: asked for before anything is sent when the
// host has none (nor the keyring one for it), and again when the server refused the one
// sent. A refused password cannot be sent again on the same connection (the server ends it
// after its answer), so the attempt then starts over with the typed password. Listening
// lines ask nothing.
#pragma once

#include <optional>
#include <string>

#include "config/keyring.h"
#include "connection/user_question.h"

class HostItem;
class VncObject;
struct TNHandshakeHost;

// The title of the window that asks for a password.
constexpr const char* tnPasswordWindowTitle = "Tandrel - Password";

// What the password questions of one attempt left behind (its worker writes it; the
// window's thread reads it once the attempt's result has come).
struct TNPasswordAsking {
    std::optional<TNPasswordField> sent;   // the field whose password went to the server
    std::string sentUser;                  // and the user name with it (VncLogin)
    bool cancelled = false;                // the user said "Cancel": nothing more is asked
    std::optional<TNCredentials> retry;    // typed after the server refused the password
};

// The question for `host`'s password of `field` (with its user name for VncLogin):
// `refused` when the server refused the one sent; `problem` says why the keyring gave none.
TNQuestionText tnPasswordQuestionText(const TNHandshakeHost& host, TNPasswordField field, bool refused,
                                      const std::string& problem);

// Worker, in the library's password hooks: the host has no password of `field` (or, for
// VncLogin, no user name): asks the user. True with `user` and `password` set to what was
// typed; false (both as they were) when the user cancelled or the attempt ended.
bool tnAskForMissingPassword(VncObject* vnc, TNPasswordField field, std::string& user, std::string& password);

// Worker, after a failed handshake: when the server refused the password sent, asks for
// another, which the next attempt uses (TNPasswordAsking::retry).
void tnAskAgainAfterRefusal(VncObject* vnc);

// Window's thread, the result of `itm`'s failed attempt `vnc`: when the user typed another
// password after a refusal, the host's attempt starts over with it; true then.
bool tnRetryWithTypedPassword(HostItem* itm, VncObject* vnc);

// Window's thread, as `itm`'s attempt starts: the credentials typed for it replace the copy's.
void tnUseTypedPassword(const HostItem* itm, TNHandshakeHost& host);
