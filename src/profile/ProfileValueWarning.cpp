#include "profile/ProfileValueWarning.h"

#include "profile/ConnectionType.h"

#include <vector>

namespace hostwend {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsLetterOrDigit(wchar_t c) { return IsDigit(c) || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// A whole decimal number from low to high, digits only.
bool IsNumberIn(std::wstring_view text, unsigned low, unsigned high)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned number = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c))
            return false;
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    return number >= low && number <= high;
}

std::vector<std::wstring_view> Labels(std::wstring_view text)
{
    std::vector<std::wstring_view> labels;
    for (std::size_t start = 0;;) {
        const std::size_t dot = text.find(L'.', start);
        labels.push_back(text.substr(start, dot == std::wstring_view::npos ? std::wstring_view::npos : dot - start));
        if (dot == std::wstring_view::npos)
            return labels;
        start = dot + 1;
    }
}

// Four dotted numbers from 0 to 255, or letters, digits and inner hyphens in
// dot-separated labels of up to 63 characters whose last is not all digits
// (so 10.0.0.300 is no host name either).
bool IsAddressOrHostName(std::wstring_view text)
{
    if (text.empty() || text.size() > 253)
        return false;
    const std::vector<std::wstring_view> labels = Labels(text);
    bool allNumbers = true;
    for (std::wstring_view label : labels)
        allNumbers = allNumbers && !label.empty() &&
                     label.find_first_not_of(L"0123456789") == std::wstring_view::npos;
    if (allNumbers) {
        if (labels.size() != 4)
            return false;
        for (std::wstring_view label : labels)
            if (label.size() > 3 || !IsNumberIn(label, 0, 255))
                return false;
        return true;
    }
    for (std::wstring_view label : labels) {
        if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-')
            return false;
        for (wchar_t c : label)
            if (!IsLetterOrDigit(c) && c != L'-')
                return false;
    }
    return labels.back().find_first_not_of(L"0123456789") != std::wstring_view::npos;
}

// A dotted address with an octet such as 010: the client hands the text to
// Windows' address parsing, which reads a leading zero as octal (010.0.0.1 is
// 8.0.0.1), whatever the operator meant. A lone 0 is no leading zero.
bool HasLeadingZeroOctet(std::wstring_view text)
{
    const std::vector<std::wstring_view> labels = Labels(text);
    if (labels.size() != 4)
        return false;
    bool leadingZero = false;
    for (std::wstring_view label : labels) {
        if (label.empty() || label.find_first_not_of(L"0123456789") != std::wstring_view::npos)
            return false;
        leadingZero = leadingZero || (label.size() > 1 && label.front() == L'0');
    }
    return leadingZero;
}

} // namespace

std::wstring ProfileValueWarning(std::wstring_view key, std::wstring_view value, std::wstring_view profileName)
{
    if (key == kPortKey) {
        if (!IsNumberIn(value, 1, 65535))
            return std::wstring(key) + L" in " + std::wstring(profileName) +
                   L" is not a port number from 1 to 65535: " + std::wstring(value);
        return {};
    }
    if (!IsAddressOrHostName(value))
        return std::wstring(key) + L" in " + std::wstring(profileName) +
               L" is neither an IPv4 address nor a host name: " + std::wstring(value);
    if (HasLeadingZeroOctet(value))
        return std::wstring(key) + L" in " + std::wstring(profileName) +
               L" has a number with a leading zero, which Windows reads as octal: " + std::wstring(value);
    return {};
}

} // namespace hostwend
