// The floor for "hostwend-cli show": a console program that reads the TARN
// client's eight values with the plain registry calls and prints them, and
// nothing else (no profile, no record of the last apply), linked the way
// hostwend-cli.exe is. Like the program it writes UTF-16 to a console and
// UTF-8 to anything else.
#include <windows.h>

#include <string>

namespace {

struct ClientValue {
    const wchar_t* key;
    const wchar_t* name;
};

constexpr wchar_t kClientTcpIp[] = L"SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP";
constexpr wchar_t kBroadcast[] = L"SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer";
constexpr wchar_t kClientOdbc[] = L"SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC";
constexpr wchar_t kOdbcSource[] = L"SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database";

constexpr ClientValue kValues[] = {
    {kClientTcpIp, L"Remote-Addr"},     {kClientTcpIp, L"UDP-Remote-Addr"},   {kBroadcast, L"BcastTCPAddress"},
    {kBroadcast, L"BcastUDPAddress"},   {kBroadcast, L"BcastUDPPort"},        {kBroadcast, L"DisableTCPBcast"},
    {kClientOdbc, L"DataBase-IPAddress"}, {kOdbcSource, L"Server"},
};

// A digit loop: the C library's formatted printing would add to the start-up.
std::wstring Decimal(DWORD number)
{
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + number % 10));
        number /= 10;
    } while (number != 0);
    return digits;
}

// One open, one query into a buffer large enough for any of the eight, one close.
std::wstring ReadValue(const ClientValue& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, value.key, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return L"(no key)";
    wchar_t data[512] = {};
    DWORD type = 0;
    DWORD size = sizeof(data) - sizeof(wchar_t);  // room for a terminator the data may lack
    const LSTATUS status = RegQueryValueExW(key, value.name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return L"(not read)";
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        CopyMemory(&number, data, sizeof(number));
        return L"REG_DWORD " + Decimal(number);
    }
    return L"REG_SZ " + std::wstring(data);
}

void Print(const std::wstring& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

int wmain()
{
    std::wstring text;
    for (const ClientValue& value : kValues)
        text += std::wstring(value.name) + L": " + ReadValue(value) + L"\r\n";
    Print(text);
    return 0;
}
