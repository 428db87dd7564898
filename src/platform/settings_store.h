// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user store of remembered settings, in place of the registry key
// "Software\Vornik\Zentarelrenamer": named 32-bit integers and strings kept in a file in the text
// form of a registry export, under the user's configuration folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/file_system.h"

namespace zr {

// The user's store: $XDG_CONFIG_HOME/zentarel-renamer/settings.reg, or $HOME/.config/... when
// XDG_CONFIG_HOME is unset, empty or not an absolute path. Empty when HOME gives no absolute
// path either.
std::string userSettingsStorePath();

// What went wrong with the store file as a whole. `unparseable` is set when the file is there
// but is no store this program can read; moveAside() lets the user start afresh.
struct StoreError {
    std::string message;
    bool unparseable = false;
};

// The key "HKEY_CURRENT_USER\Software\Vornik\Zentarelrenamer" of one store file, used the way a
// registry key is: open it, read or write its values, close it. Reads and writes act on the
// store as it was read when the key was opened; closeKey() writes the whole store at once
// through FileSystem::replaceFile, so a failure leaves the previous store on disk whole. Value
// names compare without regard to case and keep their place when written again. Other keys in
// the file are kept. A file that cannot be parsed is never written over.
class SettingsStore {
public:
    SettingsStore(FileSystem& fs, std::string path);

    const std::string& path() const { return m_path; }

    // Reads the store and opens the key; `exists` tells whether it was there. Without `create`
    // a missing key stays closed; with it, the key and "HKEY_CURRENT_USER\Software\Vornik" are
    // created (on disk at closeKey()).
    std::optional<StoreError> openKey(bool create, bool& exists);

    // Reads on a closed key find no values.
    bool hasValue(std::string_view name) const;
    // The names of the key's values, in the order they stand in the file.
    std::vector<std::string> valueNames() const;
    // Fail with "Invalid data type for '<name>'" when the value holds the other type.
    std::optional<std::string> readInteger(std::string_view name, std::int32_t& value) const;
    std::optional<std::string> readString(std::string_view name, std::string& value) const;

    // Fail with "Failed to set data for '<name>'" when no key is open.
    std::optional<std::string> writeInteger(std::string_view name, std::int32_t value);
    std::optional<std::string> writeString(std::string_view name, std::string_view value);

    // Writes what changed since openKey() and closes the key. When the file cannot be written,
    // the error names the first value written since then ("Failed to set data for '<name>'");
    // the values of earlier closes stay.
    std::optional<std::string> closeKey();

    // Deletes the key with every key below it; "HKEY_CURRENT_USER\Software\Vornik" and the other
    // keys stay. An open key is closed by this.
    std::optional<StoreError> deleteKey();

    // Renames an unparseable store file to a free name that says what it is
    // ("settings.reg.unreadable", "settings.reg.unreadable-2", ...), given in `movedTo`, so that
    // the next openKey() starts with an empty store while the old file stays for the user.
    std::optional<std::string> moveAside(std::string& movedTo);

private:
    using Data = std::variant<std::int32_t, std::string>;
    struct Value {
        std::string name;
        Data data;
    };
    struct Section {
        std::string path;
        std::vector<Value> values;
        // A value written again keeps its place and the spelling of its name; a new one goes
        // last.
        void set(std::string_view name, Data data);
    };

    // The keys of a store file's text; on failure the reason, with `lineNumber` at the line.
    static std::optional<std::string> parse(std::string_view text, std::vector<Section>& sections,
                                            std::size_t& lineNumber);
    static std::string format(const std::vector<Section>& sections);

    // Closes the key and reads the file into m_sections; a missing file is an empty store.
    std::optional<StoreError> load();
    // Writes m_sections; 0 or the errno.
    int save();
    const Value* find(std::string_view name) const;
    std::optional<std::string> write(std::string_view name, Data data);
    void close();

    FileSystem& m_fs;
    std::string m_path;
    std::vector<Section> m_sections;
    std::optional<std::size_t> m_key;  // index of the open key's section
    bool m_dirty = false;
    std::string m_firstUnsaved;  // the first value written since the key was opened
};

}  // namespace zr
