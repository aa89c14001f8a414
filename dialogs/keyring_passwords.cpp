#include "dialogs/keyring_passwords.h"

#include <string>

#include "config/host_item.h"
#include "config/keyring.h"
#include "gui/modal.h"
#include "core/options.h"
#include "dialogs/connection_options.h"
#include "gui/inputs.h"

namespace {

const char kTitle[] = "Tandrel - Desktop keyring";

} // namespace

void tnTurnPasswordsInKeyring(bool on, const std::vector<HostItem*>& hosts)
{
    if (on == appOptions.passwordsInKeyring)
        return;
    const TNKeyringResult result = on ? tnPasswordsIntoKeyring(hosts, tnKeyringWindowWaitSeconds)
                                      : tnPasswordsOutOfKeyring(hosts, tnKeyringWindowWaitSeconds);
    if (result.ok()) {
        appOptions.passwordsInKeyring = on;
        return;
    }
    tnMessageWindow(result.message + ".\n\n" +
                        (on ? "The passwords stay in the configuration file, and \"Keep passwords in the desktop "
                              "keyring\" stays off."
                            : "The passwords stay in the keyring, and \"Keep passwords in the desktop keyring\" "
                              "stays on."),
                    kTitle);
}

bool tnKeepEditedPasswordsInKeyring(HostItem* itm, bool isNew)
{
    if (!appOptions.passwordsInKeyring || itm->isListener)
        return true;
    const TNItmOptsWidgets& o = ItmOpts;
    const TNKeyringHost before = tnKeyringHostOf(*itm);
    const TNKeyringHost after{o.nameInput->value(), o.addressInput->value(), o.vncPortInput->value()};
    // A field shows no password that the keyring holds: one left empty and untouched keeps it.
    TNFieldPasswords passwords;
    TNSecretInput* const inputs[] = {o.vncPasswordInput, o.vncLoginPasswordInput};
    for (size_t i = 0; i < 2; ++i) {
        if (inputs[i]->changed() || inputs[i]->size() > 0)
            passwords.emplace_back(tnPasswordFields[i], inputs[i]->value());
    }
    if ((isNew || before == after) && passwords.empty())
        return true;
    const TNKeyringResult result =
        tnKeyringSaveHost(isNew ? nullptr : &before, after, passwords, tnKeyringWindowWaitSeconds);
    if (!result.ok()) {
        tnMessageWindow(result.message +
                            ".\n\nThe host's passwords could not be kept in the keyring, so nothing was saved. "
                            "Save again once the keyring is unlocked, or Cancel.",
                        kTitle);
        return false;
    }
    for (TNSecretInput* input : inputs)
        input->value("");
    return true;
}
