#include "cli/graphics/picture_output.h"

#include <QBuffer>
#include <QByteArray>
#include <optional>
#include <ostream>
#include <system_error>
#include <vector>

#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "model/messages.h"
#include "model/number_text.h"
#include "painting/graph_fonts.h"
#include "storage/binary_io.h"

namespace velkora::cli {
namespace {

std::string_view extensionOf(ImageFileFormat format) {
  switch (format) {
    case ImageFileFormat::Png:
      return ".png";
    case ImageFileFormat::Svg:
      return ".svg";
    case ImageFileFormat::Pdf:
      return ".pdf";
  }
  return "";
}

}  // namespace

bool parsePictureSize(std::string_view text, QSize& size) {
  const size_t by = text.find_first_of("xX");
  if (by == std::string_view::npos) return false;
  long long width = 0, height = 0;
  if (!parseNumber(text.substr(0, by), width) || !parseNumber(text.substr(by + 1), height)) return false;
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
  size = QSize(static_cast<int>(width), static_cast<int>(height));
  return true;
}

CLI::Validator pictureSize() {
  const std::string side = std::to_string(kMaxImageSide);
  return CLI::Validator(
      [side](std::string& text) -> std::string {
        QSize size;
        return parsePictureSize(text, size) ? "" : "needs WIDTHxHEIGHT in pixels, each from 1 to " + side;
      },
      "", "size");
}

CLI::Validator outputFormats(std::initializer_list<ImageFileFormat> formats) {
  std::string names;
  size_t index = 0;
  for (const ImageFileFormat format : formats) {
    if (index > 0) names += index + 1 == formats.size() ? " or " : ", ";
    names += extensionOf(format);
    ++index;
  }
  const std::vector<ImageFileFormat> accepted(formats);
  return CLI::Validator(
      [names, accepted](std::string& text) -> std::string {
        const std::optional<ImageFileFormat> format = imageFileFormat(text);
        for (const ImageFileFormat a : accepted)
          if (format == a) return "";
        return "needs a file name ending in " + names;
      },
      "", "output");
}

bool outputWritable(const std::string& output, CliIo& io) {
  std::error_code reason;
  if (checkFileReplaceable(output, reason)) return true;
  io.err << msg::kFileSaveError << '\n';
  printFileReason(io.err, output, reason);
  return false;
}

bool textFontLoads(std::string_view command, const QFont& font, CliIo& io) {
  if (fontLoads(font)) return true;
  io.err << "velkora-cli " << command << ": no font could be loaded to draw the text (" << font.family().toStdString()
         << " or any other); nothing written\n";
  return false;
}

int writeFailed(const std::string& reason, CliIo& io) {
  io.err << msg::kFileSaveError << '\n' << reason << '\n';
  return kExitFailure;
}

bool writePngFile(const QImage& image, const std::string& path, CliIo& io) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
    writeFailed("cannot write " + path + ": the picture could not be encoded", io);
    return false;
  }
  std::error_code reason;
  if (!writeFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &reason)) {
    io.err << msg::kFileSaveError << '\n';
    printFileReason(io.err, path, reason);
    return false;
  }
  return true;
}

}  // namespace velkora::cli
