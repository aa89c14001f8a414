// What the keyring tests look at in the Secret Service, through libsecret directly (not the
// program's own lookup), on the keyring's thread where the program's calls run.
#pragma once

#include <gtest/gtest.h>
#include <libsecret/secret.h>

#include <string>

#include "config/keyring.h"

constexpr double tnTestKeyringWait = 20;

template <class Job>
auto tnTestOnKeyringThread(Job job)
{
    auto result = tnKeyringCall(std::move(job), tnTestKeyringWait);
    EXPECT_TRUE(result.has_value()) << "the keyring's thread did not answer";
    return result.value_or(decltype(job())());
}

// The password stored under exactly these attributes ("" when there is none).
inline std::string tnTestStoredUnder(const std::string& host, const std::string& address, const std::string& port,
                                     const std::string& field)
{
    return tnTestOnKeyringThread([=] {
        SecretSchema schema{};
        schema.name = "io.github.tandrel.Tandrel.Password";
        const char* const names[] = {"application", "host", "address", "port", "field"};
        for (size_t i = 0; i < 5; ++i) {
            schema.attributes[i].name = names[i];
            schema.attributes[i].type = SECRET_SCHEMA_ATTRIBUTE_STRING;
        }
        GError* error = nullptr;
        gchar* found = secret_password_lookup_sync(&schema, nullptr, &error, "application", "tandrel", "host",
                                                   host.c_str(), "address", address.c_str(), "port", port.c_str(),
                                                   "field", field.c_str(), nullptr);
        EXPECT_EQ(error, nullptr) << error->message;
        if (error)
            g_error_free(error);
        const std::string password = found ? found : "";
        secret_password_free(found);
        return password;
    });
}

// Runs `use(service, &error)` with the Secret Service (null when it cannot be reached) on the
// keyring's thread; the service and any error are released after.
template <class Use>
auto tnTestWithService(Use use)
{
    return tnTestOnKeyringThread([use] {
        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
        const auto result = service ? use(service, &error) : decltype(use(service, &error))();
        if (service)
            g_object_unref(service);
        if (error)
            g_error_free(error);
        return result;
    });
}

// Locks the default collection (the login keyring); true when it is locked.
inline bool tnTestLockKeyring()
{
    return tnTestWithService([](SecretService* service, GError** error) {
        SecretCollection* collection = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                        SECRET_COLLECTION_NONE, nullptr, error);
        GList* objects = g_list_append(nullptr, collection);
        const bool locked = collection && secret_service_lock_sync(service, objects, nullptr, nullptr, error);
        g_list_free(objects);
        if (collection)
            g_object_unref(collection);
        return locked;
    });
}

// How many of the program's items the keyring holds, locked or not.
inline int tnTestKeyringItemCount()
{
    return tnTestWithService([](SecretService* service, GError** error) {
        GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
        g_hash_table_insert(attributes, const_cast<char*>("application"), const_cast<char*>("tandrel"));
        GList* found = secret_service_search_sync(service, nullptr, attributes, SECRET_SEARCH_ALL, nullptr, error);
        const int count = static_cast<int>(g_list_length(found));
        g_list_free_full(found, g_object_unref);
        g_hash_table_unref(attributes);
        return count;
    });
}
