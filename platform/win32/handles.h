#pragma once
// One owner per kind of Win32 handle, so that nothing leaks on an early return or an exception:
// windows, GDI objects, memory device contexts, menus, event hooks, multimedia timers, the
// instance mutex and COM interface pointers. Each owner releases its handle exactly once, when it
// goes or takes another one; moving it hands the handle on.

#include <windows.h>
#include <mmsystem.h>
#include <unknwn.h>

#include <utility>

namespace zumbolo::win32 {

template <typename Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;

  Unique() = default;
  explicit Unique(Handle handle) : handle_(handle) {}
  ~Unique() { reset(); }
  Unique(Unique&& other) noexcept : handle_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Handle{}; }
  // Gives the handle up without releasing it.
  Handle release() { return std::exchange(handle_, Handle{}); }
  void reset(Handle handle = Handle{}) {
    if (handle == handle_) return;
    const Handle old = std::exchange(handle_, handle);
    if (old != Handle{}) Traits::Close(old);
  }

 private:
  Handle handle_{};
};

struct WindowTraits {
  using Handle = HWND;
  static void Close(HWND window) { DestroyWindow(window); }
};
using UniqueWindow = Unique<WindowTraits>;

template <typename Object>
struct GdiObjectTraits {
  using Handle = Object;
  static void Close(Object object) { DeleteObject(object); }
};
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;

// A device context of CreateCompatibleDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static void Close(HDC dc) { DeleteDC(dc); }
};
using UniqueMemoryDc = Unique<MemoryDcTraits>;

struct MenuTraits {
  using Handle = HMENU;
  static void Close(HMENU menu) { DestroyMenu(menu); }  // its submenus with it
};
using UniqueMenu = Unique<MenuTraits>;

struct HookTraits {
  using Handle = HHOOK;
  static void Close(HHOOK hook) { UnhookWindowsHookEx(hook); }
};
using UniqueHook = Unique<HookTraits>;

// A timer of timeSetEvent.
struct MultimediaTimerTraits {
  using Handle = UINT;
  static void Close(UINT id) { timeKillEvent(id); }
};
using UniqueMultimediaTimer = Unique<MultimediaTimerTraits>;

// A mutex this thread has acquired: released, then closed.
struct HeldMutexTraits {
  using Handle = HANDLE;
  static void Close(HANDLE mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
};
using HeldMutex = Unique<HeldMutexTraits>;

// A GDI object selected into a device context for as long as this lives.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// An interface pointer that holds one reference.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr& operator=(const ComPtr& other) {
    ComPtr copy(other);
    std::swap(pointer_, copy.pointer_);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  void reset() {
    if (Interface* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // For a function that hands out a new reference: the pointer held so far is released first.
  Interface** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  // The same object through another interface (`iid` names `Other`); empty when it has none.
  template <typename Other>
  ComPtr<Other> As(REFIID iid) const {
    ComPtr<Other> other;
    if (pointer_) pointer_->QueryInterface(iid, other.put_void());
    return other;
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace zumbolo::win32
