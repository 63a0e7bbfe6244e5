// The signature block at the foot of a report page: who wrote and audited the report, when,
// and on a revised edition who revised it and when. Nothing of it is stored with the report;
// it is read from the request's action log each time a page is built.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "content/page_kind.h"
#include "data/database.h"
#include "platform/services.h"

namespace risview::content {

struct Signatures {
  // Endoscopy pages list every non-revision action here, newest row first, blank-separated;
  // the other pages list the report writers, "/"-separated in row order.
  std::string reportPhysicians;
  std::string auditPhysicians;  // general and nuclear-medicine pages
  std::string reportDate;       // general and nuclear-medicine pages; the last writer's date
  std::string technicians;      // general page only, "/"-separated
  // On any edition but the first the revision labels show, even with no revision on record.
  bool revisionVisible = false;
  std::string revisionUser;
  std::string revisionDate;

  bool operator==(const Signatures&) const = default;
};

enum class SignatureOutcome {
  Finished,
  // A query could not be opened where the page may still be shown: the page ends its
  // building here and keeps what it has, these fields included.
  Stopped,
  // The page cannot be shown: the endoscopy action query failed to open, or a row could not
  // be read (a missing column, an action time that makes no time of day).
  Failed,
};

struct SignatureResult {
  SignatureOutcome outcome = SignatureOutcome::Finished;
  Signatures fields;
};

// Reads the signature block of one page of the request's report through query (on the page's
// connection; left closed). editOrder is the page's edition: the revision of that edition is
// looked up unless it is 0. emergency matters on the general page only, where an emergency
// report's date carries the time of writing; the nuclear-medicine date always does. Times
// are written with locale.shortTime. Never throws for a database or conversion error.
SignatureResult FillSignatures(PageKind kind, data::Query& query, std::string_view requisitionId,
                               int32_t editOrder, bool emergency, const Locale& locale);

}  // namespace risview::content
