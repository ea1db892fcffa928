#pragma once
// The texts that name a recording on the screen and on paper, and the framed name and date header the
// view draws at its top whenever a recording is available.

#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "view/device_context.h"

namespace velkora {

// What a printed page shows; the title's suffix follows it.
enum class PageContent { Blank, CurveGraph, BarGraph, Report };

// "Orvel Force - Graph report", "Orvel Power - Digital report", ...; empty for a blank page.
std::string pageTitle(TestKind kind, PageContent content);

// "Name: " followed by the subject's name.
std::string nameLine(std::string_view subjectName);

// The framed header: the rectangle with the current pen and brush, the name line in its left half and
// the date line ("Date: dd.mm.yyyy  at  HH:MM:SS") in its right half.
void drawHeader(DeviceContext& dc, const Rect& rect, std::string_view subjectName, int32_t testTime);

}  // namespace velkora
