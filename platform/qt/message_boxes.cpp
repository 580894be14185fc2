#include "platform/qt/message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>

#include "platform/qt/x11_window_hints.h"

namespace zumbolo {

namespace {

class PlacedBox final : public QMessageBox {
 public:
  PlacedBox(QMessageBox::Icon icon, const QString& title, const QString& text, QWidget* parent,
            int left, int top)
      : QMessageBox(icon, title, text, QMessageBox::Ok, parent), left_(left), top_(top) {
    setTextFormat(Qt::PlainText);
    setDefaultButton(QMessageBox::Ok);
    setEscapeButton(QMessageBox::Ok);
  }

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);  // the box has its final size now
    if (event->spontaneous()) return;
    // Like the rest of the program, no taskbar entry; the window is not mapped yet.
    SkipTaskbarAndPager(*this);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 0, 0);
    const QSize size = frameGeometry().size();
    const int x = left_ >= 0 ? left_ : area.x() + (area.width() - size.width()) / 2;
    const int y = top_ >= 0 ? top_ : area.y() + (area.height() - size.height()) / 2;
    move(x, y);
  }

 private:
  int left_;
  int top_;
};

QString WithoutCarriageReturns(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

void ShowErrorBox(QWidget* parent, const QString& title, const QString& text) {
  PlacedBox box(QMessageBox::Critical, title, WithoutCarriageReturns(text), parent, -1, -1);
  box.exec();
}

void ShowPlacedMessage(QWidget* parent, const QString& title, const QString& text, int left, int top) {
  PlacedBox box(QMessageBox::NoIcon, title, WithoutCarriageReturns(text), parent, left, top);
  box.exec();
}

}  // namespace zumbolo
