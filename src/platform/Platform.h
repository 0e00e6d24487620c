#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// Registry handles are opaque pointer-sized values; a predefined root such as
// HKEY_LOCAL_MACHINE is the sign-extended 32-bit constant Windows uses.
using RegKey = std::uintptr_t;
using RegStatus = std::int32_t;

inline constexpr RegKey kHkeyLocalMachine =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));
inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kKeyRead = 0x20019;
// The TARN client is a 32-bit program: its settings live in the 32-bit view,
// which a 64-bit build only sees when it asks for it.
inline constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Message box styles and results, as the Windows constants.
inline constexpr int kMbCritical = 16;        // MB_OK | MB_ICONHAND
inline constexpr int kMbInformation = 64;     // MB_OK | MB_ICONASTERISK
inline constexpr int kMbInformationOkCancel = 65;
inline constexpr int kIdOk = 1;

enum class OptionButton { OptLan, OptVPN, OptVsat, OptOthers };

// How long an apply waits for another one on the same computer to finish.
inline constexpr std::uint32_t kApplyLockWaitMilliseconds = 30000;

// Held while one apply reads the profile and writes; released when destroyed.
class ApplyLock {
public:
    virtual ~ApplyLock() = default;
};

// Everything the logic needs from the operating system. Text inside the
// program is wide; the A-suffixed functions take ANSI text, converted with
// ToAnsi/FromAnsi by the caller so that byte counts are the caller's to get right.
class Platform {
public:
    virtual ~Platform() = default;

    // Modal message box (MessageBox on Windows); returns the button that closed it (kIdOk, ...).
    virtual int MsgBox(std::wstring_view prompt, int style, std::wstring_view title) = 0;

    // GetPrivateProfileStringA: copies at most capacity - 1 bytes plus a NUL
    // into buffer and returns the count copied, without the NUL.
    virtual std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                                   const std::string& defaultText, char* buffer,
                                                   std::uint32_t capacity, const std::string& path) = 0;

    virtual RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                                    std::uint32_t access, RegKey& opened) = 0;
    // Queries only the type and size of a value; reads no data.
    virtual RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                       std::uint32_t& size) = 0;
    virtual RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) = 0;
    virtual RegStatus RegCloseKey(RegKey key) = 0;
    // Reads a value's type and data as the registry holds them, text in
    // UTF-16 (RegQueryValueExW), so that no character is lost to the code page.
    virtual RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                                       std::vector<std::uint8_t>& data) = 0;

    // Directory of the executable; no trailing backslash except at a drive root.
    virtual std::wstring ProgramDirectory() = 0;
    // The file's own name when an ordinary file exists at path, else empty.
    virtual std::wstring FileTest(const std::wstring& path) = 0;
    // Ends the program at once. A test double returns; callers return right after.
    virtual void EndProgram() = 0;

    // What the logic reads from the main window, at the moment it asks.
    virtual std::wstring MainWindowCaption() = 0;
    virtual bool IsOptionSet(OptionButton option) = 0;

    // Whether administrator rights are in effect: elevated, or running as SYSTEM.
    virtual bool IsElevated() = 0;
    // The machine-wide apply lock, waited for up to waitMilliseconds; null
    // when another apply still holds it then.
    virtual std::unique_ptr<ApplyLock> LockApply(std::uint32_t waitMilliseconds) = 0;

    // Conversions to and from the ANSI code page.
    virtual std::string ToAnsi(std::wstring_view text) = 0;
    virtual std::wstring FromAnsi(std::string_view text) = 0;
};

} // namespace hostwend
