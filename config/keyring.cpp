// Passwords in the desktop keyring through libsecret, on a thread of their own.
#include "config/keyring.h"

#include <libsecret/secret.h>

#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "config/host_item.h"
#include "core/options.h"

namespace {

const char kApplication[] = "tandrel";

const SecretSchema* passwordSchema()
{
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "io.github.tandrel.Tandrel.Password";
        made.flags = SECRET_SCHEMA_NONE;
        const char* const names[] = {"application", "host", "address", "port", "field"};
        for (size_t i = 0; i < sizeof(names) / sizeof(names[0]); ++i) {
            made.attributes[i].name = names[i];
            made.attributes[i].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
        }
        return made;
    }();
    return &schema;
}

const char* fieldKey(TNPasswordField field)
{
    return field == TNPasswordField::Vnc ? "vncpass" : "vncloginpass";
}

// The attributes of a host's items (of one field, or of all when `field` is null). The
// table points into `host`, which must outlive it.
class TNAttributes {
public:
    TNAttributes(const TNKeyringHost& host, const TNPasswordField* field)
        : table(g_hash_table_new(g_str_hash, g_str_equal))
    {
        add("application", kApplication);
        add("host", host.name.c_str());
        add("address", host.address.c_str());
        add("port", host.port.c_str());
        if (field)
            add("field", fieldKey(*field));
    }
    ~TNAttributes() { g_hash_table_unref(table); }
    TNAttributes(const TNAttributes&) = delete;
    TNAttributes& operator=(const TNAttributes&) = delete;
    GHashTable* get() const { return table; }

private:
    void add(const char* key, const char* value)
    {
        g_hash_table_insert(table, const_cast<char*>(key), const_cast<char*>(value));
    }
    GHashTable* table;
};

// Takes `error` (which may be null: then all went well).
TNKeyringResult resultOf(GError* error)
{
    TNKeyringResult result;
    if (!error)
        return result;
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED) {
        result.status = TNKeyringStatus::Locked;
        result.message = "The desktop keyring is locked";
    } else {
        result.status = TNKeyringStatus::Unavailable;
        result.message = std::string("The desktop keyring is not available (") + error->message + ")";
        // The next call connects afresh: the keyring may have started since.
        secret_service_disconnect();
    }
    g_error_free(error);
    return result;
}

TNKeyringResult noAnswer()
{
    return {TNKeyringStatus::NoAnswer, "The desktop keyring did not answer"};
}

TNKeyringResult lockedResult()
{
    GError* error = g_error_new_literal(SECRET_ERROR, SECRET_ERROR_IS_LOCKED, "locked");
    return resultOf(error);
}

std::string itemLabel(const TNKeyringHost& host, TNPasswordField field)
{
    return std::string("Tandrel: ") + (field == TNPasswordField::Vnc ? "VNC password" : "VNC login password") +
           " of '" + host.name + "' (" + host.address + ":" + host.port + ")";
}

TNKeyringResult clearItems(const TNKeyringHost& host, const TNPasswordField* field)
{
    const TNAttributes attributes(host, field);
    GError* error = nullptr;
    // False without an error: there was nothing to remove.
    secret_password_clearv_sync(passwordSchema(), attributes.get(), nullptr, &error);
    return resultOf(error);
}

// The jobs of the keyring's thread. Made once and never freed: the thread runs until the
// program ends.
struct TNKeyringQueue {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
};

TNKeyringQueue& keyringQueue()
{
    static TNKeyringQueue* queue = [] {
        auto* made = new TNKeyringQueue;
        std::thread([made] {
            for (;;) {
                std::function<void()> job;
                {
                    std::unique_lock<std::mutex> hold(made->lock);
                    made->wake.wait(hold, [made] { return !made->jobs.empty(); });
                    job = std::move(made->jobs.front());
                    made->jobs.pop_front();
                }
                job();
            }
        }).detach();
        return made;
    }();
    return *queue;
}

// The record's password of `field`.
std::string& passwordOf(HostItem& itm, TNPasswordField field)
{
    return field == TNPasswordField::Vnc ? itm.vncPassword : itm.vncLoginPassword;
}

// A host's passwords, copied for the keyring's thread.
struct TNHostPasswords {
    TNKeyringHost host;
    std::array<std::string, 2> passwords;
};

std::vector<TNHostPasswords> passwordsOf(const std::vector<HostItem*>& hosts)
{
    std::vector<TNHostPasswords> copies;
    for (HostItem* itm : hosts) {
        if (!itm || itm->isListener)
            continue;
        TNHostPasswords copy{tnKeyringHostOf(*itm), {}};
        for (size_t i = 0; i < 2; ++i)
            copy.passwords[i] = passwordOf(*itm, tnPasswordFields[i]);
        copies.push_back(std::move(copy));
    }
    return copies;
}

} // namespace

TNKeyringHost tnKeyringHostOf(const HostItem& itm)
{
    return {itm.name, itm.hostAddress, itm.vncPort};
}

TNKeyringResult tnKeyringStore(const TNKeyringHost& host, TNPasswordField field, const std::string& password)
{
    if (password.empty())
        return clearItems(host, &field);
    const TNAttributes attributes(host, &field);
    GError* error = nullptr;
    secret_password_storev_sync(passwordSchema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                itemLabel(host, field).c_str(), password.c_str(), nullptr, &error);
    return resultOf(error);
}

