#include "model/text_changes.h"

#include <dtl/dtl.hpp>

#include <utility>

#include "platform/text.h"

namespace risview::model {

std::vector<TextChange> compareTexts(std::string_view before, std::string_view now) {
  const std::u32string a = utf8ToUtf32(before), b = utf8ToUtf32(now);
  // The comparison's time grows with the length times the differences: 20,000 characters
  // rewritten take half a second. A text past the limit is marked as replaced whole.
  if (a.size() > kComparedLength || b.size() > kComparedLength) {
    std::vector<TextChange> whole;
    if (before == now) {
      whole.push_back({TextChange::Kind::Same, std::string(now)});
    } else {
      if (!before.empty()) whole.push_back({TextChange::Kind::Removed, std::string(before)});
      if (!now.empty()) whole.push_back({TextChange::Kind::Inserted, std::string(now)});
    }
    return whole;
  }
  dtl::Diff<char32_t, std::u32string> diff(a, b);
  diff.compose();
  std::vector<TextChange> out;
  auto add = [&](TextChange::Kind kind, char32_t ch) {
    if (out.empty() || out.back().kind != kind) out.push_back({kind, {}});
    appendUtf8(out.back().text, ch);
  };
  const auto& sequence = diff.getSes().getSequence();
  for (const auto& [ch, info] : sequence) {
    switch (info.type) {
      case dtl::SES_COMMON:
        add(TextChange::Kind::Same, ch);
        break;
      case dtl::SES_ADD:
        add(TextChange::Kind::Inserted, ch);
        break;
      case dtl::SES_DELETE:
        add(TextChange::Kind::Removed, ch);
        break;
    }
  }
  // Where text was replaced, what went stands before what came, whichever order the
  // comparison found them in; neighbours of one kind are then joined.
  for (bool moved = true; moved;) {
    moved = false;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
      if (out[i].kind == TextChange::Kind::Inserted &&
          out[i + 1].kind == TextChange::Kind::Removed) {
        std::swap(out[i], out[i + 1]);
        moved = true;
      }
    }
  }
  std::vector<TextChange> joined;
  for (TextChange& piece : out) {
    if (!joined.empty() && joined.back().kind == piece.kind) {
      joined.back().text += piece.text;
    } else {
      joined.push_back(std::move(piece));
    }
  }
  return joined;
}

void markChanges(PageModel& page, const PageModel* before) {
  for (const Component& c : page.components()) {
    if (c.kind != Kind::RichEdit) continue;
    const Component* was = before ? before->find(c.name) : nullptr;
    page.at(c.name).changes = compareTexts(was ? was->caption : std::string(), c.caption);
  }
}

std::string describeChanges(const std::vector<TextChange>& changes) {
  std::string out;
  for (const TextChange& piece : changes) {
    switch (piece.kind) {
      case TextChange::Kind::Same:
        out += piece.text;
        break;
      case TextChange::Kind::Inserted:
        out += "[+" + piece.text + "]";
        break;
      case TextChange::Kind::Removed:
        out += "[-" + piece.text + "]";
        break;
    }
  }
  return out;
}

}  // namespace risview::model
