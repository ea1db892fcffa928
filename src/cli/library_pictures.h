#pragma once
// The pictures of velkora-cli library (trend and compare): drawn by the view's graphs, written by the
// painting code. The painting needs Qt Gui, which a core-only build leaves out; the drawing commands of
// cli/graphics register the writer, and without it the picture outputs say they are not available.

#include <cstdint>
#include <functional>
#include <string>

#include "cli/cli_command.h"
#include "view/device_context.h"

namespace velkora::cli {

inline constexpr int32_t kLibraryPictureWidth = 800;
inline constexpr int32_t kLibraryPictureHeight = 450;

using LibraryDrawing = std::function<void(DeviceContext&, const Rect& area)>;

// Writes the drawing as a PNG, SVG or PDF picture of width x height pixels (the format from the file's
// extension), replaced only when complete. Returns the exit code, after the messages on io.err.
using LibraryPictureWriter = int (*)(const std::string& path, int32_t width, int32_t height, const LibraryDrawing& draw,
                                     CliIo& io);

void setLibraryPictureWriter(LibraryPictureWriter writer);
// Null in a build without pictures.
LibraryPictureWriter libraryPictureWriter();

}  // namespace velkora::cli
