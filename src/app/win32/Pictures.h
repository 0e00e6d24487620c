#pragma once

#include "app/win32/IconImage.h"
#include "platform/win32/UniqueHandle.h"

#include <windows.h>

namespace hostwend {

// The image of one picture box: an icon, drawn through its mask, or a bitmap.
// Loaded from the program's own resources; empty when loading failed.
class PictureImage {
public:
    static PictureImage Icon(HINSTANCE instance, int resourceId);
    static PictureImage Bitmap(HINSTANCE instance, int resourceId);
    static PictureImage Jpeg(HINSTANCE instance, int resourceId);

    // Unscaled, top-left corner at (x, y).
    void Draw(HDC dc, int x, int y) const;

private:
    std::optional<IconImage> iconImage_;
    UniqueIcon icon_;
    UniqueBitmap bitmap_;
};

// WM_DRAWITEM of an owner-drawn picture box: the background, then the image
// at the top-left corner of the box, clipped by it. With a frame brush, a
// one-pixel border as WS_BORDER draws it, and the box inside it.
void DrawPictureBox(const DRAWITEMSTRUCT& item, const PictureImage& image, HBRUSH background,
                    HBRUSH frame = nullptr);

} // namespace hostwend
