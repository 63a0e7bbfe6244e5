// Building blocks of the report sheets' form descriptions, so that each sheet reads as one
// row per control: kind, name, place, font, design-time text.
#pragma once

#include <string>

#include "model/form.h"

namespace risview::forms::sheet {

inline constexpr char kSong[] = "宋体";
inline constexpr char kKai[] = "楷体_GB2312";

inline ui::Font font(int height, bool bold = false, const char* face = kSong, uint32_t color = 0) {
  return {face, height, bold, color};
}

// An auto-sized label on the sheet. A value label without a design-time size gets the
// height of its font and no width until it has a text.
inline ui::ComponentDesc label(std::string name, ui::Rect rect, ui::Font f, std::string text = {},
                               bool visible = true, int tag = 0) {
  if (rect.height == 0) rect.height = f.height;
  return {.name = std::move(name),
          .kind = ui::Kind::Label,
          .parent = "Paper",
          .rect = rect,
          .caption = std::move(text),
          .visible = visible,
          .tag = tag,
          .font = std::move(f),
          .autoSize = true};
}

// An underline or rule: a rectangle shape whose pen draws it.
inline ui::ComponentDesc line(std::string name, ui::Rect rect, int pen = 1, bool visible = true) {
  return {.name = std::move(name),
          .kind = ui::Kind::Shape,
          .parent = "Paper",
          .rect = rect,
          .visible = visible,
          .penWidth = pen};
}

// A borderless edit.
inline ui::ComponentDesc edit(std::string name, ui::Rect rect, ui::Font f, std::string text = {},
                              bool visible = true, int tag = 0, bool enabled = true,
                              bool readOnly = false) {
  return {.name = std::move(name),
          .kind = ui::Kind::Edit,
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
inline ui::ComponentDesc richEdit(std::string name, ui::Rect rect, ui::Font f, int tag = 0,
                                  bool readOnly = false, std::string text = {}) {
  return {.name = std::move(name),
          .kind = ui::Kind::RichEdit,
          .parent = "Paper",
          .rect = rect,
          .caption = std::move(text),
          .tag = tag,
          .font = std::move(f),
          .readOnly = readOnly};
}

// A picture control.
inline ui::ComponentDesc picture(std::string name, std::string parent, ui::Rect rect,
                                 bool visible = true, bool stretch = false, bool centre = false) {
  return {.name = std::move(name),
          .kind = ui::Kind::Image,
          .parent = std::move(parent),
          .rect = rect,
          .visible = visible,
          .stretch = stretch,
          .centerPicture = centre};
}

// The scroll box filling the page window and the white A4 sheet inside it.
inline ui::ComponentDesc scrollBox() {
  return {.name = "ScrollBox1",
          .kind = ui::Kind::ScrollBox,
          .align = ui::Align::Client,
          .color = ui::Color::of(ui::Color::System::AppWorkspace),
          .scrollRange = {906, 1200}};
}

inline ui::ComponentDesc paper(ui::Rect rect, ui::Font f) {
  return {.name = "Paper",
          .kind = ui::Kind::Panel,
          .parent = "ScrollBox1",
          .rect = rect,
          .font = std::move(f),
          .color = ui::Color::of(ui::Color::System::Window),
          .cursor = ui::Cursor::Sheet};
}

}  // namespace risview::forms::sheet
