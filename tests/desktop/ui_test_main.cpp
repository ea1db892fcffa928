// The Qt tests run without a display: the offscreen platform is chosen here, before the application
// object exists, because test discovery starts this program outside CTest's environment.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("QT_QPA_FONTDIR", "/usr/share/fonts/truetype/dejavu", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // Qt sets the C locale from the environment; the tests choose their numeric locale themselves.
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}
