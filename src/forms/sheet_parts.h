// Building blocks of the report sheets' form descriptions, so that each sheet reads as one
// row per control: kind, name, place, font, design-time text.
#pragma once

#include <string>

#include "model/form.h"

namespace risview::forms::sheet {

inline constexpr char kSong[] = "宋体";
inline constexpr char kKai[] = "楷体_GB2312";

inline model::Font font(int height, bool bold = false, const char* face = kSong,
                        uint32_t color = 0) {
  return {face, height, bold, color};
}

// An auto-sized label on the sheet. A value label without a design-time size gets the
// height of its font and no width until it has a text.
inline model::ComponentDesc label(std::string name, model::Rect rect, model::Font f,
                                  std::string text = {}, bool visible = true, int tag = 0) {
  if (rect.height == 0) rect.height = f.height;
  return {.name = std::move(name),
          .kind = model::Kind::Label,
          .parent = "Paper",
          .rect = rect,
          .caption = std::move(text),
          .visible = visible,
          .tag = tag,
          .font = std::move(f),
          .autoSize = true};
}

// An underline or rule: a rectangle shape whose pen draws it.
inline model::ComponentDesc line(std::string name, model::Rect rect, int pen = 1,
                                 bool visible = true) {
  return {.name = std::move(name),
          .kind = model::Kind::Shape,
          .parent = "Paper",
          .rect = rect,
          .visible = visible,
          .penWidth = pen};
}

// A borderless edit.
inline model::ComponentDesc edit(std::string name, model::Rect rect, model::Font f,
                                 std::string text = {}, bool visible = true, int tag = 0,
                                 bool enabled = true, bool readOnly = false) {
  return {.name = std::move(name),
          .kind = model::Kind::Edit,
          .parent = "Paper",
          .rect = rect,
          .caption = std::move(text),
          .visible = visible,
          .tag = tag,
          .font = std::move(f),
          .enabled = enabled,
          .readOnly = readOnly};
}

// A borderless rich-text box.
inline model::ComponentDesc richEdit(std::string name, model::Rect rect, model::Font f, int tag = 0,
                                     bool readOnly = false, std::string text = {}) {
  return {.name = std::move(name),
          .kind = model::Kind::RichEdit,
          .parent = "Paper",
          .rect = rect,
          .caption = std::move(text),
          .tag = tag,
          .font = std::move(f),
          .readOnly = readOnly};
}

// A picture control.
inline model::ComponentDesc picture(std::string name, std::string parent, model::Rect rect,
                                    bool visible = true, bool stretch = false,
                                    bool centre = false) {
  return {.name = std::move(name),
          .kind = model::Kind::Image,
          .parent = std::move(parent),
          .rect = rect,
          .visible = visible,
          .stretch = stretch,
          .centerPicture = centre};
}

// The scroll box filling the page window and the white A4 sheet inside it.
inline model::ComponentDesc scrollBox() {
  return {.name = "ScrollBox1",
          .kind = model::Kind::ScrollBox,
          .align = model::Align::Client,
          .color = model::Color::of(model::Color::System::AppWorkspace),
          .scrollRange = {906, 1200}};
}

inline model::ComponentDesc paper(model::Rect rect, model::Font f) {
  return {.name = "Paper",
          .kind = model::Kind::Panel,
          .parent = "ScrollBox1",
          .rect = rect,
          .font = std::move(f),
          .color = model::Color::of(model::Color::System::Window),
          .cursor = model::Cursor::Sheet};
}

}  // namespace risview::forms::sheet
