#pragma once

#include <utility>

#include <windows.h>

namespace hostwend {

// One move-only owner for a Windows handle: a copy would close it twice.
// Traits give the handle type, its "no handle" value and how to close it.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.handle_, Traits::Invalid()));
        return *this;
    }
    ~UniqueHandle() { reset(); }

    void reset(Handle handle = Traits::Invalid())
    {
        if (handle_ != Traits::Invalid())
            Traits::Close(handle_);
        handle_ = handle;
    }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

private:
    Handle handle_ = Traits::Invalid();
};

template <typename H, auto CloseFunction>
struct NullIsInvalid {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { CloseFunction(handle); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void CloseKernelObject(HANDLE handle) { CloseHandle(handle); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void FreeLocalMemory(void* memory) { LocalFree(memory); }

using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueKernelHandle = UniqueHandle<NullIsInvalid<HANDLE, CloseKernelObject>>;
using UniqueFont = UniqueHandle<NullIsInvalid<HFONT, DeleteGdiObject>>;
using UniqueBrush = UniqueHandle<NullIsInvalid<HBRUSH, DeleteGdiObject>>;
using UniqueBitmap = UniqueHandle<NullIsInvalid<HBITMAP, DeleteGdiObject>>;
using UniqueIcon = UniqueHandle<NullIsInvalid<HICON, DestroyIconHandle>>;
// What the system allocated for the caller with LocalAlloc: SIDs as text, descriptors.
using UniqueLocal = UniqueHandle<NullIsInvalid<void*, FreeLocalMemory>>;

} // namespace hostwend