TNKeyringResult tnKeyringLookup(const TNKeyringHost& host, TNPasswordField field, std::string& password)
{
    password.clear();
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (!service)
        return resultOf(error);
    // A locked item is asked to be unlocked (the desktop prompts the user); one that stays
    // locked is told as such, never taken for a missing password.
    const TNAttributes attributes(host, &field);
    GList* items = secret_service_search_sync(
        service, passwordSchema(), attributes.get(),
        static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS), nullptr, &error);
    TNKeyringResult result = resultOf(error);
    if (result.ok() && items) {
        auto* item = static_cast<SecretItem*>(items->data);
        SecretValue* value = secret_item_get_locked(item) ? nullptr : secret_item_get_secret(item);
        if (value) {
            const char* text = secret_value_get_text(value);
            password = text ? text : "";
            secret_value_unref(value);
        } else {
            result = lockedResult();
        }
    }
    g_list_free_full(items, g_object_unref);
    g_object_unref(service);
    return result;
}

TNKeyringResult tnKeyringMoveHost(const TNKeyringHost& from, const TNKeyringHost& to)
{
    if (from == to)
        return {};
    // Stored under the new attributes first: the old items go only once every copy is in.
    for (TNPasswordField field : tnPasswordFields) {
        std::string password;
        TNKeyringResult result = tnKeyringLookup(from, field, password);
        if (result.ok() && !password.empty())
            result = tnKeyringStore(to, field, password);
        if (!result.ok())
            return result;
    }
    return tnKeyringDeleteHost(from);
}

TNKeyringResult tnKeyringDeleteHost(const TNKeyringHost& host)
{
    return clearItems(host, nullptr);
}

void tnKeyringRun(std::function<void()> job)
{
    TNKeyringQueue& queue = keyringQueue();
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.jobs.push_back(std::move(job));
    }
    queue.wake.notify_one();
}

TNKeyringResult tnPasswordsIntoKeyring(const std::vector<HostItem*>& hosts, double seconds)
{
    const auto result = tnKeyringCall(
        [copies = passwordsOf(hosts)] {
            for (const TNHostPasswords& copy : copies) {
                for (size_t i = 0; i < 2; ++i) {
                    const TNKeyringResult stored = tnKeyringStore(copy.host, tnPasswordFields[i], copy.passwords[i]);
                    if (!stored.ok())
                        return stored;
                }
            }
            return TNKeyringResult();
        },
        seconds);
    if (!result)
        return noAnswer();
    if (result->ok()) {
        for (HostItem* itm : hosts) {
            if (itm && !itm->isListener) {
                for (TNPasswordField field : tnPasswordFields)
                    passwordOf(*itm, field).clear();
            }
        }
    }
    return *result;
}

TNKeyringResult tnPasswordsOutOfKeyring(const std::vector<HostItem*>& hosts, double seconds)
{
    using Read = std::pair<TNKeyringResult, std::vector<TNHostPasswords>>;
    const auto read = tnKeyringCall(
        [copies = passwordsOf(hosts)]() mutable {
            for (TNHostPasswords& copy : copies) {
                for (size_t i = 0; i < 2; ++i) {
                    if (!copy.passwords[i].empty())
                        continue;
                    const TNKeyringResult result = tnKeyringLookup(copy.host, tnPasswordFields[i], copy.passwords[i]);
                    if (!result.ok())
                        return Read(result, {});
                }
            }
            return Read(TNKeyringResult(), std::move(copies));
        },
        seconds);
    if (!read)
        return noAnswer();
    if (!read->first.ok())
        return read->first;
    // The copies are in the order of the records they were made of (listening lines left out).
    size_t next = 0;
    for (HostItem* itm : hosts) {
        if (!itm || itm->isListener)
            continue;
        const TNHostPasswords& copy = read->second[next++];
        for (size_t i = 0; i < 2; ++i)
            passwordOf(*itm, tnPasswordFields[i]) = copy.passwords[i];
    }
    return read->first;
}

TNKeyringResult tnKeyringSaveHost(const TNKeyringHost* before, const TNKeyringHost& after,
                                  const TNFieldPasswords& passwords, double seconds)
{
    const auto result = tnKeyringCall(
        [from = before ? std::optional<TNKeyringHost>(*before) : std::nullopt, after, passwords] {
            TNKeyringResult done = from ? tnKeyringMoveHost(*from, after) : TNKeyringResult();
            for (const auto& [field, password] : passwords) {
                if (done.ok())
                    done = tnKeyringStore(after, field, password);
            }
            return done;
        },
        seconds);
    return result ? *result : noAnswer();
}

void tnForgetKeyringPasswords(const std::vector<HostItem*>& hosts)
{
    std::vector<TNKeyringHost> forgotten;
    for (const HostItem* itm : hosts) {
        if (itm && !itm->isListener)
            forgotten.push_back(tnKeyringHostOf(*itm));
    }
    tnKeyringRun([forgotten] {
        for (const TNKeyringHost& host : forgotten)
            tnKeyringDeleteHost(host);
    });
}

std::string tnPasswordForAttempt(const TNKeyringHost& host, TNPasswordField field, const std::string& held,
                                 std::string& problem)
{
    problem.clear();
    if (!held.empty() || !appOptions.passwordsInKeyring)
        return held;
    using Read = std::pair<TNKeyringResult, std::string>;
    const auto read = tnKeyringCall(
        [host, field] {
            Read made;
            made.first = tnKeyringLookup(host, field, made.second);
            return made;
        },
        tnKeyringHandshakeWaitSeconds);
    const TNKeyringResult result = read ? read->first : noAnswer();
    if (!result.ok()) {
        problem = result.message + "; the password was not read";
        return "";
    }
    return read->second;
}
