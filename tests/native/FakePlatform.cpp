#include "FakePlatform.h"

#include <algorithm>
#include <cstring>
#include <new>

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

} // namespace

void FakePlatform::AddKey(const std::string& path)
{
    // Like RegCreateKey, the parents come into being with the key.
    std::string lower = Lower(path);
    for (std::size_t at = lower.find('\\'); at != std::string::npos; at = lower.find('\\', at + 1))
        keys_[lower.substr(0, at)];
    keys_[lower];
}

void FakePlatform::SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                            std::vector<std::uint8_t> data)
{
    AddKey(path);
    keys_[Lower(path)][Lower(name)] = RegValue{type, std::move(data)};
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

void FakePlatform::RemoveValue(const std::string& path, const std::string& name)
{
    if (auto key = keys_.find(Lower(path)); key != keys_.end())
        key->second.erase(Lower(name));
}

std::optional<FakePlatform::RegValue> FakePlatform::Value(const std::string& path, const std::string& name) const
{
    auto key = keys_.find(Lower(path));
    if (key == keys_.end())
        return std::nullopt;
    auto value = key->second.find(Lower(name));
    if (value == key->second.end())
        return std::nullopt;
    return value->second;
}

bool FakePlatform::KeyExists(const std::string& path) const { return keys_.count(Lower(path)) != 0; }

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

RegStatus FakePlatform::RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t,
                                      std::uint32_t access, RegKey& opened)
{
    registryCalls.push_back("open " + subKey);
    openAccessMasks.push_back(access);
    std::string lower = Lower(subKey);
    if (root != kHkeyLocalMachine || !keys_.count(lower))
        return kErrorFileNotFound;
    // The view flag is no right; everything else asked for must be granted.
    if (auto rights = keyRights.find(lower);
        rights != keyRights.end() && (access & ~kKeyWow64_32Key & ~rights->second) != 0)
        return kErrorAccessDenied;
    opened = nextHandle_++;
    openHandles_[opened] = {lower, access};
    return kErrorSuccess;
}

RegStatus FakePlatform::RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                         std::uint32_t& size)
{
    registryCalls.push_back("query " + valueName);
    auto handle = openHandles_.find(key);
    if (handle == openHandles_.end())
        return 6;  // ERROR_INVALID_HANDLE
    const auto& values = keys_[handle->second.path];
    auto value = values.find(Lower(valueName));
    if (value == values.end())
        return kErrorFileNotFound;
    type = value->second.type;
    size = static_cast<std::uint32_t>(value->second.data.size());
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
    if ((handle->second.access & 0x0002) == 0)  // KEY_SET_VALUE
        return kErrorAccessDenied;
    if (valuesRefusingWrites.count(handle->second.path + "\\" + Lower(valueName)))
        return kErrorAccessDenied;
    // Unlike Wine, keep the bytes exactly as given, so a missing NUL shows.
    keys_[handle->second.path][Lower(valueName)] = RegValue{type, std::vector<std::uint8_t>(data, data + size)};
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
    const auto& values = keys_[handle->second.path];
    auto value = values.find(Lower(name));
    if (value == values.end())
        return kErrorFileNotFound;
    type = value->second.type;
    data = value->second.data;
    // Text is kept as the A functions wrote it (Latin-1 here); the W read
    // returns it in UTF-16, as Windows does.
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
        data.clear();
        for (std::uint8_t byte : value->second.data) {
            data.push_back(byte);
            data.push_back(0);
        }
    }
    return kErrorSuccess;
}

ApplyLockResult FakePlatform::LockApply(std::uint32_t waitMilliseconds)
{
    lockWaits.push_back(waitMilliseconds);
    if (!lockUnusableReason.empty())
        return {LockOutcome::Unusable, nullptr, lockUnusableReason};
    if (lockHeldElsewhere)
        return {LockOutcome::Busy, nullptr, {}};
    return {LockOutcome::Acquired, std::make_unique<Counted<ApplyLock>>(locksHeld), {}};
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
