#include "cli/graphics/offscreen_gui.h"

#include <QGuiApplication>
#include <QString>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velkora::cli {
namespace {

void criticalOnly(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "velkora-cli: %s\n", message.toLocal8Bit().constData());
}

}  // namespace

OffscreenGui::OffscreenGui() {
  if (QCoreApplication::instance() != nullptr) return;
  previousHandler_ = qInstallMessageHandler(criticalOnly);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt sets every locale category from the environment; the command's numbers keep the locale the
  // program chose before.
  const char* current = std::setlocale(LC_ALL, nullptr);
  const std::string locale = current != nullptr ? current : "C";
  static int argc = 1;
  static char name[] = "velkora-cli";
  static char* argv[] = {name, nullptr};
  app_ = std::make_unique<QGuiApplication>(argc, argv);
  std::setlocale(LC_ALL, locale.c_str());
}

OffscreenGui::~OffscreenGui() {
  if (!app_) return;
  app_.reset();
  qInstallMessageHandler(previousHandler_);
}

}  // namespace velkora::cli
