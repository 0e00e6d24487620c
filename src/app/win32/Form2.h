#pragma once

#include "app/win32/AppContext.h"
#include "app/win32/Pictures.h"
#include "app/win32/WindowBase.h"
#include "platform/win32/UniqueHandle.h"

namespace hostwend {

// The About window: the utility, its maker and the maker's logo.
class Form2 : public WindowBase<Form2> {
public:
    // Opens one more About window, centred and in front. The window owns the
    // object from then on and deletes it when it is destroyed.
    static void Open(AppContext& app);
    ~Form2() = default;
    Form2(const Form2&) = delete;
    Form2& operator=(const Form2&) = delete;

private:
    friend class WindowBase<Form2>;
    explicit Form2(AppContext& app) : app_(app) {}

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnDestroyed();
    void CreateControls();
    HBRUSH OnControlColour(HDC dc, HWND control);

    AppContext& app_;
    int dpi_ = 96;
    bool ownedByWindow_ = false;
    UniqueFont labelFont_;
    UniqueFont companyFont_;
    PictureImage logo_;
};

} // namespace hostwend
