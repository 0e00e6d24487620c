#include "registry/UpdateRegValue.h"

#include "platform/OpenedKey.h"
#include "registry/DwordText.h"
#include "registry/RegBytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hostwend {
namespace {

std::wstring_view TrimSpaces(std::wstring_view text) noexcept
{
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::vector<std::uint8_t> StringData(Registry& registry, std::wstring_view text)
{
    const std::string ansi = registry.ToAnsi(TrimSpaces(text));
    std::vector<std::uint8_t> data(ansi.begin(), ansi.end());
    data.push_back(0);  // the registry stores what it is given; the NUL is ours to add
    return data;
}

std::optional<std::vector<std::uint8_t>> DwordData(std::wstring_view text)
{
    const auto number = ParseDwordText(text);
    if (!number)
        return std::nullopt;
    return DwordBytes(static_cast<std::uint32_t>(*number));
}

// Open, query the type, write once in that type, close. The key is opened in
// the 32-bit view, where the TARN client keeps its settings, with the two
// rights the update uses: a key hardened to grant just those is still
// rewritten, and check predicts exactly what apply will meet.
// Nothing is created, deleted or retyped: a value that is missing or of another
// type than text or number is reported, not repaired. Without write, the same
// road stops just before the write: what a dry run can tell.
UpdateResult UpdateOrCheck(Registry& registry, RegKey root, std::wstring_view keyPath, std::wstring_view valueName,
                           std::wstring_view newValue, bool write)
{
    RegKey handle{};
    if (registry.RegOpenKeyExA(root, registry.ToAnsi(keyPath), 0, kKeyQueryValue | kKeySetValue | kKeyWow64_32Key, handle) !=
        kErrorSuccess)
        return UpdateResult::KeyNotOpened;
    const OpenedKey key(registry, handle);

    const std::string name = registry.ToAnsi(valueName);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry.RegQueryValueExA(key.Get(), name, type, size) != kErrorSuccess)
        return UpdateResult::ValueNotFound;

    std::vector<std::uint8_t> data;
    if (type == kRegSz) {
        // An update writes the code page's substitutes, as the window always
        // has; a check says that what lands would not be what the profile holds.
        if (!write && registry.FromAnsi(registry.ToAnsi(TrimSpaces(newValue))) != TrimSpaces(newValue))
            return UpdateResult::OutsideCodePage;
        data = StringData(registry, newValue);
    } else if (type == kRegDword) {
        // Text that is not a number must not reach a number value as some
        // default; the caller stops and tells the operator instead.
        auto number = DwordData(newValue);
        if (!number)
            return UpdateResult::NotAWholeNumber;
        data = std::move(*number);
    } else {
        return UpdateResult::UnsupportedType;
    }

    if (write && registry.RegSetValueExA(key.Get(), name, type, data.data(), static_cast<std::uint32_t>(data.size())) !=
                     kErrorSuccess)
        return UpdateResult::WriteRefused;
    return UpdateResult::Done;
}

} // namespace

UpdateResult UpdateRegValue(Registry& registry, RegKey root, std::wstring_view keyPath,
                            std::wstring_view valueName, std::wstring_view newValue)
{
    return UpdateOrCheck(registry, root, keyPath, valueName, newValue, true);
}

UpdateResult CheckRegValue(Registry& registry, RegKey root, std::wstring_view keyPath, std::wstring_view valueName,
                           std::wstring_view newValue)
{
    return UpdateOrCheck(registry, root, keyPath, valueName, newValue, false);
}

std::optional<std::wstring> NewDataAsStored(Registry& registry, std::uint32_t type, std::wstring_view newValue)
{
    if (type == kRegSz)
        return registry.FromAnsi(registry.ToAnsi(TrimSpaces(newValue)));
    if (type == kRegDword) {
        if (auto number = ParseDwordText(newValue))
            return DecimalText(static_cast<std::uint32_t>(*number));
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> NewDataBytes(Registry& registry, std::uint32_t type,
                                                      std::wstring_view newValue)
{
    if (type == kRegDword)
        return DwordData(newValue);
    if (type != kRegSz)
        return std::nullopt;
    // Stored through the code page with its NUL, read back in UTF-16.
    return Utf16Bytes(registry.FromAnsi(registry.ToAnsi(TrimSpaces(newValue))));
}

std::wstring UpdateResultMarker(UpdateResult result)
{
    if (result == UpdateResult::Done)
        return {};
    return L"#ERROR :" + DecimalText(static_cast<std::uint32_t>(result)) + L"#";
}

std::wstring_view DescribeUpdateResult(UpdateResult result)
{
    switch (result) {
    case UpdateResult::Done:
        break;
    case UpdateResult::KeyNotOpened:
        return L"the key is missing or cannot be opened to query and set values";
    case UpdateResult::ValueNotFound:
        return L"the value is missing";
    case UpdateResult::WriteRefused:
        return L"the registry refused the write";
    case UpdateResult::UnsupportedType:
        return L"the value is neither text (REG_SZ) nor a number (REG_DWORD)";
    case UpdateResult::NotAWholeNumber:
        return L"the value is a number (REG_DWORD) and the new data is not a whole number";
    case UpdateResult::OutsideCodePage:
        return L"the value is text (REG_SZ) and the new data has characters that this computer's code page cannot "
               L"carry";
    }
    return {};
}

} // namespace hostwend
