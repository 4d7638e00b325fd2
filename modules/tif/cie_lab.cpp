#include "modules/tif/cie_lab.h"

#include <algorithm>
#include <cmath>

namespace kamolt {
namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix product{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) product[i][j] += a[i][k] * b[k][j];
  return product;
}

std::array<double, 3> Apply(const Matrix& m, const std::array<double, 3>& v) {
  return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
          m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

// Bradford's cone response and its inverse: the usual way to carry colours seen under one
// white over to another white, so that the file's white becomes the screen's white.
constexpr Matrix kBradford = {{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
constexpr Matrix kBradfordInverse = {
    {{0.9869929, -0.1470543, 0.1599627}, {0.4323053, 0.5183603, 0.0492912}, {-0.0085287, 0.0400428, 0.9684867}}};
constexpr std::array<double, 3> kD65 = {0.95047, 1.0, 1.08883};
constexpr Matrix kXyzD65ToLinearSrgb = {
    {{3.2404542, -1.5371385, -0.4985314}, {-0.9692660, 1.8760108, 0.0415560}, {0.0556434, -0.2040259, 1.0572252}}};

double LabInverse(double t) {
  constexpr double delta = 6.0 / 29.0;
  return t > delta ? t * t * t : 3 * delta * delta * (t - 4.0 / 29.0);
}

double SrgbEncoded(double linear) {
  linear = std::clamp(linear, 0.0, 1.0);
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

}  // namespace

LabToSrgb::LabToSrgb(double whiteX, double whiteY) {
  if (!(whiteY > 0.01 && whiteX > 0 && whiteX + whiteY < 1)) whiteX = 0.3457, whiteY = 0.3585;  // D50
  white_ = {whiteX / whiteY, 1.0, (1 - whiteX - whiteY) / whiteY};
  const auto from = Apply(kBradford, white_), to = Apply(kBradford, kD65);
  Matrix scale{};
  for (int i = 0; i < 3; ++i) scale[i][i] = to[i] / from[i];
  toLinearRgb_ = Multiply(kXyzD65ToLinearSrgb, Multiply(kBradfordInverse, Multiply(scale, kBradford)));
}

std::array<double, 3> LabToSrgb::operator()(double l, double a, double b) const {
  const double fy = (l + 16) / 116;
  const std::array<double, 3> xyz = {white_[0] * LabInverse(fy + a / 500), white_[1] * LabInverse(fy),
                                     white_[2] * LabInverse(fy - b / 200)};
  auto rgb = Apply(toLinearRgb_, xyz);
  for (double& c : rgb) c = SrgbEncoded(c);
  return rgb;
}

}  // namespace kamolt
