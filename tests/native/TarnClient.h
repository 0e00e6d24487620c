#pragma once

#include <array>
#include <string>
#include <utility>

namespace hostwend::testing {

// The eight values an apply rewrites, as key path and value name, in step order.
inline const std::string kClientTcpIp = "SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP";
inline const std::string kBroadcast = kClientTcpIp + "\\BroadcastServer";
inline const std::array<std::pair<std::string, std::string>, 8> kTarnValues{{
    {kClientTcpIp, "Remote-Addr"},
    {kClientTcpIp, "UDP-Remote-Addr"},
    {kBroadcast, "BcastTCPAddress"},
    {kBroadcast, "BcastUDPAddress"},
    {kBroadcast, "BcastUDPPort"},
    {kBroadcast, "DisableTCPBcast"},
    {"SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC", "DataBase-IPAddress"},
    {"SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database", "Server"},
}};

} // namespace hostwend::testing
