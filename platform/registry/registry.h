// The registry: keys under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER holding typed values.
// The handheld registry lives in the object store file of the device root, the desktop
// registry in its own file in the desktop root; both are shared between processes, and every
// write is durable when the call returns.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace reg {

enum class Hive { LocalMachine, CurrentUser };

enum class ValueType : uint32_t { None = 0, Sz = 1, Binary = 3, Dword = 4 };

struct Value {
    ValueType type = ValueType::None;
    std::vector<uint8_t> data;  // REG_SZ: UTF-16LE with its terminating zero
};

// Which registry a key lives in.
enum class Store { Device, Desktop };
std::filesystem::path storeFile(Store store);

// An open key. Closes itself; close() may be called early.
class Key {
public:
    // Opens an existing key ("Software\Microsoft\Quorinity", "\" separated, case-insensitive;
    // empty parts are skipped, and a path with no part names no key). The key stays bound to
    // the file it was opened in; once deleted (here or by another process) its calls fail.
    static std::optional<Key> open(Hive hive, const std::u16string& path,
                                   Store store = Store::Device);
    // Opens the key, creating it and its parents when missing; `created` tells which happened.
    static std::optional<Key> create(Hive hive, const std::u16string& path, bool* created = nullptr,
                                     Store store = Store::Device);

    Key(Key&&) noexcept;
    Key& operator=(Key&&) noexcept;
    ~Key();
    void close();

    // The value's type and bytes; nullopt when missing. `maxBytes` limits what is returned,
    // as a caller's buffer would: a longer value is not returned at all.
    std::optional<Value> query(const std::u16string& name, size_t maxBytes = SIZE_MAX) const;
    // A REG_SZ value as text (up to its first zero); nullopt when missing or of another type.
    std::optional<std::u16string> queryString(const std::u16string& name,
                                              size_t maxBytes = SIZE_MAX) const;
    // A REG_DWORD value; nullopt when missing, of another type or not 4 bytes.
    std::optional<uint32_t> queryDword(const std::u16string& name) const;

    // Creates or replaces a value (names are case-insensitive; a replaced value keeps its place
    // and first spelling). False, and nothing changed, for a REG_DWORD that is not 4 bytes or a
    // REG_SZ of an odd number of bytes.
    bool set(const std::u16string& name, const Value& value);
    // REG_SZ, stored with its terminating zero: (characters + 1) x 2 bytes.
    bool setString(const std::u16string& name, const std::u16string& text);
    bool setDword(const std::u16string& name, uint32_t value);
    // False when there was no such value.
    bool remove(const std::u16string& name);

    // The value names, in order of creation.
    std::vector<std::u16string> valueNames() const;

private:
    Key();
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Every key under a hive, as "\"-joined paths in creation order (the inspection tool uses it).
std::vector<std::u16string> keyPaths(Hive hive, Store store = Store::Device);
// Deletes a key with its subkeys and their values; false when there was no such key.
bool deleteKey(Hive hive, const std::u16string& path, Store store = Store::Device);

// The application profile: integers and strings per section, under
// HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>.
class Profile {
public:
    Profile(std::u16string registryKey, std::u16string appName);
    int getInt(const std::u16string& section, const std::u16string& entry, int fallback) const;
    bool writeInt(const std::u16string& section, const std::u16string& entry, int value);
    std::u16string getString(const std::u16string& section, const std::u16string& entry,
                             const std::u16string& fallback = {}) const;
    bool writeString(const std::u16string& section, const std::u16string& entry,
                     const std::u16string& value);
    std::u16string keyPath(const std::u16string& section) const;

private:
    std::u16string registryKey_;
    std::u16string appName_;
};

// Drops cached connections (tests that change the device or desktop root).
void closeAll();

}  // namespace reg
