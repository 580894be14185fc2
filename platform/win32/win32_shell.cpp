#include "platform/win32/win32_shell.h"

// <windows.h> defines `far` and `near` as nothing, for 16-bit code; the engine uses them as names.
#undef far
#undef near
#include "app/tform1.h"
#include "platform/win32/login_start.h"
#include "platform/win32/message_boxes.h"
#include "platform/win32/popup_menu.h"
#include "platform/win32/text.h"

namespace zumbolo::win32 {

Win32Shell::Win32Shell(ApplicationWindow& application, HWND main_window)
    : application_(application),
      main_(main_window),
      tray_(application.hwnd(), [this](int mouse_message) { TrayMouse(mouse_message); }) {}

void Win32Shell::TrayMouse(int mouse_message) {
  if (form_ && !form_->Closed()) form_->TrayCallback(mouse_message);
}

WorkArea Win32Shell::GetWorkArea() {
  RECT area{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return {};
  return {area.right - area.left, area.bottom - area.top, area.left, area.top};
}

std::vector<WorkArea> Win32Shell::ScreenWorkAreas() {
  std::vector<WorkArea> areas;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(monitor, &info)) {
          const RECT& area = info.rcWork;
          reinterpret_cast<std::vector<WorkArea>*>(data)->push_back(
              {area.right - area.left, area.bottom - area.top, area.left, area.top});
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&areas));
  return areas;
}

LocalDate Win32Shell::Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

std::string Win32Shell::ShortDatePattern() {
  wchar_t pattern[LOCALE_NAME_MAX_LENGTH * 2] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, pattern,
                                     static_cast<int>(sizeof pattern / sizeof pattern[0]));
  if (length <= 1) return {};
  return Narrow(std::wstring_view(pattern, static_cast<std::size_t>(length - 1)));
}

ScreenPoint Win32Shell::CursorPos() {
  POINT at{};
  GetCursorPos(&at);
  return {at.x, at.y};
}

void Win32Shell::ShowPopupMenu(ScreenPoint at) {
  if (!form_) return;
  // The form has brought its window to the foreground: the menu closes when the user clicks
  // elsewhere, and the empty message after it makes the next right click open it again.
  const std::optional<Item> chosen = TrackMenu(form_->PopupMenu1, form_->ActionList1, main_, at);
  PostMessageW(main_, WM_NULL, 0, 0);
  if (chosen) form_->MenuItemClick(*chosen);
}

bool Win32Shell::StartsAtLogin() { return RunValueSet(); }

std::string Win32Shell::SetStartAtLogin(bool on) { return SetRunValue(ThisExecutable(), on); }

void Win32Shell::ShowError(std::string_view text) { application_.ReportError(std::string(text)); }

void Win32Shell::ShowMessage(std::string_view caption, std::string_view text, int left, int top) {
  ShowPlacedMessage(main_, caption, text, left, top);
}

void Win32Shell::ProcessPendingEvents() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the message loop to see
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32Shell::Quit() {
  // Once the handler that asks has returned, the main window closes and the message loop ends.
  PostMessageW(main_, WM_CLOSE, 0, 0);
}

}  // namespace zumbolo::win32
