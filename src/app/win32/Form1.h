#pragma once

#include "app/win32/AppContext.h"
#include "app/win32/Pictures.h"
#include "app/win32/WindowBase.h"
#include "platform/win32/UniqueHandle.h"

#include <array>
#include <memory>

namespace hostwend {

// The main window: the connection type frame, the instruction and the buttons.
class Form1 : public WindowBase<Form1> {
public:
    // Creates the window and its controls, not yet shown; null on failure.
    static std::unique_ptr<Form1> Create(AppContext& app);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void Show();
    std::array<HWND, 4> OptionButtons() const;

    // Keyboard handling that IsDialogMessage does not do for this window.
    bool PreTranslateMessage(const MSG& message);

    // Waits for object as WaitForSingleObject does, answering messages
    // meanwhile; the buttons do nothing and the cursor shows the wait.
    DWORD WaitAnswering(HANDLE object, DWORD milliseconds);

private:
    friend class WindowBase<Form1>;
    explicit Form1(AppContext& app) : app_(app) {}

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnDestroyed();
    void CreateControls();
    void OnCommand(int controlId, int notification);
    void Command1_Click();
    HBRUSH OnControlColour(HDC dc, HWND control);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    void SetOption(int index);
    HWND Control(int controlId) const { return GetDlgItem(window_, controlId); }

    AppContext& app_;
    bool waitingForTurn_ = false;
    int dpi_ = 96;
    UniqueFont uiFont_;
    UniqueFont text1Font_;
    UniqueBrush text1Brush_;
    UniqueBrush pictureBrush_;
    std::array<PictureImage, 5> pictures_;  // Picture4, Picture1, Picture2, Picture3, Picture5
};

} // namespace hostwend
