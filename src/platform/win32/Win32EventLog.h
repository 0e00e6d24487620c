#pragma once

#include "platform/EventLog.h"

namespace hostwend {

// The Application log on Windows. The source need not be registered: Windows
// then keeps the event all the same, its inserts readable, without the
// sentence that the registered message table gives it.
class Win32EventLog final : public EventLog {
public:
    std::wstring AccountName() override;
    std::wstring ComputerName() override;
    std::uint32_t Report(EventType type, std::uint32_t eventId, const std::vector<std::wstring>& strings) override;
};

} // namespace hostwend
