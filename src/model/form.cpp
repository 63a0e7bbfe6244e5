#include "model/form.h"

#include <stdexcept>

namespace risview::model {

const ComponentDesc& FormDesc::component(const std::string& componentName) const {
  for (const auto& c : components) {
    if (c.name == componentName) return c;
  }
  throw std::out_of_range("Component '" + componentName + "' not found in " + name);
}

std::map<std::string, Rect> layout(const FormDesc& form, int clientWidth, int clientHeight) {
  std::map<std::string, Rect> rects;
  // What is left of each parent's client area for aligned children.
  std::map<std::string, Rect> free;
  free[""] = {0, 0, clientWidth < 0 ? form.clientWidth : clientWidth,
              clientHeight < 0 ? form.clientHeight : clientHeight};
  for (const auto& c : form.components) {
    if (c.kind == Kind::ToolButton) continue;
    auto it = free.find(c.parent);
    Rect& room = it != free.end() ? it->second : free[c.parent];
    Rect r = c.rect;
    switch (c.align) {
      case Align::None:
        break;
      case Align::Top:
        r = {room.left, room.top, room.width, c.rect.height};
        room.top += r.height, room.height -= r.height;
        break;
      case Align::Bottom:
        r = {room.left, room.bottom() - c.rect.height, room.width, c.rect.height};
        room.height -= r.height;
        break;
      case Align::Left:
        r = {room.left, room.top, c.rect.width, room.height};
        room.left += r.width, room.width -= r.width;
        break;
      case Align::Right:
        r = {room.right() - c.rect.width, room.top, c.rect.width, room.height};
        room.width -= r.width;
        break;
      case Align::Client:
        r = room;
        break;
    }
    rects[c.name] = r;
    free[c.name] = {0, 0, r.width, r.height};
  }
  rects[""] = free[""];
  return rects;
}

Rect placeWindow(const FormDesc& form, int screenWidth, int screenHeight, int frameWidth,
                 int frameHeight) {
  int width = form.clientWidth + frameWidth;
  int height = form.clientHeight + frameHeight;
  if (form.position == Position::Bounds) return form.bounds;
  if (form.position == Position::ScreenCenter) {
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
  }
  return {0, 0, width, height};
}

}  // namespace risview::model
