#pragma once
// Ours against its floor, measured interleaved in one process, for every benchmark under bench/.
//
// The machine the benchmarks run on is shared: load from elsewhere comes and goes over seconds.
// Measured one after the other, ours and its floor meet different loads and their ratio swings
// (0.86x to 1.93x was seen across three runs). Here every iteration of a benchmark takes one
// sample of ours and one of the floor (and of any further contender), the order rotated from one
// iteration to the next, so whatever noise there is hits them alike.
//
// Each repetition of a benchmark reports, as user counters:
//   ours_us, floor_us   the median of its samples of each, in microseconds
//   ratio               ours_us / floor_us (the ratio of the two medians)
//   <name>_us           any further timing a benchmark samples (the median, in microseconds)
//   <name>_ratio        any further ratio of medians a benchmark reports (Samples::ratio)
// and its iteration time is the sample of ours (so Google Benchmark's Time column is ours).
//
// runBenchmarks() runs five repetitions unless --benchmark_repetitions says otherwise, and prints
// after the usual table a summary per benchmark: the median over the repetitions of each ratio
// with its minimum, interquartile range and maximum and every per-repetition value, and the
// median over the repetitions of each absolute figure with its minimum and maximum.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using Seconds = double;

// The seconds `f` took (steady clock, wall time).
template <typename F>
Seconds timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The `q`-quantile (0..1) of `values`, linear between neighbours; 0 for none.
inline double quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double pos = q * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(pos);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (values[above] - values[below]) * (pos - static_cast<double>(below));
}
inline double median(std::vector<double> values) { return quantile(std::move(values), 0.5); }

// The samples of one repetition, by counter name ("ours", "floor", "fill", ...).
class Samples {
 public:
  void add(const std::string& name, Seconds s) { m_samples[name].push_back(s); }
  // Sets "<name>_us" to the median of each name's samples and, when both are there, "ratio" to
  // the median of "ours" over the median of "floor".
  void report(benchmark::State& state) const {
    for (const auto& [name, values] : m_samples) state.counters[name + "_us"] = median(values) * 1e6;
    if (const double r = ratio("ours", "floor"); r > 0) state.counters["ratio"] = r;
  }
  // The median of `a`'s samples over the median of `b`'s; 0 when either has none.
  double ratio(const std::string& a, const std::string& b) const {
    const auto x = m_samples.find(a);
    const auto y = m_samples.find(b);
    if (x == m_samples.end() || y == m_samples.end()) return 0;
    const double d = median(y->second);
    return d > 0 ? median(x->second) / d : 0;
  }

 private:
  std::map<std::string, std::vector<double>> m_samples;
};

// One of the things a benchmark samples: its name ("ours", "floor", ...) and one timed run, which
// answers the seconds of its timed part (it times itself, so that work it must do around the
// timed part stays out: see timed()).
struct Contender {
  std::string name;
  std::function<Seconds()> run;
};

// One sample of each contender per iteration of `state`, the order rotated every iteration (with
// two, they swap), so that none always runs first or right after the same one. The first
// contender is ours: its sample is the iteration time. `more` runs after them, once per
// iteration, and may add samples of its own. Answers the samples (already reported), for ratios
// of the benchmark's own.
inline Samples interleave(benchmark::State& state, const std::vector<Contender>& contenders,
                          const std::function<void(Samples&)>& more = {}) {
  Samples samples;
  const std::size_t n = contenders.size();
  std::size_t first = 0;
  std::vector<Seconds> taken(n);
  for (auto _ : state) {
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t i = (first + k) % n;
      taken[i] = contenders[i].run();
    }
    first = (first + 1) % n;
    for (std::size_t i = 0; i < n; ++i) samples.add(contenders[i].name, taken[i]);
    if (more) more(samples);
    state.SetIterationTime(taken.empty() ? 0 : taken[0]);
  }
  samples.report(state);
  return samples;
}

// The console table of Google Benchmark, then the summary over the repetitions.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  // `goals`: upper bounds for counters (by name, e.g. "ratio" or "fill_us"); the summary says
  // whether the median over the repetitions meets each.
  explicit SummaryReporter(std::map<std::string, double> goals = {})
      : ConsoleReporter(OO_Tabular), m_goals(std::move(goals)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      if (m_counters.find(name) == m_counters.end()) m_order.push_back(name);
      for (const auto& [counter, value] : run.counters) m_counters[name][counter].push_back(value.value);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (m_order.empty()) return;
    std::ostream& out = GetOutputStream();
    out << "\nSummary over the repetitions (ratio: median of ours / median of the floor in each repetition;\n"
           "absolute figures (_us: microseconds): median of the repetitions' medians [min, max])\n";
    for (const std::string& name : m_order) {
      const auto& counters = m_counters[name];
      out << name << "\n";
      // "ratio" first, then any other ratio a benchmark reports ("<name>_ratio").
      std::vector<std::string> ratios;
      if (counters.count("ratio") != 0) ratios.push_back("ratio");
      for (const auto& entry : counters) {
        if (entry.first != "ratio" && isRatio(entry.first)) ratios.push_back(entry.first);
      }
      for (const std::string& r : ratios) {
        const std::vector<double>& v = counters.at(r);
        out << format("  %-16s %.3fx  min %.3f  IQR %.3f-%.3f  max %.3f  (%zu repetitions:", r.c_str(), median(v),
                      quantile(v, 0), quantile(v, 0.25), quantile(v, 0.75), quantile(v, 1), v.size());
        for (const double x : v) out << format(" %.3f", x);
        out << ")" << goal(r, median(v)) << "\n";
      }
      for (const auto& [counter, v] : counters) {
        // The ratios are above; the rates Google Benchmark derives from the time are left to its table.
        if (isRatio(counter) || counter == "bytes_per_second" || counter == "items_per_second") continue;
        out << format("  %-16s %10.1f  [%.1f, %.1f]", counter.c_str(), median(v), quantile(v, 0), quantile(v, 1))
            << goal(counter, median(v)) << "\n";
      }
    }
    out.flush();
  }

 private:
  static bool isRatio(const std::string& counter) {
    return counter.size() >= 5 && counter.compare(counter.size() - 5, 5, "ratio") == 0;
  }
  std::string goal(const std::string& counter, double value) const {
    const auto g = m_goals.find(counter);
    if (g == m_goals.end()) return {};
    return format("  goal < %g: %s", g->second, value < g->second ? "met" : "MISSED");
  }
  template <typename... Args>
  static std::string format(const char* f, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, f, args...);
    return buffer;
  }
  std::map<std::string, double> m_goals;
  std::vector<std::string> m_order;
  std::map<std::string, std::map<std::string, std::vector<double>>> m_counters;
};

// Google Benchmark's main with the summary, five repetitions unless the command line sets them.
// `goals` as for SummaryReporter.
inline int runBenchmarks(int argc, char** argv, std::map<std::string, double> goals = {}) {
  std::vector<std::string> args(argv, argv + argc);
  const bool repetitionsGiven = std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a.rfind("--benchmark_repetitions", 0) == 0;
  });
  if (!repetitionsGiven) args.insert(args.begin() + 1, "--benchmark_repetitions=5");
  std::vector<char*> argvOut;
  for (std::string& a : args) argvOut.push_back(a.data());
  int argcOut = static_cast<int>(argvOut.size());
  argvOut.push_back(nullptr);
  benchmark::Initialize(&argcOut, argvOut.data());
  if (benchmark::ReportUnrecognizedArguments(argcOut, argvOut.data())) return 1;
  SummaryReporter reporter(std::move(goals));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
