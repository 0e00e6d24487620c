#pragma once

#include <string>
#include <string_view>

namespace hostwend {

// Message box styles and results, as the Windows constants.
inline constexpr int kMbCritical = 16;        // MB_OK | MB_ICONHAND
inline constexpr int kMbInformation = 64;     // MB_OK | MB_ICONASTERISK
inline constexpr int kMbInformationOkCancel = 65;
inline constexpr int kIdOk = 1;

enum class OptionButton { OptLan, OptVPN, OptVsat, OptOthers };

// The operator at the window: message boxes, and what the logic reads from the
// main window at the moment it asks.
class Desk {
public:
    virtual ~Desk() = default;

    // Modal message box (MessageBox on Windows); returns the button that closed it (kIdOk, ...).
    virtual int MsgBox(std::wstring_view prompt, int style, std::wstring_view title) = 0;
    virtual std::wstring MainWindowCaption() = 0;
    virtual bool IsOptionSet(OptionButton option) = 0;
    // Ends the program at once. A test double returns; callers return right after.
    virtual void EndProgram() = 0;
};

} // namespace hostwend
