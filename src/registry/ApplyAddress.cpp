#include "registry/ApplyAddress.h"

#include "registry/UpdateRegValue.h"

#include <array>
#include <string>

namespace hostwend {
namespace {

constexpr std::wstring_view kClientTcpIpKey = L"SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP";
constexpr std::wstring_view kBroadcastServerKey =
    L"SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer";
constexpr std::wstring_view kClientDatabaseKey = L"SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC";
constexpr std::wstring_view kOdbcDataSourceKey = L"SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database";

using Compose = std::wstring (*)(std::wstring_view address, std::wstring_view port);

std::wstring AddressWithTcpPort(std::wstring_view address, std::wstring_view)
{
    return std::wstring(address) + L":7777:0";
}
std::wstring BroadcastGroupWithAddress(std::wstring_view address, std::wstring_view)
{
    return L"239.255.255.255:" + std::wstring(address);
}
std::wstring AddressAlone(std::wstring_view address, std::wstring_view) { return std::wstring(address); }
std::wstring PortAlone(std::wstring_view, std::wstring_view port) { return std::wstring(port); }
std::wstring One(std::wstring_view, std::wstring_view) { return L"1"; }

enum class Condition { Always, OnlyForVsat };

struct Step {
    std::wstring_view keyPath;
    std::wstring_view valueName;
    Compose compose;
    Condition condition;
    std::wstring_view prompt;  // shown as the operator has always seen it, spelling included
};

constexpr std::wstring_view kBcastAddressTwoOfTwo = L"Error occured while updating Bcast Address (2 of 2)";

constexpr std::array<Step, 8> kSteps{{
    {kClientTcpIpKey, L"Remote-Addr", AddressWithTcpPort, Condition::Always,
     L"Error occured while updating - Remote Address"},
    {kClientTcpIpKey, L"UDP-Remote-Addr", AddressWithTcpPort, Condition::Always,
     L"Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor"},
    {kBroadcastServerKey, L"BcastTCPAddress", AddressAlone, Condition::Always,
     L"Error occured while updating - Bcast Address (1 of 2) "},
    {kBroadcastServerKey, L"BcastUDPAddress", BroadcastGroupWithAddress, Condition::Always, kBcastAddressTwoOfTwo},
    {kBroadcastServerKey, L"BcastUDPPort", PortAlone, Condition::Always, kBcastAddressTwoOfTwo},
    {kBroadcastServerKey, L"DisableTCPBcast", One, Condition::OnlyForVsat, kBcastAddressTwoOfTwo},
    {kClientDatabaseKey, L"DataBase-IPAddress", AddressAlone, Condition::Always,
     L"Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC"},
    {kOdbcDataSourceKey, L"Server", AddressAlone, Condition::Always,
     L"Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"},
}};

} // namespace

// Earlier writes are left in place after a failure: the operator is told which
// value failed, and applying again rewrites them all.
bool ApplyAddress(Platform& platform, std::wstring_view address, std::wstring_view port)
{
    for (const Step& step : kSteps) {
        // Asked when the step is reached: the option button as it is set then.
        if (step.condition == Condition::OnlyForVsat && !platform.IsOptionSet(OptionButton::OptVsat))
            continue;
        if (UpdateRegValue(platform, kHkeyLocalMachine, step.keyPath, step.valueName, step.compose(address, port))
                .empty())
            continue;
        const std::wstring title = platform.MainWindowCaption();
        platform.MsgBox(step.prompt, kMbCritical, title);
        return false;
    }
    return true;
}

} // namespace hostwend
