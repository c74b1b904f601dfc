#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ravelin::bench {

// A measured figure against its limit, for the summary's target lines.
struct Target {
  std::string description;
  double measured;
  double limit;
};

// CPU seconds per document of every measured row, by operation and document.
class TimingTable {
 public:
  void record(const std::string& operation, const std::string& document, double seconds);
  std::optional<double> seconds(const std::string& operation, const std::string& document) const;
  // The operation's time divided by the baseline's on the same document.
  std::optional<double> ratio(const std::string& operation, const std::string& baseline,
                              const std::string& document) const;

 private:
  std::map<std::pair<std::string, std::string>, double> seconds_;
};

// Rows are named "<operation>/<document>". Every row gains the counter
// "ratio": its time divided by that of its operation's baseline on the same
// document (1 for a baseline itself). Baselines must be registered before the
// rows they serve.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Operation name to the name of its baseline operation.
  using Baselines = std::map<std::string, std::string>;

  RatioReporter(TimingTable& table, Baselines baselines)
      : table_(table), baselines_(std::move(baselines)) {}

  void ReportRuns(const std::vector<Run>& runs) override;

 private:
  void addRatio(Run& run, const std::string& operation, const std::string& document) const;

  TimingTable& table_;
  Baselines baselines_;
};

}  // namespace ravelin::bench
