// Forms as data: every window is described by its components (names, kinds, pixel
// positions, fonts, captions, visibility, Tag), and the layout of aligned components
// is computed here, without windows, so that tests can assert it as numbers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace risview::model {

enum class Kind {
  Panel,
  Button,
  ListView,
  Label,
  Edit,
  RichEdit,
  Shape,
  Image,
  ScrollBox,
  TabControl,
  ToolBar,
  ToolButton,  // a button of the tool bar it names as parent; not a window of its own
  ProgressBar,
  ComboBox,  // a drop-down list
  CheckBox
};
enum class Align { None, Top, Bottom, Left, Right, Client };
enum class TextAlign { Left, Center, Right };

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

struct Font {
  std::string face;
  int height = 0;  // character height in pixels
  bool bold = false;
  uint32_t color = 0;  // 0x00BBGGRR
  bool operator==(const Font&) const = default;
};

// Colours: an RGB value, one of the system's colours, or the parent's.
struct Color {
  enum class System { Rgb, ParentColor, Window, ButtonFace, AppWorkspace, WindowText };
  uint32_t rgb = 0;  // 0x00BBGGRR, with System::Rgb
  System system = System::ParentColor;
  static Color fromRgb(uint8_t r, uint8_t g, uint8_t b) {
    return {uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16, System::Rgb};
  }
  static Color of(System s) { return {0, s}; }
};

enum class Cursor { Default, Sheet, HandPoint };

struct ScrollRange {
  int horizontal = 0, vertical = 0;
  bool operator==(const ScrollRange&) const = default;
};

// A piece of a text compared with the same text of an earlier edition.
struct TextChange {
  enum class Kind { Same, Inserted, Removed };
  Kind kind = Kind::Same;
  std::string text;
  bool operator==(const TextChange&) const = default;
};

struct ListColumn {
  std::string caption;
  int width = 0;
  TextAlign align = TextAlign::Left;
};

// Anchors of a component to its parent's edges (the right and bottom ones move it along
// when the parent grows).
struct Anchors {
  bool right = false, bottom = false;
};

struct ComponentDesc {
  std::string name;
  Kind kind = Kind::Label;
  std::string parent;  // empty: the form itself
  Align align = Align::None;
  Rect rect;  // for aligned components only the size across the edge counts
  std::string caption;
  bool visible = true;
  int tag = 0;
  Font font;  // empty face: the parent's font
  Anchors anchors;
  bool flat = false;
  bool raisedInnerLoweredOuterBevel = false;
  Color color = Color::of(Color::System::ParentColor);
  std::vector<ListColumn> columns;  // list views

  // Report sheets.
  bool enabled = true;
  bool readOnly = false;  // edits and rich-text boxes
  bool border = false;    // edits and rich-text boxes; the sheets' have none
  bool autoSize = false;  // labels: width and height follow the text
  bool transparent = false;
  int penWidth = 1;      // shapes
  bool stretch = false;  // pictures: drawn at the control's size
  bool centerPicture = false;
  Cursor cursor = Cursor::Default;
  ScrollRange scrollRange;  // scroll boxes
  bool overflows = false;   // rich-text boxes: the text needs more lines than the box shows
  // Rich-text boxes, when an edition is shown with its changes: the text as it reads now
  // and what the edition before it had, piece by piece (the caption stays the text now).
  std::vector<TextChange> changes;
  // Pictures: the file shown, with its natural size from the file's header. The pixels are
  // decoded where the picture is drawn, at the size it is drawn.
  std::string file;
  int pictureWidth = 0, pictureHeight = 0;

  // Tool buttons.
  std::string hint;
  int imageIndex = -1;
};

// Designed: at the top left of the screen; ScreenCenter: centred; Bounds: the window's own
// rectangle (frame included) is the description's bounds.
enum class Position { Designed, ScreenCenter, Bounds };

struct FormDesc {
  std::string name;       // instance name, e.g. "frmShowDetail"
  std::string className;  // the window class, e.g. "TfrmShowDetail"
  std::string caption;
  int clientWidth = 0, clientHeight = 0;
  Font font;
  Color color = Color::of(Color::System::ButtonFace);
  bool sizeable = false;
  Position position = Position::Designed;
  Rect bounds;  // with Position::Bounds
  std::vector<ComponentDesc> components;

  const ComponentDesc& component(const std::string& name) const;
};

// The rectangle of every component in its parent's client coordinates, after alignment:
// components aligned to an edge take the full width (or height) of what is left of the
// parent, in the order they are described; a client-aligned one takes the rest. The form's
// client size is the described one unless another is given. The key "" holds what is left
// of the form's own client area.
std::map<std::string, Rect> layout(const FormDesc& form, int clientWidth = -1,
                                   int clientHeight = -1);

// The rectangle of the form itself for a screen of the given size, from its client size
// and the frame sizes the platform reports.
Rect placeWindow(const FormDesc& form, int screenWidth, int screenHeight, int frameWidth,
                 int frameHeight);

}  // namespace risview::model
