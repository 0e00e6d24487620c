#include "FakePlatform.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <tuple>

namespace hostwend::testing {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A lock or hold that counts how many are in force.
template <typename Base>
struct Counted final : Base {
    explicit Counted(int& count) : count_(count) { ++count_; }
    ~Counted() override { --count_; }
    int& count_;
};

bool IsText(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Text kept as the A functions wrote it (Latin-1 here), in UTF-16 as a W read returns it.
std::vector<std::uint8_t> Widened(const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> wide;
    for (std::uint8_t byte : data) {
        wide.push_back(byte);
        wide.push_back(0);
    }
    return wide;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

} // namespace

void FakePlatform::AddKey(const std::string& path, View view)
{
    // Like RegCreateKey, the parents come into being with the key.
    Keys& keys = KeysOf(view);
    std::string lower = Lower(path);
    for (std::size_t at = lower.find('\\'); at != std::string::npos; at = lower.find('\\', at + 1))
        keys[lower.substr(0, at)];
    keys[lower];
}

void FakePlatform::SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                            std::vector<std::uint8_t> data, View view)
{
    AddKey(path, view);
    KeysOf(view)[Lower(path)][Lower(name)] = RegValue{type, std::move(data)};
}

void FakePlatform::SetRawValue(const std::string& path, const std::string& name, std::uint32_t type,
                               std::vector<std::uint8_t> data, View view)
{
    AddKey(path, view);
    KeysOf(view)[Lower(path)][Lower(name)] = RegValue{type, std::move(data), true};
}

void FakePlatform::SetString(const std::string& path, const std::string& name, const std::string& text)
{
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SetValue(path, name, kRegSz, std::move(data));
}

void FakePlatform::SetDword(const std::string& path, const std::string& name, std::uint32_t number)
{
    SetValue(path, name, kRegDword,
             {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
              static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)});
}

void FakePlatform::RemoveValue(const std::string& path, const std::string& name, View view)
{
    Keys& keys = KeysOf(view);
    if (auto key = keys.find(Lower(path)); key != keys.end())
        key->second.erase(Lower(name));
}

std::optional<FakePlatform::RegValue> FakePlatform::Value(const std::string& path, const std::string& name,
                                                          View view) const
{
    const Keys& keys = KeysOf(view);
    auto key = keys.find(Lower(path));
    if (key == keys.end())
        return std::nullopt;
    auto value = key->second.find(Lower(name));
    if (value == key->second.end())
        return std::nullopt;
    return value->second;
}

std::optional<FakePlatform::RegValue> FakePlatform::ValueAsReadW(const std::string& path, const std::string& name,
                                                                 View view) const
{
    std::optional<RegValue> value = Value(path, name, view);
    if (!value || value->wide || !IsText(value->type))
        return value;
    return RegValue{value->type, Widened(value->data), true};
}

bool FakePlatform::KeyExists(const std::string& path, View view) const
{
    return KeysOf(view).count(Lower(path)) != 0;
}

FakePlatform::View FakePlatform::ViewOf(std::uint32_t access) const
{
    return windows64 && (access & kKeyWow64_64Key) != 0 ? View::Wow64 : View::Wow32;
}

FakePlatform::Keys& FakePlatform::KeysOf(View view) { return view == View::Wow64 && windows64 ? keys64_ : keys_; }

const FakePlatform::Keys& FakePlatform::KeysOf(View view) const
{
    return view == View::Wow64 && windows64 ? keys64_ : keys_;
}

std::string FakePlatform::SecurityName(const std::string& path, View view) const
{
    return (view == View::Wow64 && windows64 ? "64:" : "32:") + Lower(path);
}

void FakePlatform::SetKeySecurity(const std::string& path, const std::string& sddl, View view)
{
    security_[SecurityName(path, view)] = SecurityFromSddl(sddl);
}

