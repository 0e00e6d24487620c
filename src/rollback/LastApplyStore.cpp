#include "rollback/LastApplyStore.h"

#include "platform/OpenedKey.h"
#include "profile/ConnectionType.h"
#include "registry/ReadRegValue.h"
#include "registry/RegBytes.h"
#include "rollback/UndoRecordTrust.h"

namespace hostwend {
namespace {

// Owner Administrators; SYSTEM and the Administrators alone, nothing
// inherited from above.
constexpr std::wstring_view kRecordSecurity = L"O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)";
constexpr std::uint32_t kReadControl = 0x20000;
constexpr std::uint32_t kRecordReadAccess = kKeyRead | kKeyWow64_64Key;
constexpr std::uint32_t kRecordWriteAccess = kKeyQueryValue | kKeySetValue | kReadControl | kKeyWow64_64Key;
constexpr RegStatus kErrorInvalidSecurityDescriptor = 1338;
constexpr RegStatus kErrorInvalidData = 13;

// Removed before a record is written and written last, after everything
// else is on disk: a record without it was cut short.
constexpr std::wstring_view kFormatName = L"Format";
constexpr std::uint32_t kFormat = 1;
constexpr std::wstring_view kTimeName = L"Time";
constexpr std::wstring_view kProgramName = L"Program";
constexpr std::wstring_view kAccountName = L"Account";
constexpr std::wstring_view kTypeName = L"Type";
constexpr std::wstring_view kAddressName = L"Address";
constexpr std::wstring_view kPortName = L"Port";
// Present while the apply has not made its last write; a record without it
// (all those written before it existed among them) is of a finished apply.
constexpr std::wstring_view kUnfinishedName = L"Unfinished";
constexpr std::wstring_view kUndoneAtName = L"Undone at";  // written last of the two: the mark
constexpr std::wstring_view kUndoneByName = L"Undone by";


// Each value's data keeps its own type, so that regedit shows it as the
// client had it: "Remote-Addr before", "Remote-Addr written".
std::wstring BeforeName(std::size_t step) { return std::wstring(ApplySteps()[step].valueName) + L" before"; }
std::wstring WrittenName(std::size_t step) { return std::wstring(ApplySteps()[step].valueName) + L" written"; }

// The writes of one record, each stopping the rest on failure.
class RecordWriter {
public:
    RecordWriter(Registry& registry, RegKey key) : registry_(registry), key_(key) {}

