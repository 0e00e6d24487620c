#include "app/win32/Pictures.h"

#include <cstring>
#include <memory>

#include <olectl.h>

namespace hostwend {
namespace {

void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
using UniqueMemoryDc = UniqueHandle<NullIsInvalid<HDC, DeleteMemoryDc>>;

struct ReleaseCom {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ReleaseCom>;

// Decoded by OLE's picture loader, which every Windows has: the program
// needs no image library of its own for its one JPEG.
UniqueBitmap DecodeJpeg(const void* bytes, DWORD size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return {};
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return {};
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);

    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &rawStream))) {
        GlobalFree(memory);
        return {};
    }
    ComPtr<IStream> stream(rawStream);  // frees the memory when released

    IPicture* rawPicture = nullptr;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&rawPicture))))
        return {};
    ComPtr<IPicture> picture(rawPicture);
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->get_Handle(&handle)))
        return {};
    // The picture owns its bitmap and deletes it on release: keep a copy.
    // GDI handles carry 32 significant bits, sign-extended on 64-bit Windows.
    auto bitmap = reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
    return UniqueBitmap(static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

} // namespace

PictureImage PictureImage::Icon(HINSTANCE instance, int resourceId)
{
    PictureImage image;
    // The 32x32 image whatever the DPI: pictures are shown unscaled.
    image.icon_.reset(
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    return image;
}

PictureImage PictureImage::Bitmap(HINSTANCE instance, int resourceId)
{
    PictureImage image;
    image.bitmap_.reset(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    return image;
}

PictureImage PictureImage::Jpeg(HINSTANCE instance, int resourceId)
{
    PictureImage image;
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = resource ? LoadResource(instance, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;  // lives as long as the module
    if (bytes)
        image.bitmap_ = DecodeJpeg(bytes, SizeofResource(instance, resource));
    return image;
}

void PictureImage::Draw(HDC dc, int x, int y) const
{
    if (icon_) {
        // Width and height 0 without DI_DEFAULTSIZE: the icon's own size.
        DrawIconEx(dc, x, y, icon_.get(), 0, 0, 0, nullptr, DI_NORMAL);
        return;
    }
    if (!bitmap_)
        return;
    BITMAP info{};
    GetObjectW(bitmap_.get(), sizeof(info), &info);
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    if (!memory)
        return;
    HGDIOBJ old = SelectObject(memory.get(), bitmap_.get());
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
    SelectObject(memory.get(), old);
}

void DrawPictureBox(const DRAWITEMSTRUCT& item, const PictureImage& image, HBRUSH background)
{
    // The item's DC belongs to the box and is clipped to it.
    FillRect(item.hDC, &item.rcItem, background);
    image.Draw(item.hDC, item.rcItem.left, item.rcItem.top);
}

} // namespace hostwend