KeySecurity FakePlatform::SecurityFromSddl(const std::string& sddl)
{
    static const std::map<std::string, std::string> kSids{
        {"SY", "S-1-5-18"}, {"BA", "S-1-5-32-544"}, {"BU", "S-1-5-32-545"}, {"WD", "S-1-1-0"},
        {"CO", "S-1-3-0"},  {"AU", "S-1-5-11"},     {"PU", "S-1-5-32-547"}};
    static const std::map<std::string, std::uint32_t> kRights{
        {"KA", 0xF003F}, {"KR", 0x20019}, {"KW", 0x20006}, {"GA", 0x10000000}, {"GR", 0x80000000},
        {"GW", 0x40000000}, {"WD", 0x40000}, {"WO", 0x80000}, {"SD", 0x10000}, {"RC", 0x20000}};
    auto sid = [&](const std::string& text) {
        auto alias = kSids.find(text);
        return Wide(alias != kSids.end() ? alias->second : text);
    };
    auto field = [](const std::string& text, std::size_t& at) {
        std::size_t end = text.find_first_of(";)", at);
        std::string part = text.substr(at, end - at);
        at = end + 1;
        return part;
    };
    KeySecurity security;
    std::size_t dacl = sddl.find("D:");
    if (sddl.rfind("O:", 0) == 0)
        security.ownerSid = sid(sddl.substr(2, (dacl == std::string::npos ? sddl.size() : dacl) - 2));
    if (dacl == std::string::npos)
        return security;
    security.hasDacl = true;
    for (std::size_t at = sddl.find('(', dacl); at != std::string::npos; at = sddl.find('(', at)) {
        ++at;
        AccessEntry entry;
        entry.allows = field(sddl, at) == "A";
        entry.inheritOnly = field(sddl, at).find("IO") != std::string::npos;
        std::string rights = field(sddl, at);
        if (rights.rfind("0x", 0) == 0)
            entry.mask = static_cast<std::uint32_t>(std::stoul(rights, nullptr, 16));
        for (std::size_t r = 0; rights.rfind("0x", 0) != 0 && r + 1 < rights.size(); r += 2)
            entry.mask |= kRights.at(rights.substr(r, 2));
        field(sddl, at);  // object type
        field(sddl, at);  // inherited object type
        entry.sid = sid(field(sddl, at));
        security.dacl.push_back(entry);
    }
    return security;
}

void FakePlatform::SettleOnDisk() { onDisk_ = {keys_, keys64_}; }

void FakePlatform::PowerCut()
{
    std::tie(keys_, keys64_) = onDisk_;
    openHandles_.clear();
    writesLeft.reset();
}

bool FakePlatform::UseWrite()
{
    if (!writesLeft)
        return true;
    if (*writesLeft == 0)
        return false;
    --*writesLeft;
    return true;
}

std::size_t FakePlatform::ValueCount() const
{
    std::size_t count = 0;
    for (const auto& [path, values] : keys_)
        count += values.size();
    return count;
}

void FakePlatform::SetProfileEntry(const std::string& section, const std::string& key, const std::string& value)
{
    profile_[Lower(section)][Lower(key)] = value;
}

int FakePlatform::MsgBox(std::wstring_view prompt, int style, std::wstring_view title)
{
    boxes.push_back({std::wstring(prompt), style, std::wstring(title), locksHeld});
    if (answers.empty())
        return kIdOk;
    int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

std::uint32_t FakePlatform::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                     const std::wstring& defaultText, wchar_t* buffer,
                                                     std::uint32_t capacity, const std::wstring& path)
{
    profileReads.push_back({ToAnsi(section), ToAnsi(key), ToAnsi(defaultText), path, capacity});
    std::wstring text = defaultText;
    if (dropTrailingBlanksOfDefault)
        text.erase(text.find_last_not_of(L' ') + 1);
    if (path == profileFilePath) {
        auto s = profile_.find(Lower(ToAnsi(section)));
        if (s != profile_.end()) {
            auto k = s->second.find(Lower(ToAnsi(key)));
            if (k != s->second.end())
                text = FromAnsi(k->second);
        }
    }
    if (capacity == 0)
        return 0;
    std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), capacity - 1));
    std::copy_n(text.data(), count, buffer);
    buffer[count] = L'\0';
    return count;
}

