#include "ui/sheet_paint_win.h"

#include <algorithm>

#include "pictures/picture_win.h"

namespace risview::ui {

using namespace model;

namespace {

void drawText(const SheetCanvas& canvas, const Component& c, const RECT& r, UINT format,
              const std::wstring& text) {
  if (text.empty()) return;
  const HGDIOBJ previous = SelectObject(canvas.dc, canvas.fonts->get(c.font, canvas.scale));
  SetTextColor(canvas.dc, c.font.color);
  SetBkMode(canvas.dc, TRANSPARENT);
  RECT box = r;
  DrawTextW(canvas.dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_NOPREFIX);
  SelectObject(canvas.dc, previous);
}

// A report text with what a revision changed, as its box shows it: the pieces one after
// another, wrapped at the box's width character by character, inserted ones underlined and
// removed ones struck through in their colours; what does not fit below the box is cut.
void drawChanges(const SheetCanvas& canvas, const Component& c, const RECT& r) {
  const HFONT plain = canvas.fonts->get(c.font, canvas.scale);
  LOGFONTW logical{};
  GetObjectW(plain, sizeof logical, &logical);
  logical.lfUnderline = TRUE;
  win::unique_font underlined(win::counted(CreateFontIndirectW(&logical)));
  logical.lfUnderline = FALSE;
  logical.lfStrikeOut = TRUE;
  win::unique_font struck(win::counted(CreateFontIndirectW(&logical)));
  const HGDIOBJ previous = SelectObject(canvas.dc, plain);
  TEXTMETRICW metrics{};
  GetTextMetricsW(canvas.dc, &metrics);
  const int saved = SaveDC(canvas.dc);
  IntersectClipRect(canvas.dc, r.left, r.top, r.right, r.bottom);
  SetBkMode(canvas.dc, TRANSPARENT);
  int x = r.left, y = r.top;
  for (const TextChange& piece : c.changes) {
    const bool inserted = piece.kind == TextChange::Kind::Inserted;
    const bool removed = piece.kind == TextChange::Kind::Removed;
    SelectObject(canvas.dc, inserted ? underlined.get() : removed ? struck.get() : plain);
    SetTextColor(canvas.dc, inserted  ? kInsertedColor
                            : removed ? kRemovedColor
                                      : static_cast<COLORREF>(c.font.color));
    const std::wstring text = win::widen(piece.text);
    for (size_t i = 0; i < text.size() && y < r.bottom; ++i) {
      if (text[i] == L'\r') continue;
      if (text[i] == L'\n') {
        x = r.left, y += metrics.tmHeight;
        continue;
      }
      SIZE size{};
      GetTextExtentPoint32W(canvas.dc, &text[i], 1, &size);
      if (x > r.left && x + size.cx > r.right) x = r.left, y += metrics.tmHeight;
      TextOutW(canvas.dc, x, y, &text[i], 1);
      x += size.cx;
    }
  }
  RestoreDC(canvas.dc, saved);
  SelectObject(canvas.dc, previous);
}

// A rectangle drawn with the shape's pen inside its bounds (the sheets' shapes are lines):
// the design's rectangle, pen inside the frame, scaled as a whole.
void drawShape(const SheetCanvas& canvas, const Component& c, const RECT& r) {
  const int pen = c.penWidth;
  const int inset = pen / 2;
  int w = c.rect.width - pen + 1, h = c.rect.height - pen + 1;
  if (pen == 0) --w, --h;
  const Rect design{c.rect.left + inset, c.rect.top + inset, w, h};
  const Rect shown = canvas.scale(design);
  const int scaledPen = pen > 0 ? std::max(1, canvas.scale(pen)) : 0;
  win::unique_pen hpen(win::counted(
      CreatePen(pen > 0 ? PS_SOLID | PS_INSIDEFRAME : PS_NULL, scaledPen, RGB(0, 0, 0))));
  const HGDIOBJ oldPen = SelectObject(canvas.dc, hpen.get());
  const HGDIOBJ oldBrush = SelectObject(canvas.dc, GetStockObject(WHITE_BRUSH));
  const int saved = SaveDC(canvas.dc);
  IntersectClipRect(canvas.dc, r.left, r.top, r.right, r.bottom);
  Rectangle(canvas.dc, shown.left, shown.top, shown.right(), shown.bottom());
  RestoreDC(canvas.dc, saved);
  SelectObject(canvas.dc, oldBrush);
  SelectObject(canvas.dc, oldPen);
}

}  // namespace

SheetPictures::SheetPictures() = default;
SheetPictures::~SheetPictures() = default;

void SheetPictures::drawPicture(const SheetCanvas& canvas, const Component& c, const RECT& r,
                                COLORREF) {
  if (c.file.empty()) return;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (c.stretch) {
    if (const pictures::PictureImage* image = picture(c, width, height)) {
      image->draw(canvas.dc, r, true);
    }
    return;
  }
  // At its natural size, cut off at its box: what the box shows of it is decoded at the
  // design size and drawn scaled with the sheet.
  const pictures::PictureImage* image = picture(c, c.rect.width, c.rect.height);
  if (!image) return;
  const RECT whole{r.left, r.top, r.left + canvas.scale(c.pictureWidth),
                   r.top + canvas.scale(c.pictureHeight)};
  const int saved = SaveDC(canvas.dc);
  IntersectClipRect(canvas.dc, r.left, r.top, r.right, r.bottom);
  image->draw(canvas.dc, whole, true);
  RestoreDC(canvas.dc, saved);
}

const pictures::PictureImage* SheetPictures::picture(const Component& c, int width, int height) {
  Entry& e = entries_[&c];
  if (e.width != width || e.height != height) {
    e.width = width, e.height = height;
    e.image.reset();
    ++decodes_;
    try {
      e.image = pictures::PictureImage::load(win::widen(c.file), pictures::pictureTypeOf(c.file),
                                             width, height, c.stretch);
    } catch (const std::exception&) {
      // Left blank, as a picture that cannot be read is everywhere on the sheets.
    }
  }
  return e.image.get();
}

COLORREF sheetColorOf(const PageModel& model, const Component& c) {
  const Component* sheet = model.find(c.parent);
  return sheet ? colorOf(sheet->color, GetSysColor(COLOR_WINDOW)) : GetSysColor(COLOR_WINDOW);
}

void paintSheet(const PageModel& model, const Component& sheet, const SheetCanvas& canvas) {
  const COLORREF paper = colorOf(sheet.color, GetSysColor(COLOR_WINDOW));
  fillRect(canvas.dc, canvas.clip, paper);
  for (const Component* c : model.children(sheet.name)) {
    const bool edit = c->kind == Kind::Edit || c->kind == Kind::RichEdit;
    if (!c->visible || !(isGraphic(c->kind) || (edit && canvas.withEdits))) continue;
    const RECT r = toRect(canvas.scale(c->rect));
    RECT shown;
    if (!IntersectRect(&shown, &r, &canvas.clip)) continue;
    switch (c->kind) {
      case Kind::Label:
        if (!c->transparent) fillRect(canvas.dc, r, colorOf(c->color, paper));
        // An auto-sized label is as large as its text at design size; a scaled font may
        // come out a pixel wider, which is drawn rather than cut.
        drawText(canvas, *c, r, DT_LEFT | DT_EXPANDTABS | (c->autoSize ? DT_NOCLIP : 0),
                 win::widen(c->caption));
        break;
      case Kind::Edit:
        // One line from the left, cut off at the box, on the edit's colour.
        fillRect(canvas.dc, r, colorOf(c->color, paper));
        drawText(canvas, *c, r, DT_LEFT | DT_SINGLELINE, win::widen(c->caption));
        break;
      case Kind::RichEdit:
        // Wrapped at words as the box wraps it, what fits; the box's own background.
        fillRect(canvas.dc, r, GetSysColor(COLOR_WINDOW));
        if (!c->changes.empty()) {
          drawChanges(canvas, *c, r);
          break;
        }
        drawText(canvas, *c, r, DT_LEFT | DT_WORDBREAK | DT_EDITCONTROL | DT_EXPANDTABS,
                 win::widen(richTextShown(c->caption)));
        break;
      case Kind::Shape:
        drawShape(canvas, *c, r);
        break;
      case Kind::Image:
        fillRect(canvas.dc, r, paper);
        if (!c->file.empty()) canvas.pictures->drawPicture(canvas, *c, r, paper);
        break;
      default:
        break;
    }
  }
}

}  // namespace risview::ui
