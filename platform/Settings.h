#pragma once
// The settings store: registry-style keys and named values kept in INI files.
//
//   user scope     $XDG_CONFIG_HOME/Kestrin (UK) Ltd/Veltrane.ini (default ~/.config)
//   machine scope  the file named by $VELTRANE_MACHINE_CONFIG, else
//                  /etc/xdg/Kestrin (UK) Ltd/Veltrane.ini
//
// Key paths are written as the design names them, with backslashes
// ("Software\Kestrin (UK) Ltd\Veltrane\1.0"); each backslash is one level of
// INI group. Value names are kept whole ('/' and '\' in them do not make groups).
// A key exists while it holds a value or a subkey: an empty key is not stored.
//
// The machine scope is read-only through an ordinary CSettingsKey; the one place
// that changes the machine configuration opens it with OpenMachineForWrite and
// sees each write fail or succeed. Every read says whether the value was there;
// every write says whether it reached the file.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSettingsKey
{
public:
    enum Scope
    {
        CurrentUser,
        LocalMachine
    };

    // Opens a key for reading (and writing, in the user scope). Nothing is created
    // until a value is written.
    CSettingsKey(Scope scope, const std::string& keyPath);
    // The machine scope opened for writing (the configuration dialog's OK).
    static CSettingsKey OpenMachineForWrite(const std::string& keyPath);
    ~CSettingsKey();
    CSettingsKey(CSettingsKey&&) noexcept;
    CSettingsKey& operator=(CSettingsKey&&) noexcept;

    Scope GetScope() const { return m_scope; }
    const std::string& GetPath() const { return m_path; }
    bool IsWritable() const { return m_writable; }
    // True when the key holds at least one value or subkey.
    bool KeyExists() const;
    // A subkey of this key, in the same scope and mode.
    CSettingsKey OpenSubKey(const std::string& name) const;

    // Each read returns false, leaving the output untouched, when the value is
    // missing or cannot be read as the type asked for.
    bool ReadBinary(const std::string& name, std::vector<uint8_t>& value) const;
    bool ReadString(const std::string& name, std::string& value) const;     // cp1252 bytes
    bool ReadUtf8String(const std::string& name, std::string& value) const; // file paths and the like
    bool ReadInt(const std::string& name, int32_t& value) const;
    bool ReadDWord(const std::string& name, uint32_t& value) const;
    bool ReadDouble(const std::string& name, double& value) const;
    bool HasValue(const std::string& name) const;

    // Each write is on disk when it returns true.
    bool WriteBinary(const std::string& name, const std::vector<uint8_t>& value);
    bool WriteBinary(const std::string& name, const void* data, size_t size);
    bool WriteString(const std::string& name, const std::string& value); // cp1252 bytes
    bool WriteUtf8String(const std::string& name, const std::string& value);
    bool WriteInt(const std::string& name, int32_t value);
    bool WriteDWord(const std::string& name, uint32_t value);
    bool WriteDouble(const std::string& name, double value);
    bool DeleteValue(const std::string& name);

    std::vector<std::string> EnumValueNames() const;
    std::vector<std::string> EnumSubKeyNames() const;

private:
    CSettingsKey(Scope scope, const std::string& keyPath, bool writable);
    struct SImpl;
    Scope m_scope;
    std::string m_path;
    bool m_writable;
    std::unique_ptr<SImpl> m_impl;
};

// The files behind the two scopes. Tests point them into a temporary folder;
// an empty path restores the default location of that scope.
void SetSettingsLocations(const std::string& userFile, const std::string& machineFile);
std::string GetSettingsFile(CSettingsKey::Scope scope);

// The framework's per-user profile: entries under
// "Software\Kestrin (UK) Ltd\Veltrane\<section>" in the user scope
// ("Recent File List" File1..File4, "Quant" File1.., "Config" "GMT").
// Profile strings are UTF-8 (file paths).
extern const char* const kProfileKeyPath; // "Software\Kestrin (UK) Ltd\Veltrane"
std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue = std::string());
int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue);
bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);
bool WriteProfileInt(const std::string& section, const std::string& entry, int value);
