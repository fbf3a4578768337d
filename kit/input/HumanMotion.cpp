#include "kit/input/HumanMotion.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "kit/input/HumanRandom.hpp"

namespace HumanMotion {
namespace {

using HumanRandom::uniform;

Point plus(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point minus(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
Point times(Point a, double k) { return {a.x * k, a.y * k}; }
double minimumJerk(double x) { return x * x * x * (10 - 15 * x + 6 * x * x); }

}  // namespace

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

Tremor::Tremor(double amplitude) : amplitude(amplitude) {
  for (size_t i = 0; i < 4; ++i) {
    frequencies[i] = uniform(6, 11);
    phases[i] = HumanRandom::uniformOpen(0, 2 * std::numbers::pi);
  }
}

double fittsDuration(double d, double targetSize) {
  double w = std::max(targetSize, 4.0);
  double t = (0.11 + 0.11 * std::log2(d / w + 1)) * uniform(0.85, 1.2);
  return t < 0.09 ? 0.09 : std::min(t, 1.4);
}

Point aimPoint(Point from, Point to, double d) {
  if (d <= 60) return to;
  Point u = times(minus(to, from), 1 / d);
  Point n{-u.y, u.x};
  double along = HumanRandom::chance(0.3) ? d * uniform(0.01, 0.05) : -d * uniform(0.01, 0.06);
  along = std::clamp(along, -28.0, 28.0);
  double lateral = std::clamp(d * uniform(-0.025, 0.025), -12.0, 12.0);
  return plus(plus(to, times(u, along)), times(n, lateral));
}

std::function<Point(double)> stroke(Point from, Point to, double duration) {
  double d = distance(from, to);
  if (d <= 0 || duration <= 0) return [to](double) { return to; };
  Point u = times(minus(to, from), 1 / d);
  Point n{-u.y, u.x};
  double bow = d * uniform(0.02, 0.12) * (HumanRandom::chance(0.5) ? -1 : 1);
  Point c1 = plus(plus(from, times(u, d * uniform(0.2, 0.4))), times(n, bow * uniform(0.6, 1.2)));
  Point c2 = plus(plus(from, times(u, d * uniform(0.6, 0.8))), times(n, bow * uniform(0.6, 1.2)));
  double exponent = uniform(0.8, 0.95);
  return [=](double t) {
    double x = std::clamp(t / duration, 0.0, 1.0);
    double s = minimumJerk(std::clamp(std::pow(x, exponent), 0.0, 1.0));
    double r = 1 - s;
    return plus(plus(times(from, r * r * r), times(c1, 3 * r * r * s)),
                plus(times(c2, 3 * r * s * s), times(to, s * s * s)));
  };
}

PointerPath path(Point from, Point to, double targetSize, std::optional<double> primaryDuration) {
  double d = distance(from, to);
  Point aim = aimPoint(from, to, d);
  double primaryTime = primaryDuration ? *primaryDuration : fittsDuration(d, targetSize);
  auto primary = stroke(from, aim, primaryTime);
  Point miss = minus(to, aim);
  if (std::hypot(miss.x, miss.y) < 1) return {primaryTime, to, primary};
  double correctionTime = 0.8 * fittsDuration(std::hypot(miss.x, miss.y), targetSize);
  double start = std::max(0.0, primaryTime - correctionTime * uniform(0.2, 0.5));
  return {start + correctionTime, to, [=](double t) {
            double x = std::clamp((t - start) / correctionTime, 0.0, 1.0);
            return plus(primary(t), times(miss, minimumJerk(x)));
          }};
}

std::vector<MotionSample> events(const PointerPath& along, const Tremor& tremor) {
  std::vector<MotionSample> samples;
  double t = uniform(0.006, 0.010);
  if (along.duration <= t) return {{along.end, along.duration}};
  const auto& f = tremor.frequencies;
  const auto& phi = tremor.phases;
  const double tau = 2 * std::numbers::pi;
  while (t < along.duration) {
    double envelope = std::sin(std::numbers::pi * t / along.duration) * tremor.amplitude;
    Point base = along.point(t);
    double dx = (std::sin(phi[0] + tau * f[0] * t) + std::sin(phi[1] + tau * f[1] * t)) / 2;
    double dy = (std::sin(phi[2] + tau * f[2] * t) + std::sin(phi[3] + tau * f[3] * t)) / 2;
    samples.push_back({{base.x + envelope * dx, base.y + envelope * dy}, t});
    t += uniform(0.006, 0.010);
  }
  samples.push_back({along.end, along.duration});
  return samples;
}

Movement travel(Point from, Point to, double targetSize, std::optional<double> primaryDuration) {
  double d = distance(from, to);
  if (d < 1) return {PointerPath::resting(to), {{to, 0}}};
  PointerPath planned = path(from, to, targetSize, primaryDuration);
  return {planned, events(planned, Tremor(std::min(d / 600 + 0.3, 1.2)))};
}

Movement drag(Point from, Point to, std::optional<double> duration) {
  if (duration) duration = std::max(*duration, 0.15);
  return travel(from, to, 16, duration);
}

Point entryPoint(Point toward, const Rect& in) {
  double angle = HumanRandom::uniformOpen(0, 2 * std::numbers::pi);
  double r = uniform(120, 320);
  double insetX = std::min(in.size.width / 2, 12.0), insetY = std::min(in.size.height / 2, 12.0);
  double left = in.origin.x + insetX, right = in.origin.x + in.size.width - insetX;
  double top = in.origin.y + insetY, bottom = in.origin.y + in.size.height - insetY;
  return {std::clamp(toward.x + r * std::cos(angle), left, std::max(left, right)),
          std::clamp(toward.y + r * std::sin(angle), top, std::max(top, bottom))};
}

double curvatureRadius(const std::vector<Point>& points, size_t i) {
  if (points.empty()) return 2000;
  const Point& a = points[i == 0 ? 0 : i - 1];
  const Point& b = points[i];
  const Point& c = points[std::min(i + 1, points.size() - 1)];
  Point ab = minus(b, a), ac = minus(c, a);
  double k = std::abs(ab.x * ac.y - ab.y * ac.x);
  if (k <= 0.01) return 2000;
  return std::min(distance(a, b) * distance(b, c) * distance(a, c) / (2 * k), 2000.0);
}

std::vector<Point> catmullRom(const std::vector<Point>& points) {
  if (points.size() < 2) return points;
  std::vector<Point> out{points.front()};
  auto at = [&](long i) { return points[std::clamp<long>(i, 0, static_cast<long>(points.size()) - 1)]; };
  auto knot = [](Point a, Point b) { return std::max(std::sqrt(distance(a, b)), 0.0001); };
  for (long i = 0; i + 1 < static_cast<long>(points.size()); ++i) {
    Point p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
    double t0 = 0, t1 = t0 + knot(p0, p1), t2 = t1 + knot(p1, p2), t3 = t2 + knot(p2, p3);
    int steps = std::max(static_cast<int>(distance(p1, p2) / 2), 4);
    for (int j = 1; j <= steps; ++j) {
      double t = t1 + (t2 - t1) * j / steps;
      auto lerp = [](Point a, Point b, double ta, double tb, double t) {
        return plus(times(a, (tb - t) / (tb - ta)), times(b, (t - ta) / (tb - ta)));
      };
      Point a1 = lerp(p0, p1, t0, t1, t), a2 = lerp(p1, p2, t1, t2, t), a3 = lerp(p2, p3, t2, t3, t);
      Point b1 = lerp(a1, a2, t0, t2, t), b2 = lerp(a2, a3, t1, t3, t);
      out.push_back(j == steps ? p2 : lerp(b1, b2, t1, t2, t));
    }
  }
  return out;
}

Movement trace(const std::vector<Point>& through) {
  std::vector<Point> dense = catmullRom(through);
  if (dense.empty()) return {};
  std::vector<double> s(dense.size(), 0);
  for (size_t i = 1; i < dense.size(); ++i) s[i] = s[i - 1] + distance(dense[i - 1], dense[i]);
  if (s.back() < 1) return {PointerPath::resting(dense.back()), {{dense.back(), 0}}};
  double k = uniform(0.85, 1.15), a = 2500 * k;
  std::vector<double> v(dense.size());
  for (size_t i = 0; i < dense.size(); ++i) {
    double r = curvatureRadius(dense, i);
    v[i] = std::max(40.0, std::min({950.0, 210 * k * std::cbrt(r), std::sqrt(12000 * r)}));
  }
  v.front() = v.back() = 0;
  for (size_t i = 1; i < v.size(); ++i) v[i] = std::min(v[i], std::sqrt(v[i - 1] * v[i - 1] + 2 * a * (s[i] - s[i - 1])));
  for (size_t i = v.size() - 1; i-- > 0;) v[i] = std::min(v[i], std::sqrt(v[i + 1] * v[i + 1] + 2 * a * (s[i + 1] - s[i])));
  std::vector<double> t(dense.size(), 0);
  for (size_t i = 1; i < dense.size(); ++i) {
    double step = s[i] - s[i - 1];
    t[i] = t[i - 1] + (step > 0 ? 2 * step / (v[i - 1] + v[i]) : 0);
  }
  PointerPath planned{t.back(), dense.back(), [dense, t](double at) {
                        auto upper = std::upper_bound(t.begin(), t.end(), at);
                        if (upper == t.begin()) return dense.front();
                        if (upper == t.end()) return dense.back();
                        size_t i = static_cast<size_t>(upper - t.begin());
                        double span = t[i] - t[i - 1];
                        double fraction = span > 0 ? (at - t[i - 1]) / span : 1;
                        return plus(dense[i - 1], times(minus(dense[i], dense[i - 1]), fraction));
                      }};
  return {planned, events(planned, Tremor(0.35))};
}

}  // namespace HumanMotion
