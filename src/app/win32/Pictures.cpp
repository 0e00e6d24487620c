#include "app/win32/Pictures.h"

#include <cstring>
#include <memory>

#include <objbase.h>
#include <wincodec.h>

namespace hostwend {
namespace {

void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
using UniqueMemoryDc = UniqueHandle<NullIsInvalid<HDC, DeleteMemoryDc>>;

struct ReleaseCom {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ReleaseCom>;

// A stream over a copy of bytes, in movable memory that the stream frees
// when it is released.
ComPtr<IStream> MemoryStream(const void* bytes, DWORD size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory)
        return nullptr;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    return ComPtr<IStream>(stream);
}

// A colour JPEG decodes to 24-bit BGR rows, which a top-down 24-bit DIB
// section takes as they are; any other format leaves the picture empty.
UniqueBitmap CopyToBitmap(IWICBitmapSource& frame)
{
    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame.GetSize(&width, &height)) || FAILED(frame.GetPixelFormat(&format)) ||
        format != GUID_WICPixelFormat24bppBGR)
        return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UINT stride = (width * 3 + 3) & ~3u;  // DIB rows end on a 4-byte boundary
    if (!bitmap || FAILED(frame.CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits))))
        return {};
    return bitmap;
}

// Decoded by the JPEG decoder of the Windows Imaging Component, which every
// Windows from 7 on has: the program needs no image library of its own for
// its one JPEG. The decoder is asked for by its class rather than through
// OLE's picture loader, which loads oleaut32 and looks through every decoder
// installed to find this one: under Wine, some 80 more round trips to the
// wineserver at every start of the window.
UniqueBitmap DecodeJpeg(const void* bytes, DWORD size)
{
    const ComPtr<IStream> stream = MemoryStream(bytes, size);
    IWICBitmapDecoder* rawDecoder = nullptr;
    if (!stream || FAILED(CoCreateInstance(CLSID_WICJpegDecoder, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICBitmapDecoder, reinterpret_cast<void**>(&rawDecoder))))
        return {};
    const ComPtr<IWICBitmapDecoder> decoder(rawDecoder);
    IWICBitmapFrameDecode* rawFrame = nullptr;
    if (FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, &rawFrame)))
        return {};
    const ComPtr<IWICBitmapFrameDecode> frame(rawFrame);
    return CopyToBitmap(*frame);
}

} // namespace

PictureImage PictureImage::Icon(HINSTANCE instance, int resourceId)
{
    PictureImage image;
    // The 32x32 image whatever the DPI: pictures are shown unscaled.
    image.iconImage_ = IconImage::Find(instance, resourceId, 32);
    if (!image.iconImage_)
        image.icon_.reset(static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
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
    if (iconImage_) {
        iconImage_->Draw(dc, x, y);
        return;
    }
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

void DrawPictureBox(const DRAWITEMSTRUCT& item, const PictureImage& image, HBRUSH background, HBRUSH frame)
{
    // The item's DC belongs to the box and is clipped to it; the border,
    // drawn last, clips the image as a window border would.
    const int inset = frame ? 1 : 0;
    FillRect(item.hDC, &item.rcItem, background);
    image.Draw(item.hDC, item.rcItem.left + inset, item.rcItem.top + inset);
    if (frame)
        FrameRect(item.hDC, &item.rcItem, frame);
}

} // namespace hostwend
