#pragma once

#include <cmath>

namespace GestalSynth {

// Double-precision 3-D vector for path geometry: x to the user's right, y up, z toward the user
// (so the user faces -z).
struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator*(double k) const { return {x * k, y * k, z * k}; }
  Vec3& operator+=(const Vec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  double length() const { return std::sqrt(x * x + y * y + z * z); }
};

// Rotation about the vertical axis, then about the right axis, then about the viewing axis:
// turns a shape drawn in the x-y plane into the user's own, slightly turned and leaning plane.
struct PlaneRotation {
  double yaw = 0.0;    // about +y; positive turns the plane's right edge away from the user
  double pitch = 0.0;  // about +x; positive leans the plane's top away from the user
  double roll = 0.0;   // about +z; positive slants the shape counter-clockwise

  Vec3 apply(const Vec3& v) const {
    const double cr = std::cos(roll), sr = std::sin(roll);
    const Vec3 a{cr * v.x - sr * v.y, sr * v.x + cr * v.y, v.z};
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    const Vec3 b{a.x, cp * a.y + sp * a.z, -sp * a.y + cp * a.z};
    const double cy = std::cos(yaw), sy = std::sin(yaw);
    return {cy * b.x + sy * b.z, b.y, -sy * b.x + cy * b.z};
  }
};

}  // namespace GestalSynth
