// Fuzzes what stands between a text from HWD.ini and the registry: the
// number conversion for REG_DWORD values, the trimming for REG_SZ values and
// the refusal of blank or possibly cut profile values. Each result is checked
// against an oracle written differently from the code under test.
#include "FakePlatform.h"
#include "profile/ProfileValueCheck.h"
#include "registry/UpdateRegValue.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using hostwend::testing::FakePlatform;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Oracle: an optionally signed run of ASCII digits with spaces around it,
// whose value lies in the signed 32-bit range, compared as digit strings.
bool ExpectedNumber(const std::string& text, std::int64_t& number)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    std::string core = text.substr(first, text.find_last_not_of(' ') - first + 1);
    bool negative = core[0] == '-';
    if (core[0] == '-' || core[0] == '+')
        core.erase(0, 1);
    if (core.empty() || core.find_first_not_of("0123456789") != std::string::npos)
        return false;
    core.erase(0, std::min(core.find_first_not_of('0'), core.size() - 1));
    const std::string limit = negative ? "2147483648" : "2147483647";
    if (core.size() > limit.size() || (core.size() == limit.size() && core > limit))
        return false;
    number = std::strtoll(core.c_str(), nullptr, 10) * (negative ? -1 : 1);
    return true;
}

std::string Trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FakePlatform platform;
    const std::wstring wide = platform.FromAnsi(text);
    platform.SetDword("SOFTWARE\\Fuzz", "Number", 0x5A5A5A5A);
    platform.SetString("SOFTWARE\\Fuzz", "Text", "old");

    // REG_DWORD: written exactly when the text is such a number, as its bytes.
    std::int64_t number = 0;
    const bool accepted = ExpectedNumber(text, number);
    const hostwend::UpdateResult numberResult = hostwend::UpdateRegValue(platform, hostwend::kHkeyLocalMachine,
                                                                        L"SOFTWARE\\Fuzz", L"Number", wide);
    const auto stored = platform.Value("SOFTWARE\\Fuzz", "Number");
    if (!stored || stored->type != hostwend::kRegDword || stored->data.size() != 4)
        Fail("the number value lost its type or size");
    const std::uint32_t bits = stored->data[0] | stored->data[1] << 8 | stored->data[2] << 16 |
                               static_cast<std::uint32_t>(stored->data[3]) << 24;
    if (accepted != (numberResult == hostwend::UpdateResult::Done))
        Fail("accepted a text that is no number in range, or refused one that is");
    if (accepted ? bits != static_cast<std::uint32_t>(number) : bits != 0x5A5A5A5A)
        Fail("stored bytes differ from the number");
    // What an apply takes for "already holds its new data" is exactly what it writes.
    if (accepted && hostwend::NewDataBytes(platform, hostwend::kRegDword, wide) != stored->data)
        Fail("the bytes a number is compared by differ from those written");

    // REG_SZ: the text without surrounding spaces, then one NUL.
    if (hostwend::UpdateRegValue(platform, hostwend::kHkeyLocalMachine, L"SOFTWARE\\Fuzz", L"Text", wide) !=
        hostwend::UpdateResult::Done)
        Fail("a text value was refused");
    const auto textAsRead = platform.ValueAsReadW("SOFTWARE\\Fuzz", "Text");
    if (!textAsRead || hostwend::NewDataBytes(platform, hostwend::kRegSz, wide) != textAsRead->data)
        Fail("the bytes a text is compared by differ from those a read returns");
    const auto textValue = platform.Value("SOFTWARE\\Fuzz", "Text");
    std::string expected = Trimmed(text);
    expected.push_back('\0');
    if (!textValue || std::string(textValue->data.begin(), textValue->data.end()) != expected)
        Fail("stored text is not the trimmed text with its NUL");
    if (platform.OpenHandleCount() != 0)
        Fail("a key was left open");

    // Profile values: refused when blank or when the read filled the buffer.
    for (std::int16_t length : {std::int16_t(text.size() % 300), std::int16_t(254), std::int16_t(255)}) {
        const std::wstring refusal = hostwend::ProfileValueRefusal(L"LanAddress", wide, length);
        const bool blank = Trimmed(text).empty();
        const bool tooLong = length >= 255;
        if (refusal.empty() != (!blank && !tooLong))
            Fail("refused a usable value, or let a blank or cut one through");
    }
    return 0;
}
