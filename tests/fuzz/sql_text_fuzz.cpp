// Statement texts: the ":name" to "?" rewriting changes nothing but the markers, and a value
// put between apostrophes stays one literal wherever it is spliced, so no value can end
// the literal early or bring in a parameter of its own.
#include <algorithm>
#include <string>

#include "data/database.h"
#include "fuzz/fuzz.h"

namespace {

using risview::fuzz::check;

// The literal's contents: between its apostrophes, each doubled one read once.
std::string unquoted(std::string_view literal) {
  std::string out;
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    out += literal[i];
    if (literal[i] == '\'') ++i;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  risview::fuzz::Input in(data, size);
  const std::string_view sql = in.text();
  const std::string_view value = in.rest();

  const risview::data::PreparedText prepared = risview::data::prepareNamedParameters(sql);
  size_t namesLength = 0;
  for (const auto& name : prepared.names) {
    check(!name.empty() && name.find_first_of(" '\":?") == std::string::npos,
          "a parameter name is a name", sql);
    namesLength += name.size() + 1;
  }
  check(prepared.sql.size() == sql.size() - namesLength + prepared.names.size(),
        "only the markers are rewritten", sql);
  check(std::count(prepared.sql.begin(), prepared.sql.end(), '?') ==
            std::count(sql.begin(), sql.end(), '?') + std::ptrdiff_t(prepared.names.size()),
        "each marker becomes one ?", sql);
  const auto again = risview::data::prepareNamedParameters(prepared.sql);
  check(again.sql == prepared.sql && again.names.empty(), "a rewritten text has no markers", sql);

  const std::string literal = risview::data::quoted(value);
  check(literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'' &&
            unquoted(literal) == value,
        "a quoted value reads back", value);
  const std::string statement =
      "select a from t where b = " + literal + " and c = :pRequisitionID or d = " + literal;
  const auto spliced = risview::data::prepareNamedParameters(statement);
  check(spliced.names.size() == 1 && spliced.names[0] == "pRequisitionID" &&
            spliced.sql == "select a from t where b = " + literal + " and c = ? or d = " + literal,
        "a quoted value stays one literal", value);
  return 0;
}
