#include "model/sheet_reading.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace risview::model {

namespace {

// Nothing a reader would say: blanks, line ends and ideographic spaces only.
bool blank(std::string_view text) {
  while (!text.empty()) {
    if (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
        text.front() == '\n') {
      text.remove_prefix(1);
    } else if (text.starts_with("\xE3\x80\x80")) {
      text.remove_prefix(3);
    } else {
      return false;
    }
  }
  return true;
}

// A text as one item of a line: its line ends as "\n", trailing ones dropped.
std::string lineText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') continue;
      out += '\n';
    } else {
      out += text[i];
    }
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace

std::string pictureName(const PageModel& model, const Component& picture) {
  // The caption a page sets under a picture, centred on its width.
  for (const Component& c : model.components()) {
    if (c.kind != Kind::Label || c.parent != picture.parent || !c.visible || blank(c.caption)) {
      continue;
    }
    const int centre = c.rect.left + c.rect.width / 2;
    const int middle = picture.rect.left + picture.rect.width / 2;
    if (c.rect.top == picture.rect.bottom() && std::abs(centre - middle) <= 1) return c.caption;
  }
  int number = 0;
  for (const Component& c : model.components()) {
    if (c.kind == Kind::Image && !c.file.empty()) ++number;
    if (&c == &picture) break;
  }
  return "图像 " + std::to_string(number);
}

std::vector<ReadableItem> readableItems(const PageModel& model, const Component& sheet) {
  std::vector<ReadableItem> items;
  for (const Component* c : model.children(sheet.name)) {
    if (!c->visible) continue;
    switch (c->kind) {
      case Kind::Label:
        if (!blank(c->caption)) items.push_back({c, ReadRole::Text, c->caption});
        break;
      case Kind::Image:
        if (!c->file.empty()) items.push_back({c, ReadRole::Graphic, pictureName(model, *c)});
        break;
      case Kind::Edit:
      case Kind::RichEdit:
        items.push_back({c, ReadRole::Edit, c->caption});
        break;
      default:
        break;
    }
  }
  return items;
}

std::string sheetText(const PageModel& model, const Component& sheet) {
  std::vector<const Component*> texts;
  for (const ReadableItem& item : readableItems(model, sheet)) {
    if (item.role != ReadRole::Graphic && !blank(item.name)) texts.push_back(item.component);
  }
  std::stable_sort(texts.begin(), texts.end(), [](const Component* a, const Component* b) {
    return a->rect.top != b->rect.top ? a->rect.top < b->rect.top : a->rect.left < b->rect.left;
  });
  std::string out;
  for (size_t first = 0; first < texts.size();) {
    // The line: every component whose top lies above the middle of all those before it.
    int reach = texts[first]->rect.top + std::max(1, texts[first]->rect.height / 2);
    size_t end = first + 1;
    while (end < texts.size() && texts[end]->rect.top < reach) {
      reach = std::min(reach, texts[end]->rect.top + std::max(1, texts[end]->rect.height / 2));
      ++end;
    }
    std::stable_sort(
        texts.begin() + static_cast<std::ptrdiff_t>(first),
        texts.begin() + static_cast<std::ptrdiff_t>(end),
        [](const Component* a, const Component* b) { return a->rect.left < b->rect.left; });
    if (!out.empty()) out += '\n';
    for (size_t i = first; i < end; ++i) {
      if (i > first) out += "  ";
      out += lineText(texts[i]->caption);
    }
    first = end;
  }
  return out;
}

std::string pageText(const PageModel& model) {
  std::string out;
  for (const Component* sheet : model.sheets()) {
    const std::string text = sheetText(model, *sheet);
    if (text.empty()) continue;
    if (!out.empty()) out += "\n\n";
    out += text;
  }
  return out;
}

}  // namespace risview::model
