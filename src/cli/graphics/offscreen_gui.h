#pragma once
// The Qt Gui a drawing command needs for its fonts, without a window: a QGuiApplication on the
// offscreen platform (unless QT_QPA_PLATFORM names another) for as long as the guard lives. Where the
// process has an application object already (the tests), that one serves. While the guard lives,
// Qt's notes about the environment (no runtime folder, ...) stay out of the command's stderr; its
// critical messages still reach it.

#include <QtGlobal>
#include <memory>

class QGuiApplication;

namespace velkora::cli {

class OffscreenGui {
 public:
  OffscreenGui();
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  QtMessageHandler previousHandler_ = nullptr;
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace velkora::cli
