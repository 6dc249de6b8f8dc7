#pragma once
// A page of mixed objects for the hit-testing and drawing benchmarks.
#include <memory>
#include <random>
#include <vector>

#include "objects/object_factory.h"
#include "objects/pencil_object.h"
#include "objects/triangle_object.h"
using namespace scribly;
inline std::vector<std::unique_ptr<BoardObject>> makePage(TextMeasurer* m) {
  ObjectFactory f(m);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(0, 1000), size(10, 200);
  const uint8_t kinds[] = {10, 11, 12, 13, 16, 20, 21, 22, 23, 24, 25, 15};
  std::vector<std::unique_ptr<BoardObject>> page;
  for (int i = 0; i < 1000; ++i) {
    uint8_t k = kinds[i % 12];
    auto o = f.create(k);
    int x = coord(rng), y = coord(rng);
    Point a{x, y}, b{x + size(rng), y + size(rng)};
    if (auto* p = dynamic_cast<PencilObject*>(o.get())) {
      for (int j = 0; j < 40; ++j) p->addPoint({x + j * 3, y + (j * 7) % 50});
    } else if (auto* t = dynamic_cast<TriangleObject*>(o.get())) {
      t->startAt(a);
      t->moveHandle(3, b);
    } else {
      o->setPoints(PackedPoint::pack(a), PackedPoint::pack(b));
    }
    o->setPenWidth(1 + i % 5);
    o->setColour(0x102030 + i);
    o->setFill(i % 3 ? 0 : 0x808080);
    o->setText("note");
    page.push_back(std::move(o));
  }
  return page;
}