RegStatus FakePlatform::OpenIn(View view, const std::string& subKey, std::uint32_t access, RegKey& opened)
{
    std::string lower = Lower(subKey);
    if (!KeysOf(view).count(lower))
        return kErrorFileNotFound;
    // The view flags are no rights; everything else asked for must be granted.
    if (auto rights = keyRights.find(lower);
        rights != keyRights.end() && (access & ~(kKeyWow64_32Key | kKeyWow64_64Key) & ~rights->second) != 0)
        return kErrorAccessDenied;
    opened = nextHandle_++;
    openHandles_[opened] = {lower, access, view};
    return kErrorSuccess;
}

RegStatus FakePlatform::RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t,
                                      std::uint32_t access, RegKey& opened)
{
    registryCalls.push_back("open " + subKey);
    openAccessMasks.push_back(access);
    if (root != kHkeyLocalMachine)
        return kErrorFileNotFound;
    return OpenIn(ViewOf(access), subKey, access, opened);
}

RegStatus FakePlatform::RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                         std::uint32_t& size)
{
    registryCalls.push_back("query " + valueName);
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    const auto& values = KeysOf(handle->second.view)[handle->second.path];
    auto value = values.find(Lower(valueName));
    if (value == values.end())
        return kErrorFileNotFound;
    type = value->second.type;
    size = static_cast<std::uint32_t>(value->second.data.size());
    if (value->second.wide && IsText(type))
        size /= 2;
    return kErrorSuccess;
}

RegStatus FakePlatform::RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                                       const std::uint8_t* data, std::uint32_t size)
{
    registryCalls.push_back("set " + valueName);
    holdsAtEachWrite.push_back(interruptionHolds);
    if (!throwAtWriteOf.empty() && Lower(valueName) == Lower(throwAtWriteOf))
        throw std::bad_alloc();
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    if ((handle->second.access & kKeySetValue) == 0)
        return kErrorAccessDenied;
    if (valuesRefusingWrites.count(handle->second.path + "\\" + Lower(valueName)))
        return kErrorAccessDenied;
    // Unlike Wine, keep the bytes exactly as given, so a missing NUL shows.
    KeysOf(handle->second.view)[handle->second.path][Lower(valueName)] =
        RegValue{type, std::vector<std::uint8_t>(data, data + size)};
    return kErrorSuccess;
}

RegStatus FakePlatform::RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                                         std::vector<std::uint8_t>& data)
{
    const std::string name = ToAnsi(valueName);
    registryCalls.push_back("read " + name);
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    if ((handle->second.access & kKeyQueryValue) == 0)
        return kErrorAccessDenied;
    if (auto failing = valuesFailingReads.find(handle->second.path + "\\" + Lower(name));
        failing != valuesFailingReads.end())
        return failing->second;
    const auto& values = KeysOf(handle->second.view)[handle->second.path];
    auto value = values.find(Lower(name));
    if (value == values.end())
        return kErrorFileNotFound;
    type = value->second.type;
    data = value->second.wide || !IsText(type) ? value->second.data : Widened(value->second.data);
    return kErrorSuccess;
}

RegStatus FakePlatform::RegCreateKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access,
                                        std::wstring_view securitySddl, RegKey& opened)
{
    const std::string path = ToAnsi(subKey);
    registryCalls.push_back("create " + path);
    if (root != kHkeyLocalMachine)
        return kErrorFileNotFound;
    const View view = ViewOf(access);
    if (!KeysOf(view).count(Lower(path))) {
        if (!UseWrite())
            return 1117;  // ERROR_IO_DEVICE
        AddKey(path, view);
        createdWithSddl.push_back(ToAnsi(securitySddl));
        security_[SecurityName(path, view)] = SecurityFromSddl(ToAnsi(securitySddl));
    }
    return OpenIn(view, path, access, opened);
}

RegStatus FakePlatform::RegOpenKeyExW(RegKey root, std::wstring_view subKey, std::uint32_t access, RegKey& opened)
{
    return RegOpenKeyExA(root, ToAnsi(subKey), 0, access, opened);
}

