#include "model/page_model.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "platform/text.h"

namespace risview::model {

int FixedTextMetrics::textWidth(const Font& font, std::string_view text) const {
  int width = 0;
  std::u16string units = utf8ToUtf16(text);
  for (char16_t u : units) {
    if (u >= 0xDC00 && u <= 0xDFFF) continue;  // second half of a pair: counted with the first
    width += u < 0x80 ? font.height / 2 : font.height;
  }
  return width;
}

int FixedTextMetrics::lineCount(const Font& font, std::string_view text, int width) const {
  int lines = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    bool last = end == std::string_view::npos;
    if (line.empty()) {
      if (!last) ++lines;  // an empty last line does not count
    } else {
      // Character by character, as far as each fits; a character wider than the box still
      // takes a line of its own.
      int used = 0;
      int count = 1;
      std::u16string units = utf8ToUtf16(line);
      for (char16_t u : units) {
        if (u >= 0xDC00 && u <= 0xDFFF) continue;
        int w = u < 0x80 ? font.height / 2 : font.height;
        if (used > 0 && used + w > width) {
          ++count;
          used = 0;
        }
        used += w;
      }
      lines += count;
    }
    if (last) break;
    start = end + 1;
  }
  return lines;
}

PageModel::PageModel(const FormDesc& form) : form_(&form) {
  const std::map<std::string, Rect> rects = layout(form);
  for (const auto& c : form.components) {
    Component& made = create(c);
    if (c.align != Align::None) made.rect = rects.at(c.name);
  }
}

Component* PageModel::find(std::string_view name) {
  auto it = byName_.find(std::string(name));
  return it == byName_.end() ? nullptr : it->second;
}

const Component* PageModel::find(std::string_view name) const {
  return const_cast<PageModel*>(this)->find(name);
}

Component& PageModel::at(std::string_view name) {
  if (Component* c = find(name)) return *c;
  throw std::out_of_range("Component '" + std::string(name) + "' not found in " + form_->name);
}

const Component& PageModel::at(std::string_view name) const {
  return const_cast<PageModel*>(this)->at(name);
}

Font PageModel::resolvedFont(const Component& c) const {
  if (!c.font.face.empty()) return c.font;
  if (!c.parent.empty()) {
    if (const Component* parent = find(c.parent)) return parent->font;
  }
  return form_->font;
}

Component& PageModel::create(Component component) {
  component.font = resolvedFont(component);
  components_.push_back(std::move(component));
  Component& made = components_.back();
  byName_.emplace(made.name, &made);  // the first of equal names is the one found
  return made;
}

void PageModel::remove(std::string_view name) {
  std::vector<std::string> doomed{std::string(name)};
  // Children first found by walking down from the named one.
  for (size_t i = 0; i < doomed.size(); ++i) {
    for (const auto& c : components_) {
      if (c.parent == doomed[i]) doomed.push_back(c.name);
    }
  }
  std::erase_if(components_, [&](const Component& c) {
    return std::find(doomed.begin(), doomed.end(), c.name) != doomed.end();
  });
  // Erasing from the middle of a deque moves the components after it.
  byName_.clear();
  for (auto& c : components_) byName_.emplace(c.name, &c);
}

std::string PageModel::uniqueName(std::string_view prefix) const {
  auto next = nextNumber_.try_emplace(std::string(prefix), 1).first;
  for (int& n = next->second;; ++n) {
    std::string name = std::string(prefix) + std::to_string(n);
    if (find(name) == nullptr) return name;
  }
}

std::vector<const Component*> PageModel::children(std::string_view parent) const {
  std::vector<const Component*> result;
  for (const auto& c : components_) {
    if (c.parent == parent) result.push_back(&c);
  }
  return result;
}

std::vector<const Component*> PageModel::sheets() const {
  std::vector<const Component*> result;
  for (const auto& c : components_) {
    if (c.kind != Kind::Panel || !c.visible) continue;
    const Component* parent = find(c.parent);
    if (parent && parent->kind == Kind::ScrollBox && parent->visible) result.push_back(&c);
  }
  return result;
}

const Component* PageModel::graphicAt(std::string_view sheet, int x, int y) const {
  // The last made is drawn on top.
  for (size_t i = components_.size(); i-- > 0;) {
    const Component& c = components_[i];
    if (c.parent != sheet || !isGraphic(c.kind) || !c.visible || !c.enabled) continue;
    if (x >= c.rect.left && x < c.rect.right() && y >= c.rect.top && y < c.rect.bottom()) return &c;
  }
  return nullptr;
}

void PageModel::sizeLabels(const TextMetrics& metrics) {
  for (auto& c : components_) {
    if (c.kind == Kind::Label && c.autoSize) setText(c.name, c.caption, metrics);
  }
}

void PageModel::setText(std::string_view name, std::string text, const TextMetrics& metrics) {
  Component& c = at(name);
  c.caption = std::move(text);
  if (c.autoSize) {
    c.rect.width = metrics.textWidth(c.font, c.caption);
    c.rect.height = metrics.lineHeight(c.font);
  }
}

void PageModel::centreOver(std::string_view label, std::string_view line) {
  const Rect& l = at(line).rect;
  Component& c = at(label);
  c.rect.left = l.left + (l.width - c.rect.width) / 2;
}

void PageModel::centreOn(std::string_view component, std::string_view sheet) {
  Component& c = at(component);
  c.rect.left = (at(sheet).rect.width - c.rect.width) / 2;
}

namespace {

// A prefix of text at most `bytes` long that ends on a character boundary.
std::string_view utf8Prefix(std::string_view text, size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

}  // namespace

std::string richTextShown(std::string_view text, size_t limit) {
  size_t units = 0, cut = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;        // inside a character
    const size_t width = byte >= 0xF0 ? 2 : 1;  // four-byte characters take a surrogate pair
    if (units + width > limit) {
      cut = i;
      break;
    }
    units += width;
  }
  if (cut == text.size()) return std::string(text);
  size_t left = 0;
  for (size_t i = cut; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++left;
  }
  return std::string(text.substr(0, cut)) + "\n……（以下" + std::to_string(left) + "字未显示）";
}

void PageModel::markOverflows(const TextMetrics& metrics) {
  // A text never needs fewer lines than its beginning does, and 64 KiB of text fill any box
  // a sheet has many times over: measuring that much first keeps a text of megabytes cheap.
  constexpr size_t kMeasuredFirst = size_t{64} << 10;
  for (Component& c : components_) {
    if (c.kind != Kind::RichEdit) continue;
    const int lineHeight = std::max(1, metrics.lineHeight(c.font));
    auto needs = [&](std::string_view text) {
      return static_cast<long long>(metrics.lineCount(c.font, text, c.rect.width)) * lineHeight;
    };
    std::string_view text = c.caption;
    c.overflows = needs(utf8Prefix(text, kMeasuredFirst)) > c.rect.height ||
                  (text.size() > kMeasuredFirst && needs(text) > c.rect.height);
  }
}

}  // namespace risview::model
