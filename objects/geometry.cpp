#include "objects/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace scribly {

Rect boxOf(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

Rect boundsOf(std::span<const Point> points) {
  if (points.empty()) return {};
  Rect r{points[0].x, points[0].y, points[0].x, points[0].y};
  for (Point p : points) {
    r.left = std::min(r.left, p.x);
    r.right = std::max(r.right, p.x);
    r.top = std::min(r.top, p.y);
    r.bottom = std::max(r.bottom, p.y);
  }
  return r;
}

bool SegmentNearTest(Point p, Point a, Point b, int32_t t) {
  if (a.x > b.x) std::swap(a, b);
  const int64_t px = p.x, py = p.y, tol = t;
  auto nearEnd = [&](Point q) {
    return q.x - tol < px && px < q.x + tol && q.y - tol < py && py < q.y + tol;
  };
  if (nearEnd(a) || nearEnd(b)) return true;

  const int64_t ax = std::llabs(int64_t{a.x} - b.x);
  const int64_t ay = std::llabs(int64_t{a.y} - b.y);
  const int64_t mx = std::min(a.x, b.x);
  const int64_t my = std::min(a.y, b.y);
  if (!(mx - tol < px && px < mx - tol + ax + 2 * tol && my - tol < py &&
        py < my - tol + ay + 2 * tol)) {
    return false;
  }
  int64_t u, v;
  if (a.x < b.x && a.y < b.y) {
    u = std::llabs(px - a.x);
    v = std::llabs(int64_t{b.y} - py);
  } else {
    u = px - mx;
    v = py - my;
  }
  const auto d = static_cast<int64_t>(std::sqrt(static_cast<double>(ax * ax + ay * ay)));
  if (d != 0 && std::llabs(ax * ay - v * ax - u * ay) / d < tol) return true;
  if (a.x == b.x) return std::llabs(px - a.x) < tol;
  if (a.y == b.y) return std::llabs(py - a.y) < tol;
  return false;
}

void boxHandles(Point a, Point b, Point (&out)[kHandleCount]) {
  const Rect r = boxOf(a, b);
  // Truncating division, as the handles of a box with odd extent sit left/up.
  const auto cx = static_cast<int32_t>((int64_t{r.left} + r.right) / 2);
  const auto cy = static_cast<int32_t>((int64_t{r.top} + r.bottom) / 2);
  out[0] = {r.left, r.top};
  out[1] = {cx, r.top};
  out[2] = {r.right, r.top};
  out[3] = {r.right, cy};
  out[4] = {r.right, r.bottom};
  out[5] = {cx, r.bottom};
  out[6] = {r.left, r.bottom};
  out[7] = {r.left, cy};
  out[8] = {cx, cy};
}

bool ellipseContains(const Rect& box, Point p) {
  if (box.empty()) return false;
  const double a = box.width() / 2.0, b = box.height() / 2.0;
  const double dx = (p.x + 0.5 - (box.left + a)) / a;
  const double dy = (p.y + 0.5 - (box.top + b)) / b;
  return dx * dx + dy * dy <= 1.0;
}

bool polygonContainsWinding(std::span<const Point> polygon, Point p) {
  // Sample at the pixel centre so edges behave like a filled region.
  const double px = p.x + 0.5, py = p.y + 0.5;
  int winding = 0;
  for (size_t i = 0; i < polygon.size(); ++i) {
    const Point s = polygon[i], e = polygon[(i + 1) % polygon.size()];
    const double cross =
        (double{1.0} * (e.x - s.x)) * (py - s.y) - (px - s.x) * (double{1.0} * (e.y - s.y));
    if (s.y <= py) {
      if (e.y > py && cross > 0) ++winding;
    } else if (e.y <= py && cross < 0) {
      --winding;
    }
  }
  return winding != 0;
}

}  // namespace scribly
