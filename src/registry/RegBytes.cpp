#include "registry/RegBytes.h"

namespace hostwend {

std::vector<std::uint8_t> Utf16Bytes(std::wstring_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (wchar_t c : text) {
        const auto unit = static_cast<std::uint16_t>(c);
        bytes.push_back(static_cast<std::uint8_t>(unit));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::vector<std::uint8_t> DwordBytes(std::uint32_t number)
{
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::wstring Utf16Text(const std::vector<std::uint8_t>& data)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

std::uint64_t LittleEndian(const std::vector<std::uint8_t>& data, std::size_t byteCount)
{
    std::uint64_t number = 0;
    for (std::size_t i = byteCount; i-- > 0;)
        number = (number << 8) | data[i];
    return number;
}

} // namespace hostwend
