#include "rollback/UndoRecordTrust.h"

#include "platform/HexText.h"

namespace hostwend {
namespace {

// Rights that change a key, its values or who may: KEY_SET_VALUE,
// KEY_CREATE_SUB_KEY, KEY_CREATE_LINK, DELETE, WRITE_DAC, WRITE_OWNER,
// GENERIC_ALL, GENERIC_WRITE (KEY_ALL_ACCESS holds several of them).
constexpr std::uint32_t kChangingRights = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000 |
                                          0x10000000 | 0x40000000;

bool IsSystemOrAdministrators(std::wstring_view sid) { return sid == kSystemSid || sid == kAdministratorsSid; }

} // namespace

// The owner may always rewrite the DACL, so it must be one of the two as well.
// Deny entries only take rights away, and an inherit-only entry does not apply
// to the key itself: Wine's one descriptor for every key,
// O:BAD:(A;CIIO;GR;;;BU)(A;;KA;;;BA), passes for that reason.
std::wstring UndoRecordTrustProblem(const KeySecurity& security)
{
    if (!IsSystemOrAdministrators(security.ownerSid))
        return L"its owner is " + (security.ownerSid.empty() ? std::wstring(L"unknown") : security.ownerSid) +
               L", not SYSTEM or Administrators";
    if (!security.hasDacl)
        return L"it has no DACL, so everyone may change it";
    for (const AccessEntry& entry : security.dacl) {
        if (!entry.allows || entry.inheritOnly || (entry.mask & kChangingRights) == 0 ||
            IsSystemOrAdministrators(entry.sid))
            continue;
        return L"its DACL lets " + (entry.sid.empty() ? std::wstring(L"a trustee of an unknown kind") : entry.sid) +
               L" change it (access mask 0x" + HexDigits(entry.mask, 8, HexCase::Upper) + L")";
    }
    return {};
}

} // namespace hostwend
