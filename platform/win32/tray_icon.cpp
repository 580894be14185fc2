#include "platform/win32/tray_icon.h"

#include <cwchar>

namespace zumbolo::win32 {

TrayIcon::TrayIcon(HWND owner, std::function<void(int)> mouse) : mouse_(std::move(mouse)) {
  CreateHidden(L"TTrayWindow", owner);
}

TrayIcon::~TrayIcon() {
  if (added_) Remove();
}

NOTIFYICONDATAW TrayIcon::Record(UINT flags) const {
  NOTIFYICONDATAW record{};
  record.cbSize = sizeof record;
  record.hWnd = hwnd();
  record.uID = 0;
  record.uFlags = flags;
  if (flags & NIF_MESSAGE) record.uCallbackMessage = WM_TRAYICON;
  if (flags & NIF_ICON) {
    record.hIcon = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  }
  if (flags & NIF_TIP) std::wcsncpy(record.szTip, L"Zumbolo!", sizeof record.szTip / sizeof(wchar_t) - 1);
  return record;
}

void TrayIcon::Add() {
  NOTIFYICONDATAW record = Record(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  if (Shell_NotifyIconW(NIM_ADD, &record)) added_ = true;
}

void TrayIcon::Remove() {
  NOTIFYICONDATAW record = Record(0);
  Shell_NotifyIconW(NIM_DELETE, &record);
  added_ = false;
}

LRESULT TrayIcon::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_TRAYICON) return Window::HandleMessage(message, wparam, lparam);
  if (mouse_) mouse_(static_cast<int>(LOWORD(lparam)));
  return 0;
}

}  // namespace zumbolo::win32
