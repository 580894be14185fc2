#include "platform/qt/qt_shell.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <QMetaObject>
#include <QScreen>

#include "app/tform1.h"
#include "platform/qt/login_start.h"
#include "platform/qt/message_boxes.h"
#include "platform/qt/qt_menu.h"
#include "platform/qt/x11_work_area.h"

namespace zumbolo {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The screen's available geometry, without the panels of the desktop's work area: with more
// than one screen Qt leaves them in.
WorkArea AreaOf(const QScreen& screen) {
  QRect area = screen.availableGeometry();
  if (const std::optional<QRect> desktop = X11WorkArea(); desktop && desktop->intersects(area)) area &= *desktop;
  return {area.width(), area.height(), area.x(), area.y()};
}

// This very executable, as the kernel names it.
std::filesystem::path Executable() { return QCoreApplication::applicationFilePath().toStdString(); }

}  // namespace

QtShell::QtShell(QWidget& main_window)
    : main_(main_window), tray_watcher_([this] {
        if (form_ && !form_->Closed() && TrayAvailable()) form_->TaskbarCreated();
      }) {
  tray_.setIcon(QGuiApplication::windowIcon());
  tray_.setToolTip(QStringLiteral("Zumbolo!"));
  // No context menu of Qt's own: the right click comes here as Context. Queued, so that the
  // menu opens after the tray icon's mouse press has been handled.
  QObject::connect(&tray_, &QSystemTrayIcon::activated, &tray_,
                   [this](QSystemTrayIcon::ActivationReason reason) { TrayActivated(reason); },
                   Qt::QueuedConnection);
}

void QtShell::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (!form_ || form_->Closed()) return;
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      form_->TrayCallback(kLeftButtonDown);
      break;
    case QSystemTrayIcon::Context:
      form_->TrayCallback(kRightButtonDown);
      break;
    default:
      break;  // the double click and the middle button do nothing
  }
}

WorkArea QtShell::GetWorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return AreaOf(*screen);
}

std::vector<WorkArea> QtShell::ScreenWorkAreas() {
  std::vector<WorkArea> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas.push_back(AreaOf(*screen));
  return areas;
}

LocalDate QtShell::Today() {
  const QDate today = QDate::currentDate();
  return {today.year(), today.month(), today.day()};
}

std::string QtShell::ShortDatePattern() {
  // Qt's pattern letters (d, dd, M, MM, yy, yyyy, quoted text) are the ones the day keys use.
  return QLocale::system().dateFormat(QLocale::ShortFormat).toStdString();
}

void QtShell::AddTrayIcon() {
  if (!tray_.isVisible()) {
    tray_.show();
    tray_installed_ = TrayAvailable();
    return;
  }
  // A tray that appeared after the icon was shown: Qt had nowhere to put it, so show it anew.
  if (!tray_installed_ && TrayAvailable()) {
    tray_.hide();
    tray_.show();
    tray_installed_ = true;
  }
}

void QtShell::RemoveTrayIcon() {
  tray_.hide();
  tray_installed_ = false;
}

ScreenPoint QtShell::CursorPos() {
  const QPoint at = QCursor::pos();
  return {at.x(), at.y()};
}

void QtShell::ShowPopupMenu(ScreenPoint at) {
  if (!form_) return;
  const std::optional<Item> chosen =
      RunPopupMenu(form_->PopupMenu1, form_->ActionList1, QPoint(at.x, at.y));
  if (chosen) form_->MenuItemClick(*chosen);
}

bool QtShell::StartsAtLogin() { return AutostartEntryEnabled(AutostartEntryPath()); }

std::string QtShell::SetStartAtLogin(bool on) { return SetAutostartEntry(AutostartEntryPath(), Executable(), on); }

void QtShell::ShowError(std::string_view text) {
  ShowErrorBox(&main_, QStringLiteral("Zumbolo!"), Text(text));
}

void QtShell::ShowMessage(std::string_view caption, std::string_view text, int left, int top) {
  ShowPlacedMessage(&main_, Text(caption), Text(text), left, top);
}

void QtShell::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void QtShell::Quit() {
  // Once the handler that asks has returned; exit() also ends any modal loop still running.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                            Qt::QueuedConnection);
}

}  // namespace zumbolo
