#include "list/open_action.h"

namespace risview::list {

namespace {

constexpr char kArchiveClosed[] = "DICOM数据库连接失败!";

void closeViewerWindows(ViewerPlatform& platform, DebugOutput& debug,
                        const std::atomic<bool>* stop) {
  WindowRef viewer = platform.findTopLevelWindow(kViewerWindowClass);
  debug.write(platform.lastErrorText());
  for (int round = 0; viewer != 0; ++round) {
    if (stop && *stop) return;
    if (round == kViewerCloseRounds) {
      // The old studies may stay on screen beside the new ones; the report still opens.
      debug.write(std::string(kViewerWindowClass) + "窗口" + std::to_string(kViewerCloseRounds) +
                  "次关闭请求后仍未关闭，继续打开");
      return;
    }
    if (!platform.sendClose(viewer, kViewerCloseTimeoutMs)) debug.write(platform.lastErrorText());
    viewer = platform.findTopLevelWindow(kViewerWindowClass);
    debug.write(platform.lastErrorText());
    platform.sleep(kViewerCloseWaitMs);
    platform.pumpMessages();
  }
}

// On a terminal server every user's browsers show in the snapshot; only the caller's own are
// in the way of the viewer. A process whose session is not known is left alone.
bool inCurrentSession(ViewerPlatform& platform, DebugOutput& debug, std::optional<uint32_t> current,
                      uint32_t processId) {
  if (!current) return false;
  std::optional<uint32_t> session = platform.sessionOf(processId);
  if (!session) debug.write(platform.lastErrorText());
  return session == current;
}

bool endBrowsers(ViewerPlatform& platform, DebugOutput& debug, int& ended) {
  auto processes = platform.processes();
  if (!processes) return false;
  std::optional<uint32_t> current = platform.currentSession();
  if (!current) debug.write(platform.lastErrorText());
  for (const ProcessEntry& process : *processes) {
    if (process.exeName != kBrowserExeName) continue;
    if (!inCurrentSession(platform, debug, current, process.id)) continue;
    std::unique_ptr<ProcessHandle> handle = platform.openProcess(process.id);
    debug.write(platform.lastErrorText());
    // A browser that cannot be opened cannot be ended either; the launch goes on.
    if (!handle) continue;
    if (handle->terminate(0)) ++ended;
    debug.write(platform.lastErrorText());
  }
  return true;
}

}  // namespace

std::string studyStatement(std::string_view patientID, std::string_view accessionNumber) {
  return "select study1.study_uid from study1  left join patient1 on patient1.ptn_id_id = "
         "study1.ptn_id_id  where patient1.ptn_id = " +
         data::quoted(patientID) + " and accession_number = " + data::quoted(accessionNumber);
}

std::string studyList(data::Query& studies) {
  std::string list;
  for (; !studies.eof(); studies.next()) list += studies.field("study_uid").asString() + ',';
  if (!list.empty()) list.pop_back();  // the comma after the last study
  return list;
}

std::string viewerAddress(std::string_view webUrl, std::string_view studies, std::string_view user,
                          std::string_view password) {
  std::string address(webUrl);
  address.append(studies).append("&").append("User=").append(user);
  address.append("&Password=").append(password);
  return address;
}

std::optional<int> rowToOpen(std::optional<int> selected, const data::Query& listQuery) {
  if (selected) return selected;
  if (listQuery.recordCount() <= 0) return std::nullopt;
  return 0;
}

bool launchViewer(ViewerPlatform& platform, DebugOutput& debug, std::string_view address,
                  const std::atomic<bool>* stop, LaunchOutcome* outcome) {
  LaunchOutcome ignored;
  LaunchOutcome& out = outcome ? *outcome : ignored;
  closeViewerWindows(platform, debug, stop);
  if (stop && *stop) return false;
  if (!endBrowsers(platform, debug, out.browsersEnded)) return false;
  out.shellResult = platform.shellExecute("open", address, kShellShowHidden);
  return true;
}

bool openStudies(data::TdmRIS& dm, const Services& services, ViewerPlatform& platform,
                 std::string_view patientID, std::string_view accessionNumber, WindowRef owner) {
  // Only an announcement: opening the study query reconnects on its own, and fails with
  // the database's own error when it cannot.
  if (!dm.conDICOM.connected()) {
    services.boxes.show(kArchiveClosed, services.applicationTitle, mb::kOk, owner);
  }
  data::Query& q = dm.qryDicom;
  q.close();
  q.setSql(studyStatement(patientID, accessionNumber));
  q.open();
  std::string studies = studyList(q);
  if (studies.empty()) return false;
  const std::string address = viewerAddress(dm.FWebURL, studies, dm.FWebUser, dm.FWebPassword);
  // Other programs are waited on away from the host's thread; a close of the run stops the
  // close requests at the next round.
  std::atomic<bool> stop{false};
  LoggedStep logged(services, "viewer launch");
  LaunchOutcome outcome;
  bool launched = waitsOf(services).run(
      [&] { return launchViewer(platform, services.debug, address, &stop, &outcome); },
      [&] { stop = true; });
  // The address holds the viewer's login and the studies: neither goes in the log.
  logged.done(std::to_string(outcome.browsersEnded) + " browser processes ended, " +
              (outcome.shellResult ? "shell result " + std::to_string(*outcome.shellResult)
                                   : std::string("not handed to the shell")));
  return launched;
}

}  // namespace risview::list
