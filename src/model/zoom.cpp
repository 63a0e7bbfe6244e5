#include "model/zoom.h"

#include <algorithm>
#include <cstdint>

namespace risview::model {

namespace {

int divideRounded(int64_t value, int64_t divisor) {
  if (divisor <= 0) return static_cast<int>(value);
  const int64_t half = divisor / 2;
  const int64_t q = value >= 0 ? (value + half) / divisor : -((-value + half) / divisor);
  return static_cast<int>(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
}

}  // namespace

int Scale::operator()(int design) const {
  return divideRounded(int64_t{design} * num, den);
}

int Scale::toDesign(int device) const {
  return num <= 0 ? device : divideRounded(int64_t{device} * den, num);
}

Rect Scale::operator()(const Rect& d) const {
  const int left = (*this)(d.left), top = (*this)(d.top);
  return {left, top, (*this)(d.right()) - left, (*this)(d.bottom()) - top};
}

int nextZoom(int current, int direction) {
  if (direction > 0) {
    for (int step : kZoomSteps) {
      if (step > current) return step;
    }
    return kMaxZoom;
  }
  for (size_t i = std::size(kZoomSteps); i-- > 0;) {
    if (kZoomSteps[i] < current) return kZoomSteps[i];
  }
  return kMinZoom;
}

FormDesc scaled(const FormDesc& form, Scale scale) {
  FormDesc out = form;
  if (scale.identity()) return out;
  out.clientWidth = scale(form.clientWidth);
  out.clientHeight = scale(form.clientHeight);
  out.bounds.width = scale(form.bounds.width);
  out.bounds.height = scale(form.bounds.height);
  out.font.height = scale(form.font.height);
  for (auto& c : out.components) {
    c.rect = scale(c.rect);
    c.font.height = scale(c.font.height);
    for (auto& column : c.columns) column.width = scale(column.width);
  }
  return out;
}

int defaultZoom(int displayPercent) {
  return std::clamp(displayPercent, kMinZoom, kMaxZoom);
}

int zoomForDefault(int zoom, int fromDefault, int toDefault) {
  return std::clamp(divideRounded(int64_t{zoom} * toDefault, fromDefault), kMinZoom, kMaxZoom);
}

int scrollKeepingPoint(int position, int anchor, Scale from, Scale to) {
  const int64_t designPoint = int64_t{position + anchor} * from.den;  // times from.num
  const int64_t device = from.num > 0 ? designPoint * to.num / (int64_t{to.den} * from.num) : 0;
  return std::max(0, static_cast<int>(device) - anchor);
}

}  // namespace risview::model
