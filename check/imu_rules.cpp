#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "check/calibration_rules.h"
#include "check/thresholds.h"
#include "geometry/vector.h"

namespace ravelin::check {

namespace {

using geometry::norm;
using geometry::radians;
using namespace thresholds;

void checkBiasMagnitude(Findings& findings, const Node& node, const Vec3& bias, double unitScale,
                        double limit, const char* unit, const std::string& hint) {
  const double magnitude = norm(bias) * unitScale;
  if (magnitude <= limit) return;
  findings.warning(
      node,
      unitScale == 1.0
          ? describe("|bias| = %.4g %s, beyond %g %s%s", magnitude, unit, limit, unit, hint.c_str())
          : describe("|bias| = %.4g %s (%.4g accel units of %g %s), beyond %g %s", magnitude, unit,
                     norm(bias), unitScale, unit, limit, unit));
}

void checkGyroBias(Findings& findings, const Node& node) {
  const std::optional<Vec3> bias = findings.numbers<3>(node);
  if (!bias) return;
  checkBiasMagnitude(
      findings, node, *bias, 1.0, kMaxGyroBias, "rad/s",
      unitSlipHint(radians(norm(*bias)), 0.0, kMaxGyroBias, "deg/s written as rad/s?"));
}

// With metric biases, a unit scale of about g or 1/g has scaled them once
// already, or is about to.
void checkUnitScaleOfMetricBiases(Findings& findings, const Node& node, double metresPerUnit) {
  const bool aboutG = std::fabs(metresPerUnit / kStandardGravity - 1.0) <= kUnitScaleTolerance;
  const bool aboutInverseG =
      std::fabs(metresPerUnit * kStandardGravity - 1.0) <= kUnitScaleTolerance;
  if (!aboutG && !aboutInverseG) return;
  findings.warning(node, describe("about %s (g = %g m/s^2), though is_bias_metric says the biases "
                                  "are in m/s^2 already",
                                  aboutG ? "g" : "1/g", kStandardGravity));
}

void checkAccelBias(Findings& findings, const Node& imu) {
  // A bias that is not metric is in accelerometer units.
  const std::optional<double> metresPerUnit = positive(findings, imu["meters_per_accel_unit"]);
  const json* metric = imu["is_bias_metric"].value();
  const bool biasIsMetric = metric != nullptr && metric->is_boolean() && metric->get<bool>();
  if (biasIsMetric && metresPerUnit) {
    checkUnitScaleOfMetricBiases(findings, imu["meters_per_accel_unit"], *metresPerUnit);
  }
  if (!biasIsMetric && !metresPerUnit) return;
  const Node biasNode = imu["bias_accel"];
  if (const std::optional<Vec3> bias = findings.numbers<3>(biasNode)) {
    checkBiasMagnitude(findings, biasNode, *bias, biasIsMetric ? 1.0 : *metresPerUnit,
                       kMaxAccelBias, "m/s^2", "");
  }
}

void checkEachWithin(Findings& findings, const Node& node, double low, double high,
                     const char* what) {
  const std::optional<std::vector<double>> values = findings.allNumbers(node);
  if (!values) return;
  for (std::size_t i = 0; i < values->size(); ++i) {
    if ((*values)[i] < low || (*values)[i] > high) {
      findings.warning(node[i], describe("%s outside [%g, %g]", what, low, high));
    }
  }
}

// Milliseconds, microseconds or nanoseconds written as seconds.
std::string timeSlipHint(double seconds) {
  for (const auto& [perSecond, slip] : {std::pair{1e3, "milliseconds written as seconds?"},
                                        std::pair{1e6, "microseconds written as seconds?"},
                                        std::pair{1e9, "nanoseconds written as seconds?"}}) {
    std::string hint = unitSlipHint(seconds / perSecond, 0.0, kMaxTimeOffsetSeconds, slip);
    if (!hint.empty()) return hint;
  }
  return "";
}

void checkTimeOffset(Findings& findings, const Node& node) {
  const std::optional<double> offset = findings.number(node);
  if (!offset || std::fabs(*offset) <= kMaxTimeOffsetSeconds) return;
  findings.warning(node, describe("beyond %g s, farther than the camera and IMU clocks of one "
                                  "device lie apart%s",
                                  kMaxTimeOffsetSeconds, timeSlipHint(std::fabs(*offset)).c_str()));
}

void checkSamplingRate(Findings& findings, const Node& node) {
  const std::optional<double> rate = positive(findings, node);
  if (!rate || (*rate >= kMinSamplingRateHz && *rate <= kMaxSamplingRateHz)) return;
  findings.warning(node, describe("outside [%g, %g] Hz, the output rates of MEMS IMUs%s",
                                  kMinSamplingRateHz, kMaxSamplingRateHz,
                                  unitSlipHint(*rate * 1e3, kMinSamplingRateHz, kMaxSamplingRateHz,
                                               "kilohertz written as hertz?")
                                      .c_str()));
}

struct NoiseFigure {
  const char* key;
  double low;
  double high;
  const char* unit;
  const char* sensors;
};

constexpr NoiseFigure kNoiseFigures[] = {
    {"gyroNoiseDensityStdDegsPerSecPerSqrtHz", kMinGyroNoiseDensity, kMaxGyroNoiseDensity,
     "deg/s/sqrt(Hz)", "gyroscopes"},
    {"accelNoiseDensityStdMtrsPerSecSqPerSqrtHz", kMinAccelNoiseDensity, kMaxAccelNoiseDensity,
     "m/s^2/sqrt(Hz)", "accelerometers"},
    {"gyroBiasStdPerMinute", kMinGyroBiasDrift, kMaxGyroBiasDrift, "deg/s", "gyroscopes"},
    {"accelBiasStdPerMinute", kMinAccelBiasDrift, kMaxAccelBiasDrift, "m/s^2", "accelerometers"},
};

void checkNoiseFigure(Findings& findings, const Node& node, const NoiseFigure& figure) {
  const std::optional<double> value = positive(findings, node);
  if (!value || (*value >= figure.low && *value <= figure.high)) return;
  findings.warning(node, describe("outside [%g, %g] %s, what %s from navigation grade to "
                                  "consumer MEMS span",
                                  figure.low, figure.high, figure.unit, figure.sensors));
}

}  // namespace

void checkImu(Findings& findings, const Node& imu) {
  checkExtrinsics(findings, imu["extrinsics"]);
  findings.allNumbers(imu["extrinsicsOffset"]);
  checkTimeOffset(findings, imu["imuToCamTimeOffset"]);
  checkAccelBias(findings, imu);
  checkGyroBias(findings, imu["bias_gyro"]);
  for (const char* key : {"scaleFactors_accel", "scaleFactors_gyro"}) {
    checkEachWithin(findings, imu[key], kMinScaleFactor, kMaxScaleFactor, "scale factor");
  }
  for (const char* key : {"scaleFactorsCrossAxis_accel", "scaleFactorsCrossAxis_gyro"}) {
    checkEachWithin(findings, imu[key], -kMaxCrossAxis, kMaxCrossAxis, "cross-axis term");
  }
  checkSamplingRate(findings, imu["samplingRateInHz"]);
  for (const NoiseFigure& figure : kNoiseFigures) {
    checkNoiseFigure(findings, imu[figure.key], figure);
  }
  checkTemperatureRange(findings, imu["temperature"]);
}

}  // namespace ravelin::check
