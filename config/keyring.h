// Passwords in the desktop keyring: the Secret Service (GNOME Keyring, KWallet, KeePassXC)
// through libsecret. Each host has one item per password field, found by the attributes
// "application" (tandrel), "host" (its name), "address", "port" (its VNC port) and "field"
// (the file key the password would have: vncpass, vncloginpass).
//
// The keyring is a D-Bus service and may ask the user to unlock it: every call can wait
// for seconds. The functions marked "keyring thread" run only on the keyring's own thread
// (tnKeyringCall hands them there); nothing here runs on the window's thread, and nothing
// here needs the toolkit.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class HostItem;

enum class TNPasswordField { Vnc, VncLogin };
constexpr TNPasswordField tnPasswordFields[] = {TNPasswordField::Vnc, TNPasswordField::VncLogin};

// The attributes that name a host's items.
struct TNKeyringHost {
    std::string name;
    std::string address;
    std::string port;
    bool operator==(const TNKeyringHost& other) const
    {
        return name == other.name && address == other.address && port == other.port;
    }
    bool operator!=(const TNKeyringHost& other) const { return !(*this == other); }
};
TNKeyringHost tnKeyringHostOf(const HostItem& itm);

enum class TNKeyringStatus { Done, Locked, Unavailable, NoAnswer };
struct TNKeyringResult {
    TNKeyringStatus status = TNKeyringStatus::Done;
    // Says what is wrong with the keyring ("The desktop keyring is locked"), for the user.
    std::string message;
    bool ok() const { return status == TNKeyringStatus::Done; }
};

// --- Single items (keyring thread) ---
// Stores `password` as the host's item of `field`; an empty password removes the item.
TNKeyringResult tnKeyringStore(const TNKeyringHost& host, TNPasswordField field, const std::string& password);
// The host's password of `field`: "" when there is no item.
TNKeyringResult tnKeyringLookup(const TNKeyringHost& host, TNPasswordField field, std::string& password);

// --- Whole hosts (keyring thread) ---
// The host's items follow it to its new name, address or port.
TNKeyringResult tnKeyringMoveHost(const TNKeyringHost& from, const TNKeyringHost& to);
// The host's items go.
TNKeyringResult tnKeyringDeleteHost(const TNKeyringHost& host);

// --- The keyring's thread ---
// Runs `job` on the keyring's thread after the jobs handed in before it.
void tnKeyringRun(std::function<void()> job);
// Runs `job` there and waits at most `seconds` for its result (any thread but the keyring's);
// nothing when the keyring did not answer in time (the job still runs, on its own copies).
template <class Job>
auto tnKeyringCall(Job job, double seconds) -> std::optional<decltype(job())>
{
    using Result = decltype(job());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
    std::future<Result> result = task->get_future();
    tnKeyringRun([task] { (*task)(); });
    if (result.wait_for(std::chrono::duration<double>(seconds)) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

// How long the window's thread waits for the keyring when the user turns the option on or
// off, or saves a host's passwords; and how long a handshake waits for a password.
constexpr double tnKeyringWindowWaitSeconds = 10;
constexpr double tnKeyringHandshakeWaitSeconds = 60;

// --- The records (window's thread; each waits at most `seconds`) ---
// The option is turned on: every host's passwords go into the keyring (an empty one removes
// its item), and only when the keyring confirmed every store are the records' passwords
// emptied. Listening lines keep theirs (they are never written to the file).
TNKeyringResult tnPasswordsIntoKeyring(const std::vector<HostItem*>& hosts, double seconds);
// The option is turned off: the keyring's passwords go back into the records (a record that
// holds a password keeps it). The items stay until tnForgetKeyringPasswords.
TNKeyringResult tnPasswordsOutOfKeyring(const std::vector<HostItem*>& hosts, double seconds);
// The connection options window saves a host: its items follow it from `before` (null for a
// new host) to `after`, then each of `passwords` (a field and its new text; an empty text
// removes the item) is stored under `after`.
using TNFieldPasswords = std::vector<std::pair<TNPasswordField, std::string>>;
TNKeyringResult tnKeyringSaveHost(const TNKeyringHost* before, const TNKeyringHost& after,
                                  const TNFieldPasswords& passwords, double seconds);
// Removes the hosts' items (handed to the keyring's thread; does not wait).
void tnForgetKeyringPasswords(const std::vector<HostItem*>& hosts);

// The password of a connection attempt (handshake worker): `held` when it is not empty,
// else, while the option is on, the keyring's. `problem` tells why the keyring's could not
// be read ("" when it could).
std::string tnPasswordForAttempt(const TNKeyringHost& host, TNPasswordField field, const std::string& held,
                                 std::string& problem);
