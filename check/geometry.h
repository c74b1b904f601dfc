#pragma once

// The arithmetic the checks judge by: rotations and the Kannala-Brandt
// distortion curve. Pure functions of numbers.

#include <array>
#include <optional>

#include "check/document.h"

namespace ravelin::check {

double norm(const Vec3& v);
double dot(const Vec3& a, const Vec3& b);
double distance(const Vec3& a, const Vec3& b);

// max |R^T R - I| over the nine entries: 0 for a rotation or a reflection.
double orthonormalityDeviation(const Mat3& r);
double determinant(const Mat3& r);

// k1..k4 of theta_d(theta) = theta + k1 theta^3 + k2 theta^5 + k3 theta^7 + k4 theta^9.
using DistortionCoefficients = std::array<double, 4>;

double distortedAngle(const DistortionCoefficients& k, double theta);

// Walks theta out from 0 to `maxTheta` (radians, at most pi), stopping early
// once theta_d reaches `stopAtDistortedAngle`, and returns the first angle
// on the way where theta_d stops increasing; nothing when it rises all the way.
std::optional<double> firstDistortionTurn(const DistortionCoefficients& k, double maxTheta,
                                          double stopAtDistortedAngle);

}  // namespace ravelin::check
