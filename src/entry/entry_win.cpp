// The exported entry. No error ever leaves it: the host gets true whatever happened.
#include <windows.h>

#include <atomic>
#include <string>

#include "entry/exports.h"
#include "list/show_detail_win.h"
#include "platform/floating_point_win.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "ui/sheet_accessible_win.h"
#include "ui/window_win.h"

extern "C" {
void* _dmRIS = nullptr;
void* _frmShowDetail = nullptr;
void* _MyPrintPageControl = nullptr;
void* _MyPrntPage = nullptr;
void* _NMPrntPage = nullptr;
void* _OTPrntPage = nullptr;
void* _frmShowEdit = nullptr;
void* _frmShowReport = nullptr;
void* _frmShowCanvas = nullptr;
void* _frmImageList = nullptr;
}

// The C++ runtime linked into this module keeps a reserve for throwing when memory runs out
// (73 KiB on 64-bit), allocated as the module loads and otherwise never given back: a host
// that loads and frees the library for each call would lose it each time.
namespace __gnu_cxx {
// The runtime's own name: declared here because no header of it does.
void __freeres();  // NOLINT(bugprone-reserved-identifier)
}  // namespace __gnu_cxx

namespace {

risview::win::Platform& platform() {
  static risview::win::Platform p;
  return p;
}

const std::string& applicationTitle() {
  static const std::string title = risview::win::moduleTitle();
  return title;
}

// One call at a time: the data module and the windows of a call are the module's. A call
// that arrives while one runs (from a host's timer inside our modal run, or from another
// thread) opens nothing and returns at once.
std::atomic<bool> callRunning{false};

}  // namespace

extern "C" unsigned char __stdcall ShowTarnel(const char* ClinicID, const char* HospitalID) {
  // The host's floating-point state is its own: the call runs with every exception masked
  // and hands the host's state back however it returns.
  const risview::win::MaskedFloatingPoint floatingPoint;
  if (callRunning.exchange(true)) return 1;
  const DWORD clipboardAtStart = GetClipboardSequenceNumber();
  try {
    // The host's buffers are not touched after this.
    std::string clinic = ClinicID ? risview::cp936ToUtf8(ClinicID) : std::string();
    std::string hospital = HospitalID ? risview::cp936ToUtf8(HospitalID) : std::string();
    risview::list::TfrmShowDetail dialog(platform().services(applicationTitle()));
    dialog.FClinicID = clinic;
    dialog.FHospitalID = hospital;
    dialog.ShowModal();
  } catch (...) {
    // Every handler reports its own errors; what is left has nobody to tell.
  }
  // The call's data threads end with it.
  platform().waits.endCall();
  try {
    // No window of the call is left: its classes and the rich edit library go too.
    const bool classesGone = risview::ui::releaseWindowResources(clipboardAtStart);
    risview::win::traceResources("after the call");
    // A host may free the library as soon as the call returns. What could still call into
    // it then keeps it loaded instead: a window of ours, or an accessible object still
    // referenced (by a client in the host's own apartment, which disconnecting does not
    // reach, or by the system's stub where disconnecting failed).
    if (!classesGone) {
      risview::win::pinThisModule("a window of the library outlived the call");
    } else if (risview::ui::liveSheetAccessibles() > 0) {
      risview::win::pinThisModule("an accessible object of the library is still referenced");
    }
  } catch (...) {
  }
  callRunning = false;
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // Freed by the host, not the process ending: every call has released what it made and
  // pinned the module where it could not, so what is left is a last word for the debugger
  // and the runtime's reserve, given back to the heap; the loader lock allows no more.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    if (callRunning || risview::ui::liveSheetAccessibles() > 0) {
      OutputDebugStringA("risview: freed while a call or an accessible object of it was alive");
    }
    __gnu_cxx::__freeres();
  }
  return TRUE;
}
