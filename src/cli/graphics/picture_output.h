#pragma once
// What the drawing commands of velkora-cli share about their output: the picture size and the file
// formats they accept on the command line, the check that the output can be written before anything
// is drawn, and the reporting of a write that failed.

#include <CLI/CLI.hpp>
#include <QFont>
#include <QImage>
#include <QSize>
#include <initializer_list>
#include <string>
#include <string_view>

#include "cli/cli_command.h"
#include "painting/graph_files.h"

namespace velkora::cli {

// "WxH" with both sides from 1 to kMaxImageSide pixels.
bool parsePictureSize(std::string_view text, QSize& size);
CLI::Validator pictureSize();

// Accepts a file name whose extension is one of `formats`.
CLI::Validator outputFormats(std::initializer_list<ImageFileFormat> formats);

// True when `output` can be replaced; otherwise "File Save Error" and "PATH: reason" on io.err.
bool outputWritable(const std::string& output, CliIo& io);

// True when Qt can load `font` to draw the text; otherwise "velkora-cli COMMAND: no font ..." on io.err,
// and the command fails rather than write a picture without a word on it.
bool textFontLoads(std::string_view command, const QFont& font, CliIo& io);

// "File Save Error" and the painting's reason on io.err; returns kExitFailure.
int writeFailed(const std::string& reason, CliIo& io);

// The image as a PNG file, replaced only when complete; false after the message and the reason.
bool writePngFile(const QImage& image, const std::string& path, CliIo& io);

}  // namespace velkora::cli