    void Set(std::wstring_view name, std::uint32_t type, const std::vector<std::uint8_t>& data)
    {
        if (status_ == kErrorSuccess)
            status_ = registry_.RegSetValueExW(key_, name, type, data);
    }
    void Set(std::wstring_view name, const std::optional<RegData>& data)
    {
        if (data)
            Set(name, data->type, data->bytes);
        else
            Delete(name);
    }
    void Delete(std::wstring_view name)
    {
        if (status_ != kErrorSuccess)
            return;
        const RegStatus status = registry_.RegDeleteValueW(key_, name);
        status_ = status == kErrorFileNotFound ? kErrorSuccess : status;
    }
    void Flush()
    {
        if (status_ == kErrorSuccess)
            status_ = registry_.RegFlushKey(key_);
    }
    RegStatus Status() const { return status_; }

private:
    Registry& registry_;
    RegKey key_;
    RegStatus status_ = kErrorSuccess;
};

// Access denied is told apart: show run without administrator rights meets
// it on every sound record, and must not report such a record as damaged.
UndoRecordRead Unreadable(std::wstring reason, RegStatus status = kErrorSuccess)
{
    return {status == kErrorAccessDenied ? UndoRecordState::Denied : UndoRecordState::Unreadable, std::nullopt,
            std::move(reason), status};
}

// One value of the record: nullopt when it is missing, with failure set when
// it could not be read for any other reason.
std::optional<RegData> ReadRecordValue(Registry& registry, RegKey key, std::wstring_view name,
                                       std::optional<UndoRecordRead>& failure)
{
    RegData data;
    const RegStatus status = registry.RegQueryValueExW(key, name, data.type, data.bytes);
    if (status == kErrorFileNotFound)
        return std::nullopt;
    if (status != kErrorSuccess) {
        failure = Unreadable(L"its value \"" + std::wstring(name) + L"\" cannot be read", status);
        return std::nullopt;
    }
    return data;
}

std::optional<std::wstring> ReadRecordText(Registry& registry, RegKey key, std::wstring_view name,
                                           std::optional<UndoRecordRead>& failure)
{
    const std::optional<RegData> data = ReadRecordValue(registry, key, name, failure);
    if (failure)
        return std::nullopt;
    if (!data || data->type != kRegSz) {
        failure = Unreadable(L"its value \"" + std::wstring(name) + (data ? L"\" is not text" : L"\" is missing"),
                             data ? kErrorInvalidData : kErrorFileNotFound);
        return std::nullopt;
    }
    return RegDataText(kRegSz, data->bytes);
}

// Why the key holds no last apply in this program's format: nothing was ever
// stored, it was cut short, or it is of another format. nullopt when it is
// this program's own.
std::optional<UndoRecordRead> FormatProblem(Registry& registry, RegKey key)
{
    std::optional<UndoRecordRead> failure;
    const std::optional<RegData> format = ReadRecordValue(registry, key, kFormatName, failure);
    if (failure)
        return failure;
    if (!format) {
        // A key made by an apply stopped before its first value holds no record
        // at all; one with values but no format was cut short.
        const std::optional<RegData> time = ReadRecordValue(registry, key, kTimeName, failure);
        if (failure)
            return failure;
        if (!time)
            return UndoRecordRead{};
        return Unreadable(L"it is not whole: the apply that wrote it stopped before it was done", kErrorFileNotFound);
    }
    if (format->type != kRegDword || format->bytes != DwordBytes(kFormat))
        return Unreadable(L"its format is not one this program knows", kErrorInvalidData);
    return std::nullopt;
}

// Every value of the last apply, the program and the type as the texts that
// name them; stops at the first that cannot be read and returns why.
std::optional<UndoRecordRead> ReadLastApplyValues(Registry& registry, RegKey key, LastApply& record,
                                                 std::wstring& program, std::wstring& type)
{
    std::optional<UndoRecordRead> failure;
    auto text = [&](std::wstring_view name, std::wstring& into) {
        if (!failure)
            if (std::optional<std::wstring> read = ReadRecordText(registry, key, name, failure))
                into = std::move(*read);
    };
    text(kTimeName, record.time);
    text(kProgramName, program);
    text(kAccountName, record.account);
    text(kTypeName, type);
    text(kAddressName, record.address);
    text(kPortName, record.port);
    for (std::size_t i = 0; i < kApplyStepCount && !failure; ++i) {
        record.steps[i].before = ReadRecordValue(registry, key, BeforeName(i), failure);
        if (!failure)
            record.steps[i].written = ReadRecordValue(registry, key, WrittenName(i), failure);
    }
    if (!failure && ReadRecordValue(registry, key, kUnfinishedName, failure) && !failure)
        record.finished = false;
    if (!failure && ReadRecordValue(registry, key, kUndoneAtName, failure) && !failure) {
        record.undone.emplace();
        text(kUndoneAtName, record.undone->when);
        if (ReadRecordValue(registry, key, kUndoneByName, failure))
            text(kUndoneByName, record.undone->by);
    }
    return failure;
}

// The last apply with its program and connection type taken from the texts
// that name them, or why one of them is not a name this program knows.
UndoRecordRead Interpreted(LastApply record, const std::wstring& program, const std::wstring& type)
{
    if (program != ProgramName(ApplyProgram::Window) && program != ProgramName(ApplyProgram::Console))
        return Unreadable(L"its program \"" + program + L"\" is not one this program knows", kErrorInvalidData);
    record.program = program == ProgramName(ApplyProgram::Window) ? ApplyProgram::Window : ApplyProgram::Console;
    bool typeKnown = false;
    for (const ConnectionType& known : kConnectionTypes)
        if (known.name == type) {
            record.connection = known.kind;
            typeKnown = true;
        }
    if (!typeKnown)
        return Unreadable(L"its type \"" + type + L"\" is not one this program knows", kErrorInvalidData);
    return {UndoRecordState::Read, std::move(record), {}, kErrorSuccess};
}

} // namespace

// The record is written before the apply's first value and flushed, so that a
// process killed or a power cut between two of the apply's writes leaves a
// record of everything it may have written. A key that others could change
// holds no record worth writing: the apply is refused rather than made
// impossible to undo.
RegStatus WriteLastApply(Registry& registry, const LastApply& record)
{
    RegKey handle{};
    if (const RegStatus status =
            registry.RegCreateKeyExW(kHkeyLocalMachine, kLastApplyKey, kRecordWriteAccess, kRecordSecurity, handle);
        status != kErrorSuccess)
        return status;
    const OpenedKey key(registry, handle);
    KeySecurity security;
    if (const RegStatus status = registry.RegGetKeySecurity(key.Get(), security); status != kErrorSuccess)
        return status;
    if (!UndoRecordTrustProblem(security).empty())
        return kErrorInvalidSecurityDescriptor;

    RecordWriter writer(registry, key.Get());
    writer.Delete(kFormatName);
    writer.Flush();
    writer.Set(kTimeName, kRegSz, Utf16Bytes(record.time));
    writer.Set(kProgramName, kRegSz, Utf16Bytes(ProgramName(record.program)));
    writer.Set(kAccountName, kRegSz, Utf16Bytes(record.account));
    writer.Set(kTypeName, kRegSz, Utf16Bytes(ConnectionName(record.connection)));
    writer.Set(kAddressName, kRegSz, Utf16Bytes(record.address));
    writer.Set(kPortName, kRegSz, Utf16Bytes(record.port));
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        writer.Set(BeforeName(i), record.steps[i].before);
        writer.Set(WrittenName(i), record.steps[i].written);
    }
    if (record.finished)
        writer.Delete(kUnfinishedName);
    else
        writer.Set(kUnfinishedName, kRegDword, DwordBytes(1));
    if (record.undone) {
        writer.Set(kUndoneByName, kRegSz, Utf16Bytes(record.undone->by));
        writer.Set(kUndoneAtName, kRegSz, Utf16Bytes(record.undone->when));
    } else {
        writer.Delete(kUndoneAtName);
        writer.Delete(kUndoneByName);
    }
    writer.Flush();
    writer.Set(kFormatName, kRegDword, DwordBytes(kFormat));
    writer.Flush();
    return writer.Status();
}

