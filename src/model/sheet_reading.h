// What a sheet tells those who cannot see it, and what it gives as text: its visible
// components as a screen reader lists them (labels, pictures, edits and rich-text boxes in
// creation order, underlines left out as decoration), and its texts in reading order, as the
// clipboard gets them. Decided here from the page model; the window layer only passes it on.
#pragma once

#include <string>
#include <vector>

#include "model/page_model.h"

namespace risview::model {

enum class ReadRole { Text, Graphic, Edit };

struct ReadableItem {
  const Component* component = nullptr;
  ReadRole role = ReadRole::Text;
  // A label's text, an edit's or rich-text box's text, a picture's caption or its number.
  std::string name;
};

// The sheet's components a reader meets, in creation order: visible labels with a text,
// visible pictures of a file, visible edits and rich-text boxes.
std::vector<ReadableItem> readableItems(const PageModel& model, const Component& sheet);

// The caption a page gives a picture (the label it stands on), or "图像 N", N its number
// among the page's pictures.
std::string pictureName(const PageModel& model, const Component& picture);

// The sheet's texts in reading order: top to bottom, then left to right along a line, a
// line of the sheet a line of text, the texts of one line two blanks apart. A component
// belongs to a line when its top lies above the middle of every component already on it, so
// a value a pixel higher or lower than its caption stays with it, and a tall box beside a
// caption does not gather what stands below the caption.
std::string sheetText(const PageModel& model, const Component& sheet);
// Every shown sheet of the page, a blank line between two.
std::string pageText(const PageModel& model);

}  // namespace risview::model
