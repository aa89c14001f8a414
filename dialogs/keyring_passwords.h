// The desktop keyring as the option windows use it (config/keyring.h does the work): turning
// the option on or off, and the passwords saved from a host's connection options window. The
// window's thread waits for the keyring at most tnKeyringWindowWaitSeconds and says in a box
// what the keyring did not do; nothing is removed anywhere then.
#pragma once

#include <vector>

class HostItem;

// The application options window's Save: the option becomes `on` only when every password of
// `hosts` went into the keyring (or came back from it), else it stays as it was.
void tnTurnPasswordsInKeyring(bool on, const std::vector<HostItem*>& hosts);

// Before the connection options window saves `itm` (`isNew`: not in the list yet): while the
// option is on, the host's items follow its new name, address or port, the password fields
// the user edited go into the keyring, and the fields are emptied so that the record keeps no
// password. False (after saying why) when the keyring did not take them: nothing is saved.
bool tnKeepEditedPasswordsInKeyring(HostItem* itm, bool isNew);
