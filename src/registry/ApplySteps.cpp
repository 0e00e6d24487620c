#include "registry/ApplySteps.h"

namespace hostwend {
namespace {

constexpr std::wstring_view kClientTcpIpKey = L"SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP";
constexpr std::wstring_view kBroadcastServerKey =
    L"SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer";
constexpr std::wstring_view kClientDatabaseKey = L"SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC";
constexpr std::wstring_view kOdbcDataSourceKey = L"SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database";

constexpr std::wstring_view kTcpPortSuffix = L":7777:0";
constexpr std::wstring_view kBroadcastGroupPrefix = L"239.255.255.255:";

std::wstring AddressWithTcpPort(std::wstring_view address, std::wstring_view)
{
    return std::wstring(address) + std::wstring(kTcpPortSuffix);
}
std::wstring BroadcastGroupWithAddress(std::wstring_view address, std::wstring_view)
{
    return std::wstring(kBroadcastGroupPrefix) + std::wstring(address);
}
std::wstring AddressAlone(std::wstring_view address, std::wstring_view) { return std::wstring(address); }
std::wstring PortAlone(std::wstring_view, std::wstring_view port) { return std::wstring(port); }
std::wstring One(std::wstring_view, std::wstring_view) { return L"1"; }

constexpr std::wstring_view kBcastAddressTwoOfTwo = L"Error occured while updating Bcast Address (2 of 2)";

constexpr std::array<ApplyStep, kApplyStepCount> kSteps{{
    {kClientTcpIpKey, L"Remote-Addr", AddressWithTcpPort, false, L"Error occured while updating - Remote Address",
     true},
    {kClientTcpIpKey, L"UDP-Remote-Addr", AddressWithTcpPort, false,
     L"Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor", true},
    {kBroadcastServerKey, L"BcastTCPAddress", AddressAlone, false,
     L"Error occured while updating - Bcast Address (1 of 2) ", true},
    {kBroadcastServerKey, L"BcastUDPAddress", BroadcastGroupWithAddress, false, kBcastAddressTwoOfTwo, true},
    {kBroadcastServerKey, L"BcastUDPPort", PortAlone, false, kBcastAddressTwoOfTwo, false},
    {kBroadcastServerKey, L"DisableTCPBcast", One, true, kBcastAddressTwoOfTwo, false},
    {kClientDatabaseKey, L"DataBase-IPAddress", AddressAlone, false,
     L"Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC", true},
    {kOdbcDataSourceKey, L"Server", AddressAlone, false,
     L"Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database", true},
}};

} // namespace

const std::array<ApplyStep, kApplyStepCount>& ApplySteps() { return kSteps; }

bool AddressCarried(const ApplyStep& step, std::wstring_view data, std::wstring& address)
{
    if (!step.carriesAddress)
        return false;
    if (step.compose == AddressWithTcpPort) {
        if (!data.ends_with(kTcpPortSuffix))
            return false;
        data.remove_suffix(kTcpPortSuffix.size());
    } else if (step.compose == BroadcastGroupWithAddress) {
        if (!data.starts_with(kBroadcastGroupPrefix))
            return false;
        data.remove_prefix(kBroadcastGroupPrefix.size());
    }
    address = data;
    return true;
}

} // namespace hostwend
