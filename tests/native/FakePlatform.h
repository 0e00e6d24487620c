#pragma once

#include "platform/Platform.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace hostwend::testing {

// A test double of the operating system that behaves like the real one where
// the logic depends on it: registry keys, types, sizes and handles; the profile
// read's capacity rule; modal message boxes answered from a script.
class FakePlatform : public Registry, public ProfileFiles, public Computer, public Desk, public EventLog {
public:
    // Every role at once, as the window's commands take them.
    Platform Roles() { return Platform{*this, *this, *this, *this, *this}; }

    struct ShownBox {
        std::wstring prompt;
        int style;
        std::wstring title;
        int locksHeld;  // apply locks held while it waited for the operator
    };
    struct RegValue {
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        bool wide = false;  // text written by a W function: kept in UTF-16
    };
    // On 64-bit Windows the 64-bit view (Hostwend's record) is apart from the
    // 32-bit view (the client's values); a 32-bit Windows has only one.
    enum class View { Wow32, Wow64 };

    // --- registry ---
    void AddKey(const std::string& path, View view = View::Wow32);
    // Data as the A functions store it: text in the code page.
    void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                  std::vector<std::uint8_t> data, View view = View::Wow32);
    // Data as RegSetValueExW stores it: a W read returns exactly these bytes.
    void SetRawValue(const std::string& path, const std::string& name, std::uint32_t type,
                     std::vector<std::uint8_t> data, View view = View::Wow32);
    void SetString(const std::string& path, const std::string& name, const std::string& text);
    void SetDword(const std::string& path, const std::string& name, std::uint32_t number);
    void RemoveValue(const std::string& path, const std::string& name, View view = View::Wow32);
    std::optional<RegValue> Value(const std::string& path, const std::string& name, View view = View::Wow32) const;
    // The type and bytes a RegQueryValueExW of the value returns.
    std::optional<RegValue> ValueAsReadW(const std::string& path, const std::string& name,
                                         View view = View::Wow32) const;
    bool KeyExists(const std::string& path, View view = View::Wow32) const;
    std::size_t KeyCount() const { return keys_.size(); }
    std::size_t ValueCount() const;
    std::size_t OpenHandleCount() const { return openHandles_.size(); }
    // A key's owner and DACL, written in SDDL (owner, D:, ACEs of kind A or D
    // with the aliases and rights these tests use). A key created with a
    // descriptor gets it; other keys report HKLM\SOFTWARE's usual one.
    void SetKeySecurity(const std::string& path, const std::string& sddl, View view = View::Wow64);
    static KeySecurity SecurityFromSddl(const std::string& sddl);
    std::vector<std::string> createdWithSddl;  // the descriptor of each key RegCreateKeyExW made
    // Each RegCreateKeyExW that makes a key, RegSetValueExW, RegDeleteValueW
    // and RegFlushKey uses one; when none is left they fail with
    // ERROR_IO_DEVICE, as on a disk gone away.
    std::optional<int> writesLeft;
    // The registry as it was at the last RegFlushKey (or SettleOnDisk): what
    // a power cut leaves. Handles do not survive it.
    void SettleOnDisk();
    void PowerCut();
    // Rights a key grants (lower-case path); an open that asks for more is
    // denied. Keys not named grant everything.
    std::map<std::string, std::uint32_t> keyRights;
    std::set<std::string> valuesRefusingWrites;  // lower-case "path\\name"
    // A read of these values' data (RegQueryValueExW) fails with the error
    // given, as a value growing between two reads does: lower-case "path\\name".
    std::map<std::string, RegStatus> valuesFailingReads;
    std::vector<std::uint32_t> openAccessMasks;
    std::vector<std::string> registryCalls;  // "open path", "query name", "set name", "close"

    // --- rights and the apply lock ---
    bool elevated = true;
    bool windows64 = true;
    std::wstring utcNow = L"2026-12-07T23:30:00Z";
    bool lockHeldElsewhere = false;
    std::wstring lockUnusableReason;  // not empty: the lock cannot be used
    std::vector<std::uint32_t> lockWaits;  // the wait of each LockApply
    int locksHeld = 0;
    int interruptionHolds = 0;
    std::vector<int> holdsAtEachWrite;  // interruption holds in force at each RegSetValueExA
    // Thrown by the RegSetValueExA of this value name, as an unexpected failure would be.
    std::string throwAtWriteOf;

    // An ASCII code page: ToAnsi turns anything beyond it into '?'.
    bool asciiCodePage = false;

    // --- profile file ---
    void SetProfileEntry(const std::string& section, const std::string& key, const std::string& value);
    std::wstring profileFilePath;  // reads of any other path see no file
    bool dropTrailingBlanksOfDefault = false;
    struct ProfileRead {
        std::string section, key, defaultText;
        std::wstring path;
        std::uint32_t capacity;
    };
    std::vector<ProfileRead> profileReads;

    // --- event log ---
    struct ReportedEvent {
        EventType type;
        std::uint32_t id;
        std::vector<std::wstring> strings;
        int locksHeld;           // apply locks held as it was written
        std::size_t boxesShown;  // message boxes shown before it
    };
    std::vector<ReportedEvent> events;
    std::uint32_t eventLogError = 0;  // not 0: every report fails with this Windows error
    std::wstring accountName = L"BRANCH\\operator";
    std::wstring computerName = L"TILL-04";

    // --- message boxes ---
    std::vector<ShownBox> boxes;
    std::vector<int> answers;  // consumed in order; kIdOk once they run out

    // --- files, program, window ---
    std::wstring programDirectory = L"C:\\Program Files\\Hostwend";
    std::map<std::wstring, std::wstring> ordinaryFiles;  // full path -> name as stored
    std::vector<std::wstring> fileTests;
    std::uint32_t fileTestError = kWin32FileNotFound;  // what a test of any other path fails with
    int endProgramCalls = 0;
    std::wstring caption = L"Hostwend 2.1 (Only for TARN 6.x)";
    std::array<bool, 4> options{};
    std::vector<OptionButton> optionReads;

    int MsgBox(std::wstring_view prompt, int style, std::wstring_view title) override;
    std::uint32_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& defaultText, wchar_t* buffer,
                                           std::uint32_t capacity, const std::wstring& path) override;
    RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                            std::uint32_t access, RegKey& opened) override;
    RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                               std::uint32_t& size) override;
    RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) override;
    RegStatus RegCloseKey(RegKey key) override;
    RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) override;
    RegStatus RegCreateKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                              std::wstring_view securitySddl, RegKey& opened) override;
    RegStatus RegOpenKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access, RegKey& opened) override;
    RegStatus RegSetValueExW(RegKey key, std::wstring_view valueName, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override;
    RegStatus RegDeleteValueW(RegKey key, std::wstring_view valueName) override;
    RegStatus RegFlushKey(RegKey key) override;
    RegStatus RegGetKeySecurity(RegKey key, KeySecurity& security) override;
    std::wstring ProgramDirectory() override;
    FoundFile FileTest(const std::wstring& path) override;
    void EndProgram() override;
    std::wstring MainWindowCaption() override;
    bool IsOptionSet(OptionButton option) override;
    bool IsElevated() override { return elevated; }
    ApplyLockResult LockApply(std::uint32_t waitMilliseconds) override;
    std::unique_ptr<InterruptionHold> HoldInterruptions() override;
    bool Is64BitWindows() override { return windows64; }
    std::wstring UtcTimeNow() override { return utcNow; }
    std::wstring AccountName() override { return accountName; }
    std::wstring ComputerName() override { return computerName; }
    std::uint32_t Report(EventType type, std::uint32_t eventId, const std::vector<std::wstring>& strings) override;
    std::string ToAnsi(std::wstring_view text) override;
    std::wstring FromAnsi(std::string_view text) override;

private:
    struct OpenKey {
        std::string path;
        std::uint32_t access;
        View view;
    };
    using Keys = std::map<std::string, std::map<std::string, RegValue>>;  // lower-case path / name
    View ViewOf(std::uint32_t access) const;
    Keys& KeysOf(View view);
    const Keys& KeysOf(View view) const;
    std::string SecurityName(const std::string& path, View view) const;
    RegStatus OpenIn(View view, const std::string& subKey, std::uint32_t access, RegKey& opened);
    bool UseWrite();
    Keys keys_;    // the 32-bit view, and the only one on 32-bit Windows
    Keys keys64_;
    std::map<std::string, KeySecurity> security_;  // "32:" or "64:" and the lower-case path
    std::pair<Keys, Keys> onDisk_;
    std::map<RegKey, OpenKey> openHandles_;
    RegKey nextHandle_ = 0x1000;
    std::map<std::string, std::map<std::string, std::string>> profile_;  // lower-case section / key
};

} // namespace hostwend::testing
