#include "cli/curve_choice.h"

#include <ostream>
#include <string>

#include "cli/cli_options.h"
#include "model/command_ids.h"
#include "model/settings.h"
#include "view/view_state.h"

namespace velkora::cli {
namespace {

struct RangeNames {
  std::string_view first;
  std::string_view last;
};

RangeNames rangeNames(RangeRole role) {
  return role == RangeRole::Window ? RangeNames{"--from", "--to"} : RangeNames{"--xl", "--xr"};
}

std::string named(std::string_view option, int32_t value) { return std::string(option) + " " + std::to_string(value); }

}  // namespace

int32_t fullWindowEnd(const MeasurementStore& store) {
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  if (n < 0) return 0;
  return n > kLastSampleIndex ? kLastSampleIndex : n;
}

CurveGraphView openedCurveView(const MeasurementStore& store) {
  // The program's own rule for entering the curve graph, on the settings of a fresh installation.
  ViewState state;
  GraphSettings fresh;
  state.enterCurveGraph(store, fresh);
  return state.curveGraphView(0);
}

bool barGraphOffered(const MeasurementStore& store) { return viewCommandEnabled(cmd::kBarGraph, store); }

BarGraphView openedBarView() {
  ViewState state;
  state.enterBarGraph();
  BarGraphView view;
  view.y1Shown = state.y1Shown;
  view.selectedRepetition = state.selectedRepetition;
  return view;
}

void CurveChoice::define(CLI::App& command, RangeRole role) {
  role_ = role;
  const RangeNames names = rangeNames(role);
  const bool window = role == RangeRole::Window;
  firstOption_ = command
                     .add_option(std::string(names.first), first_,
                                 window ? "first sample of the window (default 0)" : "the cursor XL (default 0)")
                     ->type_name("A")
                     ->transform(wholeNumber(0, kLastSampleIndex));
  lastOption_ = command
                    .add_option(std::string(names.last), last_,
                                window ? "last sample of the window (default: the end of the recording)"
                                       : "the cursor XR (default: the end of the recording)")
                    ->type_name("B")
                    ->transform(wholeNumber(0, kLastSampleIndex));
  y1Option_ = command.add_option("--y1", y1_, "parameter on the left axis, 0 to 5 (default 0)")
                  ->type_name("P")
                  ->transform(wholeNumber(0, 5));
  y2Option_ = command.add_option("--y2", y2_, "parameter on the right axis, 0 to 5 (default 1, for a power test 3)")
                  ->type_name("P")
                  ->transform(wholeNumber(0, 5));
}

bool CurveChoice::given() const { return !firstGivenName().empty(); }

std::string CurveChoice::firstGivenName() const {
  for (const CLI::Option* option : {firstOption_, lastOption_, y1Option_, y2Option_})
    if (option != nullptr && option->count() > 0) return option->get_name();
  return {};
}

std::optional<CurveGraphView> CurveChoice::resolve(const MeasurementStore& store, std::string_view command,
                                                   CliIo& io) const {
  CurveGraphView view = openedCurveView(store);
  if (y1Option_->count() > 0) view.y1Shown = y1_;
  if (y2Option_->count() > 0) view.y2Shown = y2_;

  const RangeNames names = rangeNames(role_);
  const int32_t end = fullWindowEnd(store);
  const bool firstGiven = firstOption_->count() > 0;
  const bool lastGiven = lastOption_->count() > 0;
  const int32_t first = firstGiven ? first_ : 0;
  const int32_t last = lastGiven ? last_ : end;
  const auto refuse = [&](const std::string& message) -> std::optional<CurveGraphView> {
    usageError(command, message, io);
    return std::nullopt;
  };
  if (firstGiven && first > end)
    return refuse(named(names.first, first) + ": the recording ends at sample " + std::to_string(end));
  if (lastGiven && last > end)
    return refuse(named(names.last, last) + ": the recording ends at sample " + std::to_string(end));
  // Without either option the range is the whole recording, even an empty one's 0 .. 0.
  if ((firstGiven || lastGiven) && first >= last) {
    if (firstGiven && lastGiven) return refuse(named(names.first, first) + " must be below " + named(names.last, last));
    if (firstGiven)
      return refuse(named(names.first, first) + " must be below the recording's end, sample " + std::to_string(end));
    return refuse(named(names.last, last) + " must be above the first sample, 0");
  }
  if (role_ == RangeRole::Window) {
    view.windowStart = first;
    view.windowEnd = last;
  }
  view.cursorLeft = first;
  view.cursorRight = last;
  return view;
}

int usageError(std::string_view command, std::string_view message, CliIo& io) {
  io.err << "velkora-cli " << command << ": " << message << '\n';
  return kExitUsage;
}

}  // namespace velkora::cli
