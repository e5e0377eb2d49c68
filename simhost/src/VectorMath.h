// Small VECTOR3 arithmetic for the host's physics and frames.
#pragma once

#include <cmath>

#include "OrbiterAPI.h"

namespace simhost {

inline VECTOR3 operator+(const VECTOR3& a, const VECTOR3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline VECTOR3 operator-(const VECTOR3& a, const VECTOR3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline VECTOR3 operator*(const VECTOR3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline VECTOR3 operator*(double s, const VECTOR3& a) { return a * s; }
inline double Dot(const VECTOR3& a, const VECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double Length(const VECTOR3& a) { return std::sqrt(Dot(a, a)); }
inline VECTOR3 Cross(const VECTOR3& a, const VECTOR3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadPerDeg = kPi / 180.0;
constexpr double kSecondsPerDay = 86400.0;

}  // namespace simhost
