#pragma once

#include <windows.h>

#include <optional>
#include <vector>

namespace hostwend {

// One image of an icon resource, drawn straight from the resource's bytes as
// Windows draws a paletted icon: the mask ANDed, then the colours XORed.
// Making an icon object of it costs Wine several round trips to its server
// for the screen's colour depth; drawing it from its bytes costs none.
class IconImage {
public:
    // The SIZExSIZE image of the icon group RESOURCEID in INSTANCE; nothing
    // when the group has no such image or it is not a plain paletted bitmap
    // with a mask (a PNG or an alpha-blended image needs DrawIconEx).
    static std::optional<IconImage> Find(HINSTANCE instance, int resourceId, int size);

    // Unscaled, top-left corner at (x, y).
    void Draw(HDC dc, int x, int y) const;

private:
    int size_ = 0;
    const BYTE* colourBits_ = nullptr;  // in the module's resources
    const BYTE* maskBits_ = nullptr;
    std::vector<BYTE> colourInfo_;  // the image's header for one half, and its palette
};

} // namespace hostwend
