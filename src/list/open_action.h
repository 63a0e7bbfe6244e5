// The open action of the report list without its window: the study lookup in the image
// archive, then closing the viewer's windows, ending the browsers and opening the web
// viewer on the request's studies. The dialog decides which row, and shows the report
// preview when the viewer was opened.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "data/data_module.h"
#include "platform/services.h"

namespace risview::list {

// The viewer's windows are recognised by their class, whatever their title.
inline constexpr std::string_view kViewerWindowClass = "TViewerForm";
// The browser's executable exactly as a process snapshot reports it; other spellings are
// other programs.
inline constexpr std::string_view kBrowserExeName = "IEXPLORE.EXE";
inline constexpr unsigned kViewerCloseWaitMs = 1000;
// How long one close request may keep this thread: the viewer is another program, and its
// thread may never answer.
inline constexpr unsigned kViewerCloseTimeoutMs = 5000;
// Close requests, one a second, before the launch goes on with the viewer window left open:
// a viewer that never gives in must not keep the report from opening.
inline constexpr int kViewerCloseRounds = 10;
// The shell's show command for the address: hidden (the browser shows its own window).
inline constexpr int kShellShowHidden = 0;

// The study lookup of one request; both values between apostrophes, apostrophes doubled.
std::string studyStatement(std::string_view patientID, std::string_view accessionNumber);

// The study_uid of every row of the open study query, in the order returned, joined by
// commas. Empty when there are no rows.
std::string studyList(data::Query& studies);

// The address the shell opens: the prefix from the option file carries everything up to
// the viewer's parameter for the study list; nothing is escaped.
std::string viewerAddress(std::string_view webUrl, std::string_view studies, std::string_view user,
                          std::string_view password);

// The list row to open: the selected one, else the first when the list query has rows;
// nullopt when there is nothing to open. Throws DatabaseError when the list query never
// opened (its statement failed when the list was filled).
std::optional<int> rowToOpen(std::optional<int> selected, const data::Query& listQuery);

// Closes the viewer's windows, one close request and one second at a time, for as long as
// one is left but at most kViewerCloseRounds times; ends every browser process of the
// caller's own session; then hands the address to the shell. The platform's last-error text
// goes to the debugger output after each look for a window, after a close request that got
// no answer, and after each open and end of a process. Returns false, with the address not
// opened, when the system gives no process snapshot. Once stop is set (from another thread)
// no further close round starts and the launch ends there, returning false.
// What a launch did, for the diagnostic log.
struct LaunchOutcome {
  int browsersEnded = 0;
  std::optional<int> shellResult;  // none: the address was not handed over
};
bool launchViewer(ViewerPlatform& platform, DebugOutput& debug, std::string_view address,
                  const std::atomic<bool>* stop = nullptr, LaunchOutcome* outcome = nullptr);

// Looks the request's studies up on the archive connection (announcing first, with a box
// owned by `owner`, that the connection is closed) and, when there is at least one, launches
// the viewer on them. Returns true when the viewer address went to the shell: the report
// preview follows. Database errors throw. The statement and the launch wait through the
// services' waits.
bool openStudies(data::TdmRIS& dm, const Services& services, ViewerPlatform& platform,
                 std::string_view patientID, std::string_view accessionNumber, WindowRef owner);

}  // namespace risview::list
