#include "content/signatures.h"

#include <exception>
#include <optional>

#include "platform/text.h"

namespace risview::content {
namespace {

constexpr std::string_view kActionsWithTime =
    "select RIS_ReportAction.ActionName,RIS_ReportAction.ActionDate,RIS_ReportAction.ActionTime,"
    "UserInfo.UserName                             from RIS_ReportAction,UserInfo where "
    "RIS_ReportAction.RequisitionID=:pRequisitionID                            and "
    "UserInfo.UserID = RIS_ReportAction.UserID";

constexpr std::string_view kActionsWithoutTime =
    "select RIS_ReportAction.ActionName,RIS_ReportAction.ActionDate,UserInfo.UserName        "
    "                      from RIS_ReportAction,UserInfo where "
    "RIS_ReportAction.RequisitionID=:pRequisitionID                             and "
    "UserInfo.UserID = RIS_ReportAction.UserID ";

constexpr std::string_view kTechnicians =
    "select * from TechList where RequisitionID=:pRequisitionID";

constexpr std::string_view kRevision =
    "select RIS_ReportAction.ActionDate,UserInfo.UserName                             from "
    "RIS_ReportAction,UserInfo                            where "
    "RIS_ReportAction.RequisitionID=:pRequisitionID                            and "
    "RIS_ReportAction.ActionName = 4                            and "
    "RIS_ReportAction.ActionNum  =:pActionNum                            and UserInfo.UserID = "
    "RIS_ReportAction.UserID";

enum class Names {
  WritersAndAuditors,         // "1" writes, "2" audits, the rest is ignored
  AllButRevisionsNewestFirst  // everything but "4" counts as a writer
};
enum class ReportTime { None, OnEmergency, Always };

// What sets the three pages' signature blocks apart.
struct Variant {
  std::string_view actions;
  Names names;
  ReportTime reportTime;
  bool technicians;
  SignatureOutcome actionsUnavailable;
};

constexpr Variant kGeneral = {kActionsWithTime, Names::WritersAndAuditors, ReportTime::OnEmergency,
                              true, SignatureOutcome::Stopped};
constexpr Variant kNuclearMedicine = {kActionsWithTime, Names::WritersAndAuditors,
                                      ReportTime::Always, false, SignatureOutcome::Stopped};
constexpr Variant kEndoscopy = {kActionsWithoutTime, Names::AllButRevisionsNewestFirst,
                                ReportTime::None, false, SignatureOutcome::Failed};

const Variant& variantOf(PageKind kind) {
  switch (kind) {
    case PageKind::NuclearMedicine:
      return kNuclearMedicine;
    case PageKind::Endoscopy:
      return kEndoscopy;
    case PageKind::General:
      break;
  }
  return kGeneral;
}

// Characters pos+1.. of text, at most count of them; empty past the end.
std::string_view cut(std::string_view text, size_t pos, size_t count) {
  return pos < text.size() ? text.substr(pos, count) : std::string_view();
}

// ActionTime is hhmmss; anything that does not give a valid time of day throws.
std::string shortTimeOf(std::string_view actionTime, const Locale& locale) {
  return locale.shortTime(toInt(cut(actionTime, 0, 2)), toInt(cut(actionTime, 2, 2)),
                          toInt(cut(actionTime, 4, 2)));
}

void append(std::string& list, std::string_view name) {
  if (!list.empty()) list += '/';
  list += name;
}

void prepend(std::string& list, std::string_view name) {
  list = list.empty() ? std::string(name) : std::string(name) + " " + list;
}

// Replaces the statement and opens it for the page's request. Only the open is allowed to
// fail quietly; what fails after it is a fault of the page.
bool reopen(data::Query& query, std::string_view statement, std::string_view requisitionId,
            std::optional<int32_t> actionNum = std::nullopt) {
  query.close();
  query.clearSql();
  query.addSql(statement);
  query.setParameter("pRequisitionID", std::string(requisitionId));
  if (actionNum) query.setParameter("pActionNum", int64_t{*actionNum});
  try {
    query.open();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void readActions(const Variant& variant, data::Query& query, bool emergency, const Locale& locale,
                 Signatures& fields) {
  const bool withTime = variant.reportTime == ReportTime::Always ||
                        (variant.reportTime == ReportTime::OnEmergency && emergency);
  for (; !query.eof(); query.next()) {
    const std::string action = query.field("ActionName").asString();
    if (variant.names == Names::AllButRevisionsNewestFirst) {
      if (action != "4") prepend(fields.reportPhysicians, query.field("UserName").asString());
    } else if (action == "1") {
      append(fields.reportPhysicians, query.field("UserName").asString());
      fields.reportDate = query.field("ActionDate").asString();
      if (withTime) {
        fields.reportDate += " " + shortTimeOf(query.field("ActionTime").asString(), locale);
      }
    } else if (action == "2") {
      append(fields.auditPhysicians, query.field("UserName").asString());
    }
  }
}

SignatureOutcome fill(const Variant& variant, data::Query& query, std::string_view requisitionId,
                      int32_t editOrder, bool emergency, const Locale& locale, Signatures& fields) {
  if (!reopen(query, variant.actions, requisitionId)) return variant.actionsUnavailable;
  readActions(variant, query, emergency, locale, fields);

  if (variant.technicians) {
    if (!reopen(query, kTechnicians, requisitionId)) return SignatureOutcome::Stopped;
    for (; !query.eof(); query.next()) {
      append(fields.technicians, query.field("TechName").asString());
    }
  }

  if (editOrder != 0) {
    // The labels are up before the lookup, so a failed lookup still marks the edition as a
    // revision; its fields stay empty rather than showing the form's placeholder text.
    fields.revisionVisible = true;
    if (!reopen(query, kRevision, requisitionId, editOrder)) return SignatureOutcome::Stopped;
    if (!query.eof()) {
      fields.revisionUser = query.field("UserName").asString();
      fields.revisionDate = query.field("ActionDate").asString();
    }
  }
  return SignatureOutcome::Finished;
}

}  // namespace

SignatureResult FillSignatures(PageKind kind, data::Query& query, std::string_view requisitionId,
                               int32_t editOrder, bool emergency, const Locale& locale) {
  SignatureResult result;
  try {
    result.outcome =
        fill(variantOf(kind), query, requisitionId, editOrder, emergency, locale, result.fields);
  } catch (const std::exception&) {
    result.outcome = SignatureOutcome::Failed;
  }
  query.close();
  return result;
}

}  // namespace risview::content
