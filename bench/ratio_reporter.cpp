#include "bench/ratio_reporter.h"

namespace ravelin::bench {

void TimingTable::record(const std::string& operation, const std::string& document,
                         double seconds) {
  seconds_[{operation, document}] = seconds;
}

std::optional<double> TimingTable::seconds(const std::string& operation,
                                           const std::string& document) const {
  const auto found = seconds_.find({operation, document});
  if (found == seconds_.end()) return std::nullopt;
  return found->second;
}

std::optional<double> TimingTable::ratio(const std::string& operation, const std::string& baseline,
                                         const std::string& document) const {
  const auto measured = seconds(operation, document);
  const auto reference = seconds(baseline, document);
  if (!measured || !reference || *reference <= 0.0) return std::nullopt;
  return *measured / *reference;
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  std::vector<Run> annotated = runs;
  for (Run& run : annotated) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
    const std::string& name = run.run_name.function_name;
    const auto slash = name.find('/');
    if (slash == std::string::npos) continue;
    const std::string operation = name.substr(0, slash);
    const std::string document = name.substr(slash + 1);
    table_.record(operation, document,
                  run.cpu_accumulated_time / static_cast<double>(run.iterations));
    addRatio(run, operation, document);
  }
  ConsoleReporter::ReportRuns(annotated);
}

void RatioReporter::addRatio(Run& run, const std::string& operation,
                             const std::string& document) const {
  const auto baseline = baselines_.find(operation);
  const std::string& reference = baseline == baselines_.end() ? operation : baseline->second;
  if (const auto ratio = table_.ratio(operation, reference, document)) {
    run.counters["ratio"] = benchmark::Counter(*ratio);
  }
}

}  // namespace ravelin::bench
