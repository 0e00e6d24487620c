#pragma once

#include "platform/Platform.h"

#include <array>

#include <windows.h>

namespace hostwend {

// The platform services on Windows: each call is the named system function.
class Win32Platform final : public Platform {
public:
    // The main window and its option buttons, in OptionButton order. Until
    // this is called there is no window to read from or to own a message box.
    void AttachMainWindow(HWND form, const std::array<HWND, 4>& optionButtons);

    int MsgBox(std::wstring_view prompt, int style, std::wstring_view title) override;
    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const std::string& defaultText, char* buffer,
                                           std::uint32_t capacity, const std::string& path) override;
    RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                            std::uint32_t access, RegKey& opened) override;
    RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                               std::uint32_t& size) override;
    RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) override;
    RegStatus RegCloseKey(RegKey key) override;
    RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) override;
    std::wstring ProgramDirectory() override;
    std::wstring FileTest(const std::wstring& path) override;
    void EndProgram() override;
    std::wstring MainWindowCaption() override;
    bool IsOptionSet(OptionButton option) override;
    bool IsElevated() override;
    std::unique_ptr<ApplyLock> LockApply(std::uint32_t waitMilliseconds) override;
    std::string ToAnsi(std::wstring_view text) override;
    std::wstring FromAnsi(std::string_view text) override;

private:
    HWND mainWindow_ = nullptr;
    std::array<HWND, 4> optionButtons_{};
};

} // namespace hostwend
