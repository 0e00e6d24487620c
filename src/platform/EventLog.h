#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostwend {

// Event types, as the Windows constants (EVENTLOG_ERROR_TYPE, ...).
enum class EventType : std::uint16_t {
    Error = 0x0001,
    Warning = 0x0002,
    Information = 0x0004,
};

// The Application event log, written as the source "Hostwend", and the names
// an event gives of who wrote it and where.
class EventLog {
public:
    virtual ~EventLog() = default;

    // DOMAIN\user of the account the program runs as (NT AUTHORITY\SYSTEM for
    // SYSTEM); "" when it cannot be told.
    virtual std::wstring AccountName() = 0;
    virtual std::wstring ComputerName() = 0;
    // Writes one event with its inserted strings; returns the Windows error
    // code, 0 when written.
    virtual std::uint32_t Report(EventType type, std::uint32_t eventId, const std::vector<std::wstring>& strings) = 0;
};

} // namespace hostwend
