#include "platform/qt/screen_changes.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace zumbolo {

namespace {

// A child of the context, so that it and its connections go with it.
class Watch final : public QObject {
 public:
  Watch(QObject& context, std::function<void()> changed) : QObject(&context), changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] { changed_(); });
    for (QScreen* screen : QGuiApplication::screens()) Listen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
      Listen(screen);
      Note();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { Note(); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { Note(); });
  }

 private:
  void Listen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this] { Note(); });
    connect(screen, &QScreen::availableGeometryChanged, this, [this] { Note(); });
  }

  // Once the layout has settled: Qt reports it screen by screen, and the panels take their new
  // places (and so make the work areas) only after the screens have changed.
  void Note() { settle_.start(); }

  static constexpr int kSettleMs = 500;
  std::function<void()> changed_;
  QTimer settle_;
};

}  // namespace

void OnScreenChanges(QObject& context, std::function<void()> changed) { new Watch(context, std::move(changed)); }

}  // namespace zumbolo