UndoRecordRead ReadLastApply(Registry& registry)
{
    RegKey handle{};
    if (const RegStatus status = registry.RegOpenKeyExW(kHkeyLocalMachine, kLastApplyKey, kRecordReadAccess, handle);
        status != kErrorSuccess) {
        if (status == kErrorFileNotFound)
            return {};
        return Unreadable(L"its key cannot be opened", status);
    }
    const OpenedKey key(registry, handle);
    KeySecurity security;
    if (const RegStatus status = registry.RegGetKeySecurity(key.Get(), security); status != kErrorSuccess)
        return Unreadable(L"who may change it cannot be read", status);
    if (std::wstring problem = UndoRecordTrustProblem(security); !problem.empty())
        return {UndoRecordState::Untrusted, std::nullopt, std::move(problem), kErrorSuccess};
    if (std::optional<UndoRecordRead> unknown = FormatProblem(registry, key.Get()))
        return std::move(*unknown);

    LastApply record;
    std::wstring program;
    std::wstring type;
    if (std::optional<UndoRecordRead> failure = ReadLastApplyValues(registry, key.Get(), record, program, type))
        return std::move(*failure);
    return Interpreted(std::move(record), program, type);
}

namespace {

// Opens the undo record to add a mark to it, writes the mark and flushes it.
template <typename Mark>
RegStatus MarkLastApply(Registry& registry, Mark mark)
{
    RegKey handle{};
    if (const RegStatus status = registry.RegOpenKeyExW(kHkeyLocalMachine, kLastApplyKey, kRecordWriteAccess, handle);
        status != kErrorSuccess)
        return status;
    const OpenedKey key(registry, handle);
    RecordWriter writer(registry, key.Get());
    mark(writer);
    writer.Flush();
    return writer.Status();
}

} // namespace

RegStatus MarkFinished(Registry& registry)
{
    return MarkLastApply(registry, [](RecordWriter& writer) { writer.Delete(kUnfinishedName); });
}

RegStatus MarkUndone(Registry& registry, std::wstring_view when, std::wstring_view by)
{
    return MarkLastApply(registry, [&](RecordWriter& writer) {
        writer.Set(kUndoneByName, kRegSz, Utf16Bytes(by));
        writer.Set(kUndoneAtName, kRegSz, Utf16Bytes(when));
    });
}

} // namespace hostwend
