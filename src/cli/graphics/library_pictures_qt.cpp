// The picture writer of velkora-cli library trend and compare, on the painting code.

#include <QSize>

#include "cli/graphics/offscreen_gui.h"
#include "cli/graphics/picture_output.h"
#include "cli/library_pictures.h"
#include "painting/graph_files.h"

namespace velkora::cli {
namespace {

int writeLibraryPicture(const std::string& path, int32_t width, int32_t height, const LibraryDrawing& draw, CliIo& io) {
  if (!outputWritable(path, io)) return kExitFailure;
  OffscreenGui gui;
  std::string error;
  const Rect area{0, 0, width, height};
  if (!writeScreenFile(
          path, QSize(width, height), [&](DeviceContext& dc) { draw(dc, area); }, error))
    return writeFailed(error, io);
  return kExitOk;
}

struct Registration {
  Registration() { setLibraryPictureWriter(&writeLibraryPicture); }
} const registration;

}  // namespace
}  // namespace velkora::cli
