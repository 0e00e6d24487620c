#pragma once

#include "platform/win32/Win32Platform.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace hostwend::driver {

// The real platform for registry, files and text, without a window: message
// boxes are recorded and answered OK at once, and the caption and option
// buttons are plain fields. For running the logic under Wine from a test or
// a benchmark; override a call to watch it.
class ScriptedPlatform : public Platform {
public:
    struct Box {
        std::wstring prompt;
        int style;
        std::wstring title;
    };
    std::vector<Box> boxes;
    std::array<bool, 4> optionSet{};
    std::wstring caption = L"Caption as it reads now";

    int MsgBox(std::wstring_view prompt, int style, std::wstring_view title) override
    {
        boxes.push_back({std::wstring(prompt), style, std::wstring(title)});
        return kIdOk;
    }
    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const std::string& defaultText, char* buffer, std::uint32_t capacity,
                                           const std::string& path) override
    {
        return real_.GetPrivateProfileStringA(section, key, defaultText, buffer, capacity, path);
    }
    RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                            RegKey& opened) override
    {
        return real_.RegOpenKeyExA(root, subKey, options, access, opened);
    }
    RegStatus RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                               std::uint32_t& size) override
    {
        return real_.RegQueryValueExA(key, valueName, type, size);
    }
    RegStatus RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override
    {
        return real_.RegSetValueExA(key, valueName, type, data, size);
    }
    RegStatus RegCloseKey(RegKey key) override { return real_.RegCloseKey(key); }
    RegStatus RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) override
    {
        return real_.RegQueryValueExW(key, valueName, type, data);
    }
    std::wstring ProgramDirectory() override { return real_.ProgramDirectory(); }
    std::wstring FileTest(const std::wstring& path) override { return real_.FileTest(path); }
    // Recorded, not done: the caller decides whether it was wanted.
    void EndProgram() override { ++endProgramCalls; }
    std::wstring MainWindowCaption() override { return caption; }
    bool IsOptionSet(OptionButton option) override { return optionSet[static_cast<std::size_t>(option)]; }
    bool IsElevated() override { return real_.IsElevated(); }
    std::unique_ptr<ApplyLock> LockApply(std::uint32_t waitMilliseconds) override
    {
        return real_.LockApply(waitMilliseconds);
    }
    std::string ToAnsi(std::wstring_view text) override { return real_.ToAnsi(text); }
    std::wstring FromAnsi(std::string_view text) override { return real_.FromAnsi(text); }

    int endProgramCalls = 0;

private:
    Win32Platform real_;
};

} // namespace hostwend::driver
