// Speed of the number texts, the date reading and the category lookup, each beside the C
// library routine it competes with (snprintf, strtod) on the same inputs.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "categorise.h"
#include "decay.h"
#include "number_text.h"

namespace {

// Activities spread evenly over 24 decades, as typed in any unit.
const std::vector<double>& values() {
    static const std::vector<double> all = [] {
        std::mt19937_64 random(20261207);
        std::uniform_real_distribution<double> decade(-12, 12);
        std::vector<double> v(4096);
        for (double& x : v)
            x = std::pow(10.0, decade(random));
        return v;
    }();
    return all;
}

const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> t;
        for (double x : values())
            t.push_back(dovrin::numberText(x));
        return t;
    }();
    return all;
}

void formatScientific(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(dovrin::formatScientific(values()[i++ & 4095]));
}
BENCHMARK(formatScientific);

void snprintf_2E(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        std::array<char, 32> out;
        std::snprintf(out.data(), out.size(), "%.2E", values()[i++ & 4095]);
        benchmark::DoNotOptimize(std::string(out.data()));
    }
}
BENCHMARK(snprintf_2E);

void numberText(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(dovrin::numberText(values()[i++ & 4095]));
}
BENCHMARK(numberText);

void snprintf_15G(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        std::array<char, 32> out;
        std::snprintf(out.data(), out.size(), "%.15G", values()[i++ & 4095]);
        benchmark::DoNotOptimize(std::string(out.data()));
    }
}
BENCHMARK(snprintf_15G);

void readNumber(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(dovrin::readNumber(texts()[i++ & 4095]));
}
BENCHMARK(readNumber);

void strtod(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(std::strtod(texts()[i++ & 4095].c_str(), nullptr));
}
BENCHMARK(strtod);

void readDate(benchmark::State& state) {
    const std::array<std::string, 4> dates{"2/3/2010", "12/31/99", "2024-02-29", "07/04/1976"};
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(dovrin::readDate(dates[i++ & 3], std::chrono::year{2026}));
}
BENCHMARK(readDate);

void categoriseActivity(benchmark::State& state) {
    // The last radionuclide of the table, so that the lookup walks every row.
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(dovrin::categoriseActivity("Ge-68", values()[i++ & 4095]));
}
BENCHMARK(categoriseActivity);

} // namespace

BENCHMARK_MAIN();
