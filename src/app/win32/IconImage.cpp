#include "app/win32/IconImage.h"

#include <cstring>

namespace hostwend {
namespace {

// An icon group resource: a header, then one entry per image.
#pragma pack(push, 2)
struct GroupHeader {
    WORD reserved;
    WORD type;  // 1: icons
    WORD count;
};
struct GroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;  // of the RT_ICON resource that holds the image
};
#pragma pack(pop)

struct ResourceBytes {
    const BYTE* bytes = nullptr;
    DWORD size = 0;
};

ResourceBytes FindResourceBytes(HINSTANCE instance, const wchar_t* name, const wchar_t* type)
{
    HRSRC resource = FindResourceW(instance, name, type);
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;  // lives as long as the module
    if (!bytes)
        return {};
    return {static_cast<const BYTE*>(bytes), SizeofResource(instance, resource)};
}

DWORD Stride(int width, int bitCount) { return static_cast<DWORD>((width * bitCount + 31) / 32 * 4); }

} // namespace

std::optional<IconImage> IconImage::Find(HINSTANCE instance, int resourceId, int size)
{
    ResourceBytes group = FindResourceBytes(instance, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    if (group.size < sizeof(GroupHeader))
        return std::nullopt;
    GroupHeader header;
    std::memcpy(&header, group.bytes, sizeof(header));
    if (header.type != 1 || group.size < sizeof(GroupHeader) + header.count * sizeof(GroupEntry))
        return std::nullopt;
    for (WORD i = 0; i < header.count; ++i) {
        GroupEntry entry;
        std::memcpy(&entry, group.bytes + sizeof(GroupHeader) + i * sizeof(GroupEntry), sizeof(entry));
        if (entry.width != size || entry.height != size)
            continue;
        ResourceBytes image = FindResourceBytes(instance, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));  // RT_ICON
        BITMAPINFOHEADER bitmap;
        if (image.size < sizeof(bitmap))
            return std::nullopt;
        std::memcpy(&bitmap, image.bytes, sizeof(bitmap));
        // The header's height counts the colour image and the mask below it.
        if (bitmap.biSize < sizeof(bitmap) || bitmap.biWidth != size || bitmap.biHeight != 2 * size ||
            bitmap.biPlanes != 1 || bitmap.biBitCount > 8 || bitmap.biCompression != BI_RGB)
            return std::nullopt;
        const DWORD colours = bitmap.biClrUsed ? bitmap.biClrUsed : 1u << bitmap.biBitCount;
        const DWORD infoSize = bitmap.biSize + colours * sizeof(RGBQUAD);
        const DWORD colourSize = Stride(size, bitmap.biBitCount) * static_cast<DWORD>(size);
        const DWORD maskSize = Stride(size, 1) * static_cast<DWORD>(size);
        if (colours > 256 || image.size < infoSize + colourSize + maskSize)
            return std::nullopt;
        IconImage found;
        found.size_ = size;
        found.colourInfo_.assign(image.bytes, image.bytes + infoSize);
        auto* colourHeader = reinterpret_cast<BITMAPINFOHEADER*>(found.colourInfo_.data());
        colourHeader->biHeight = size;
        colourHeader->biSizeImage = 0;
        found.colourBits_ = image.bytes + infoSize;
        found.maskBits_ = found.colourBits_ + colourSize;
        return found;
    }
    return std::nullopt;
}

void IconImage::Draw(HDC dc, int x, int y) const
{
    struct MaskInfo {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } mask{{sizeof(BITMAPINFOHEADER), size_, size_, 1, 1, BI_RGB, 0, 0, 0, 2, 0},
           {{0, 0, 0, 0}, {255, 255, 255, 0}}};
    // A mask bit of 1 keeps what lies beneath; the colour bits there are 0.
    StretchDIBits(dc, x, y, size_, size_, 0, 0, size_, size_, maskBits_, reinterpret_cast<const BITMAPINFO*>(&mask),
                  DIB_RGB_COLORS, SRCAND);
    StretchDIBits(dc, x, y, size_, size_, 0, 0, size_, size_, colourBits_,
                  reinterpret_cast<const BITMAPINFO*>(colourInfo_.data()), DIB_RGB_COLORS, SRCINVERT);
}

} // namespace hostwend