RegStatus FakePlatform::RegSetValueExW(RegKey key, std::wstring_view valueName, std::uint32_t type,
                                       const std::vector<std::uint8_t>& data)
{
    const std::string name = ToAnsi(valueName);
    registryCalls.push_back("set " + name);
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    if ((handle->second.access & kKeySetValue) == 0 ||
        valuesRefusingWrites.count(handle->second.path + "\\" + Lower(name)))
        return kErrorAccessDenied;
    if (!UseWrite())
        return 1117;  // ERROR_IO_DEVICE
    KeysOf(handle->second.view)[handle->second.path][Lower(name)] = RegValue{type, data, true};
    return kErrorSuccess;
}

RegStatus FakePlatform::RegDeleteValueW(RegKey key, std::wstring_view valueName)
{
    const std::string name = ToAnsi(valueName);
    registryCalls.push_back("delete " + name);
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    if ((handle->second.access & kKeySetValue) == 0)
        return kErrorAccessDenied;
    if (!UseWrite())
        return 1117;  // ERROR_IO_DEVICE
    return KeysOf(handle->second.view)[handle->second.path].erase(Lower(name)) ? kErrorSuccess : kErrorFileNotFound;
}

RegStatus FakePlatform::RegFlushKey(RegKey key)
{
    registryCalls.push_back("flush");
    if (!openHandles_.count(key))
        return 6;  // ERROR_INVALID_HANDLE
    if (!UseWrite())
        return 1117;  // ERROR_IO_DEVICE
    SettleOnDisk();
    return kErrorSuccess;
}

RegStatus FakePlatform::RegGetKeySecurity(RegKey key, KeySecurity& security)
{
    registryCalls.push_back("security");
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    if ((handle->second.access & 0x20000) == 0)  // READ_CONTROL
        return kErrorAccessDenied;
    auto known = security_.find(SecurityName(handle->second.path, handle->second.view));
    security = known != security_.end()
                   ? known->second
                   : SecurityFromSddl("O:BAD:(A;CIIO;GA;;;CO)(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;BU)");
    return kErrorSuccess;
}

ApplyLockResult FakePlatform::LockApply(std::uint32_t waitMilliseconds)
{
    lockWaits.push_back(waitMilliseconds);
    if (!lockUnusableReason.empty())
        return {LockState::Unusable, nullptr, lockUnusableReason};
    if (lockHeldElsewhere)
        return {LockState::Busy, nullptr, {}};
    return {LockState::Acquired, std::make_unique<Counted<ApplyLock>>(locksHeld), {}};
}

std::unique_ptr<InterruptionHold> FakePlatform::HoldInterruptions()
{
    return std::make_unique<Counted<InterruptionHold>>(interruptionHolds);
}

RegStatus FakePlatform::RegCloseKey(RegKey key)
{
    registryCalls.push_back("close");
    return openHandles_.erase(key) ? kErrorSuccess : 6;
}

std::uint32_t FakePlatform::Report(EventType type, std::uint32_t eventId, const std::vector<std::wstring>& strings)
{
    if (eventLogError != 0)
        return eventLogError;
    events.push_back({type, eventId, strings, locksHeld, boxes.size()});
    return 0;
}

std::wstring FakePlatform::ProgramDirectory() { return programDirectory; }

FoundFile FakePlatform::FileTest(const std::wstring& path)
{
    fileTests.push_back(path);
    auto file = ordinaryFiles.find(path);
    if (file != ordinaryFiles.end())
        return {file->second, 0, {}};
    return {{}, fileTestError, fileTestError == kWin32FileNotFound ? L"not found" : L"other failure"};
}

void FakePlatform::EndProgram() { ++endProgramCalls; }

std::wstring FakePlatform::MainWindowCaption() { return caption; }

bool FakePlatform::IsOptionSet(OptionButton option)
{
    optionReads.push_back(option);
    return options[static_cast<std::size_t>(option)];
}

std::string FakePlatform::ToAnsi(std::wstring_view text)
{
    // A Latin-1 code page: what it lacks becomes '?', as WideCharToMultiByte does.
    const std::uint32_t end = asciiCodePage ? 0x80 : 0x100;
    std::string ansi;
    for (wchar_t c : text)
        ansi.push_back(static_cast<std::uint32_t>(c) < end ? static_cast<char>(c) : '?');
    return ansi;
}

std::wstring FakePlatform::FromAnsi(std::string_view text)
{
    std::wstring wide;
    for (char c : text)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

} // namespace hostwend::testing
