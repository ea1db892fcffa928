#include "cli/library_pictures.h"

namespace velkora::cli {
namespace {

// Constant-initialised, so a writer registered during static initialisation is never overwritten.
LibraryPictureWriter writer = nullptr;

}  // namespace

void setLibraryPictureWriter(LibraryPictureWriter pictureWriter) { writer = pictureWriter; }

LibraryPictureWriter libraryPictureWriter() { return writer; }

}  // namespace velkora::cli
