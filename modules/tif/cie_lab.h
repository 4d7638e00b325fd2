#pragma once
// CIE L*a*b* colours to sRGB for the screen.
#include <array>

namespace kamolt {

class LabToSrgb {
 public:
  // whiteX, whiteY: chromaticity of the white the colours are measured against.
  LabToSrgb(double whiteX, double whiteY);
  // L* 0..100, a* and b* about -128..127; each channel 0..1, sRGB-encoded, clamped.
  std::array<double, 3> operator()(double l, double a, double b) const;

 private:
  std::array<double, 3> white_;
  std::array<std::array<double, 3>, 3> toLinearRgb_;
};

}  // namespace kamolt
