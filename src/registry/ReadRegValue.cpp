#include "registry/ReadRegValue.h"

#include "platform/HexText.h"
#include "registry/DwordText.h"
#include "registry/RegBytes.h"

namespace hostwend {
std::wstring RegDataText(std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    if (type == kRegSz || type == kRegExpandSz) {
        std::wstring text = Utf16Text(data);
        // The stored NUL ends the text; a value written without one has none.
        if (std::size_t end = text.find(L'\0'); end != std::wstring::npos)
            text.resize(end);
        return text;
    }
    if (type == kRegMultiSz) {
        // The strings one per line, without the empty string that ends the list.
        std::wstring text = Utf16Text(data);
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        for (wchar_t& c : text)
            if (c == L'\0')
                c = L'\n';
        return text;
    }
    if (type == kRegDword && data.size() == 4)
        return DecimalText(LittleEndian(data, 4));
    if (type == kRegQword && data.size() == 8)
        return DecimalText(LittleEndian(data, 8));
    std::wstring text;
    for (std::uint8_t byte : data) {
        if (!text.empty())
            text.push_back(L' ');
        text += HexDigits(byte, 2, HexCase::Lower);
    }
    return text;
}

std::wstring RegTypeName(std::uint32_t type)
{
    switch (type) {
    case 0:
        return L"REG_NONE";
    case kRegSz:
        return L"REG_SZ";
    case kRegExpandSz:
        return L"REG_EXPAND_SZ";
    case kRegBinary:
        return L"REG_BINARY";
    case kRegDword:
        return L"REG_DWORD";
    case 5:
        return L"REG_DWORD_BIG_ENDIAN";
    case kRegMultiSz:
        return L"REG_MULTI_SZ";
    case kRegQword:
        return L"REG_QWORD";
    default:
        return L"type " + DecimalText(type);
    }
}

RegValueRead ReadRegValue(Registry& registry, std::wstring_view keyPath, std::wstring_view valueName)
{
    auto failed = [](RegStatus status) { return RegValueRead{std::nullopt, status}; };
    RegKey key{};
    // The right to query values and no more: showing what a client points at
    // needs no administrator, and a key hardened to grant only query and set
    // must still give an apply each value's data before it.
    if (const RegStatus status = registry.RegOpenKeyExA(kHkeyLocalMachine, registry.ToAnsi(keyPath), 0,
                                                        kKeyQueryValue | kKeyWow64_32Key, key);
        status != kErrorSuccess)
        return failed(status);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const RegStatus status = registry.RegQueryValueExW(key, valueName, type, data);
    registry.RegCloseKey(key);
    if (status != kErrorSuccess)
        return failed(status);
    std::wstring text = RegDataText(type, data);
    return {RegValueNow{{type, std::move(data)}, std::move(text)}, kErrorSuccess};
}

} // namespace hostwend
