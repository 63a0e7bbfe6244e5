// A report page as a model: the components of its form description, with every position,
// size, text and state that construction gives them, and the components created at run
// time. Pages are built on this model only; the window layer realises it and the dump tool
// prints it, so both see the same numbers.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/form.h"

namespace risview::model {

// How wide a text is drawn, as the platform measures it.
class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  // Width and height of one line of text in the font (height: the font's line height).
  virtual int textWidth(const Font& font, std::string_view text) const = 0;
  virtual int lineHeight(const Font& font) const = 0;
  // Lines a rich-text box of the given width shows for text: breaks at line ends and wraps
  // at the width; an empty last line does not count.
  virtual int lineCount(const Font& font, std::string_view text, int width) const = 0;
};

// Fixed metrics, the same on every machine: a character below U+0080 is half the font's
// pixel height wide (truncated), any other the full height; a line is as high as the font.
class FixedTextMetrics : public TextMetrics {
 public:
  int textWidth(const Font& font, std::string_view text) const override;
  int lineHeight(const Font& font) const override { return font.height; }
  int lineCount(const Font& font, std::string_view text, int width) const override;
};

using Component = ComponentDesc;

// Labels, shapes and pictures have no window of their own: their sheet draws them, in
// creation order, below the sheet's windowed controls.
inline bool isGraphic(Kind kind) {
  return kind == Kind::Label || kind == Kind::Shape || kind == Kind::Image;
}

// What a rich-text box window is given of its text: the whole text up to the limit (in
// UTF-16 units, so no text of a megabyte or less in any encoding is ever cut), else its
// beginning and a last line that says how many characters are not shown. The model and the
// dump keep the whole text.
inline constexpr size_t kRichTextShownLimit = size_t{1} << 20;
std::string richTextShown(std::string_view text, size_t limit = kRichTextShownLimit);

class PageModel {
 public:
  // The components of the form, fonts resolved (an empty face takes the parent's font).
  explicit PageModel(const FormDesc& form);
  // The name index points into the components: a copy would point into the original.
  PageModel(const PageModel&) = delete;
  PageModel& operator=(const PageModel&) = delete;

  const FormDesc& form() const { return *form_; }

  // Throws std::out_of_range naming the component when the page has none of that name.
  Component& at(std::string_view name);
  const Component& at(std::string_view name) const;
  Component* find(std::string_view name);
  const Component* find(std::string_view name) const;

  // Appends a component created at run time (creation order is kept); its font is
  // resolved against its parent when it has none. The reference stays valid until the
  // component is removed.
  Component& create(Component component);
  // Removes a component and its children; nothing when there is none of that name.
  void remove(std::string_view name);
  // A name no component has yet, from a prefix ("Image" gives "Image1", "Image2", ...).
  std::string uniqueName(std::string_view prefix) const;

  // Every component in creation order (the form's first).
  const std::deque<Component>& components() const { return components_; }
  std::vector<const Component*> children(std::string_view parent) const;
  // The shown sheets in the order they are read: the panels of the scroll boxes (the first
  // sheet, then its continuation sheets).
  std::vector<const Component*> sheets() const;
  // The graphic component drawn topmost at a point of a sheet (design pixels of the sheet):
  // a visible, enabled one, which takes the mouse there instead of the sheet.
  const Component* graphicAt(std::string_view sheet, int x, int y) const;

  // Gives every auto-sized label the size of its design-time text, as the platform draws it.
  void sizeLabels(const TextMetrics& metrics);
  // A label's text; an auto-sized label takes the width and height of its text.
  void setText(std::string_view name, std::string text, const TextMetrics& metrics);
  // Puts a label in the middle of a line: left = line left + (line width - label width) / 2,
  // truncated toward zero, so a label wider than its line starts left of it.
  void centreOver(std::string_view label, std::string_view line);
  // Centres a component on its sheet: left = (sheet width - width) / 2, truncated.
  void centreOn(std::string_view component, std::string_view sheet);
  // Marks every rich-text box whose text needs more lines than its height holds; the box
  // then shows a scroll bar instead of hiding the rest of the text.
  void markOverflows(const TextMetrics& metrics);
  void show(std::string_view name) { at(name).visible = true; }
  void hide(std::string_view name) { at(name).visible = false; }

 private:
  Font resolvedFont(const Component& c) const;

  const FormDesc* form_;
  std::deque<Component> components_;  // a deque: creating one moves no other
  // Components by name, for the lookups every construction step makes.
  std::unordered_map<std::string, Component*> byName_;
  // The number uniqueName tries first for each prefix: numbers below it are taken.
  mutable std::map<std::string, int, std::less<>> nextNumber_;
};

}  // namespace risview::model
