#pragma once
// The entry point of the painting benchmarks: Qt's offscreen platform (fonts need a GUI application),
// then the benchmarks.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QGuiApplication>

#define VELKORA_PAINTING_BENCHMARK_MAIN()                               \
  int main(int argc, char** argv) {                                     \
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);                        \
    ::setenv("QT_QPA_FONTDIR", "/usr/share/fonts/truetype/dejavu", 0);  \
    QGuiApplication app(argc, argv);                                    \
    ::benchmark::Initialize(&argc, argv);                               \
    if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1; \
    ::benchmark::RunSpecifiedBenchmarks();                              \
    ::benchmark::Shutdown();                                            \
    return 0;                                                           \
  }
