#include "platform/win32/Win32Registry.h"

#include "platform/win32/LastError.h"
#include "platform/win32/SidText.h"
#include "platform/win32/UniqueHandle.h"

#include <windows.h>

#include <sddl.h>

namespace hostwend {
namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

// Allowed, denied and their callback kinds keep the SID right after the mask;
// the object kinds put GUIDs first, and are read as granting to nobody we know.
AccessEntry EntryOf(const ACE_HEADER* header)
{
    const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    AccessEntry entry;
    entry.allows = header->AceType != ACCESS_DENIED_ACE_TYPE && header->AceType != ACCESS_DENIED_CALLBACK_ACE_TYPE &&
                   header->AceType != ACCESS_DENIED_OBJECT_ACE_TYPE &&
                   header->AceType != ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
    entry.mask = ace->Mask;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE ||
        header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE || header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE)
        entry.sid = SidText(const_cast<DWORD*>(&ace->SidStart));
    return entry;
}

} // namespace

RegStatus Win32Registry::RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t access, RegKey& opened)
{
    HKEY key = nullptr;
    LSTATUS status = ::RegOpenKeyExA(ToHkey(root), subKey.c_str(), options, access, &key);
    if (status == ERROR_SUCCESS)
        opened = reinterpret_cast<RegKey>(key);
    return status;
}

RegStatus Win32Registry::RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                          std::uint32_t& size)
{
    DWORD typeCode = 0;
    DWORD dataSize = size;
    LSTATUS status = ::RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &typeCode, nullptr, &dataSize);
    type = typeCode;
    size = dataSize;
    return status;
}

RegStatus Win32Registry::RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t size)
{
    return ::RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data, size);
}

RegStatus Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

RegStatus Win32Registry::RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                                          std::vector<std::uint8_t>& data)
{
    const std::wstring name(valueName);
    // Read straight into a buffer that holds any value the program reads,
    // rather than asking the size first: one round trip to the registry
    // instead of two (under Wine each is a request to its server). A larger
    // value says how large it is; so does one that grew in between.
    DWORD capacity = 256;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD typeCode = 0;
        DWORD size = capacity;
        data.resize(capacity);
        const LSTATUS status = ::RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &typeCode, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            capacity = size > capacity ? size : capacity * 2;
            continue;
        }
        if (status == ERROR_SUCCESS) {
            type = typeCode;
            data.resize(size);
        } else {
            data.clear();
        }
        return status;
    }
    data.clear();
    return ERROR_MORE_DATA;
}

RegStatus Win32Registry::RegCreateKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                                         std::wstring_view securitySddl, RegKey& opened)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl(securitySddl);
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return static_cast<RegStatus>(LastErrorOr(ERROR_INVALID_PARAMETER));
    const UniqueLocal ownedDescriptor(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const std::wstring path(subKey);
    HKEY key = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(ToHkey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                             &attributes, &key, nullptr);
    if (status == ERROR_SUCCESS)
        opened = reinterpret_cast<RegKey>(key);
    return status;
}

RegStatus Win32Registry::RegOpenKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access, RegKey& opened)
{
    const std::wstring path(subKey);
    HKEY key = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(ToHkey(root), path.c_str(), 0, access, &key);
    if (status == ERROR_SUCCESS)
        opened = reinterpret_cast<RegKey>(key);
    return status;
}

RegStatus Win32Registry::RegSetValueExW(RegKey key, std::wstring_view valueName, std::uint32_t type,
                                        const std::vector<std::uint8_t>& data)
{
    // Windows adds a NUL to text that lacks one when the next character in the
    // caller's memory is a NUL. Data put back must stay exactly as it was, so
    // what follows it here never is.
    std::vector<std::uint8_t> padded(data);
    padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    const std::wstring name(valueName);
    return ::RegSetValueExW(ToHkey(key), name.c_str(), 0, type, padded.data(), static_cast<DWORD>(data.size()));
}

RegStatus Win32Registry::RegDeleteValueW(RegKey key, std::wstring_view valueName)
{
    const std::wstring name(valueName);
    return ::RegDeleteValueW(ToHkey(key), name.c_str());
}

RegStatus Win32Registry::RegFlushKey(RegKey key) { return ::RegFlushKey(ToHkey(key)); }

RegStatus Win32Registry::RegGetKeySecurity(RegKey key, KeySecurity& security)
{
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    LSTATUS status = ::RegGetKeySecurity(ToHkey(key), wanted, nullptr, &size);
    if (status != ERROR_INSUFFICIENT_BUFFER)
        return status == ERROR_SUCCESS ? ERROR_INVALID_SECURITY_DESCR : status;
    // SECURITY_DESCRIPTOR's fields want pointer alignment.
    std::vector<void*> buffer(size / sizeof(void*) + 1);
    status = ::RegGetKeySecurity(ToHkey(key), wanted, buffer.data(), &size);
    if (status != ERROR_SUCCESS)
        return status;
    PSECURITY_DESCRIPTOR descriptor = buffer.data();
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    BOOL daclPresent = FALSE;
    BOOL daclDefaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &daclDefaulted))
        return static_cast<RegStatus>(LastErrorOr(ERROR_INVALID_SECURITY_DESCR));
    security = KeySecurity{};
    security.ownerSid = SidText(owner);
    // A present but NULL DACL grants everyone everything, as none does.
    security.hasDacl = daclPresent && dacl;
    if (!security.hasDacl)
        return ERROR_SUCCESS;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return static_cast<RegStatus>(LastErrorOr(ERROR_INVALID_ACL));
        security.dacl.push_back(EntryOf(static_cast<const ACE_HEADER*>(ace)));
    }
    return ERROR_SUCCESS;
}

std::string Win32Registry::ToAnsi(std::wstring_view text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::wstring Win32Registry::FromAnsi(std::string_view text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

} // namespace hostwend
