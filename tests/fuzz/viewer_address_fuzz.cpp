// The open action's texts: the viewer address is its five parts joined as they stand, and
// the study statement holds the patient and accession numbers as two literals, so that no
// value of the list can end its literal or bring in a parameter.
#include <string>
#include <vector>

#include "data/database.h"
#include "fuzz/fuzz.h"
#include "list/open_action.h"

namespace {

using risview::fuzz::check;

// The contents of every apostrophe literal of a statement, in order.
std::vector<std::string> literals(std::string_view sql) {
  std::vector<std::string> found;
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] != '\'') continue;
    std::string text;
    for (++i; i < sql.size(); ++i) {
      if (sql[i] == '\'') {
        if (i + 1 < sql.size() && sql[i + 1] == '\'') {
          text += '\'';
          ++i;
          continue;
        }
        break;
      }
      text += sql[i];
    }
    found.push_back(text);
  }
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  risview::fuzz::Input in(data, size);
  const std::string_view url = in.text(), studies = in.text(), user = in.text();
  const std::string_view password = in.text();
  const std::string input(reinterpret_cast<const char*>(data), size);

  const std::string address = risview::list::viewerAddress(url, studies, user, password);
  check(address.size() == url.size() + studies.size() + user.size() + password.size() + 16 &&
            address.starts_with(std::string(url) + std::string(studies) + "&User=") &&
            address.ends_with("&Password=" + std::string(password)),
        "the address is its parts joined", input);

  // The list's columns: the patient number and the untrimmed accession number.
  const std::string_view patient = studies, accession = password;
  const std::string statement = risview::list::studyStatement(patient, accession);
  check(statement.starts_with("select study1.study_uid from study1  left join patient1 on "
                              "patient1.ptn_id_id = study1.ptn_id_id  where patient1.ptn_id = '"),
        "the study statement", input);
  check(risview::data::prepareNamedParameters(statement).names.empty(),
        "no value brings in a parameter", input);
  check(
      literals(statement) == std::vector<std::string>{std::string(patient), std::string(accession)},
      "the two values stay two literals", input);
  return 0;
}
