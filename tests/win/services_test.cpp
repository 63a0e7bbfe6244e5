#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <dpapi.h>

#include "platform/errors.h"
#include "platform/protected_text.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/fixture.h"

namespace risview {
namespace {

// A password protected here reads back here; a value of another machine, or one damaged on
// the way, does not. (Wine's DPAPI key is the same in every prefix, so the other machine's
// value is laid out as Windows writes one, with a master key this machine does not have.)
TEST(Win32Services, ProtectedPasswordsReadOnlyWhereTheyWereMade) {
  const std::string password = "s3cret;密码 ";
  DATA_BLOB in{static_cast<DWORD>(password.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(password.data()))};
  DATA_BLOB out{};
  ASSERT_TRUE(CryptProtectData(&in, L"risview", nullptr, nullptr, nullptr,
                               CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &out));
  std::string blob(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  win::Win32Secrets secrets;
  EXPECT_EQ(revealPassword("dpapi:" + base64Encode(blob), &secrets), password);
  std::string damaged = blob;
  damaged[damaged.size() - 30] ^= 0x5a;
  const std::string elsewhere =
      "dpapi:AQAAANCMnd8BFdERjHoAwE/Cl+sBAAAAwxx4AyRkC68j8xyJO7bBIwQAAAAQAAAAcgBpAHMAdgBpAGUAdwAA"
      "ABBmAAAAAQAAIAAAACX7vQipDyI7ibtyhmk0/5cXHgXF8ONnVzI0VGRdmPQ/AAAAAA6AAAAAAgAAIAAAADW5N2qVqYw"
      "P9A3WLlsiNCXWy/1gBxa8h95wps83NctuEAAAALpeMVSk0Th7CkNWS1WSZXtAAAAApabWUPY2+b/+GMrFTuUtj5/vi9a"
      "sSxcsMQfry5lfsvQYq2ZI6E6m1v3iMh10M8xVcWfJDI+2HkQZ3/ujHvUxMw==";
  for (const std::string& value : {"dpapi:" + base64Encode(damaged), elsewhere}) {
    EXPECT_EQ(revealPassword(value, &secrets), std::nullopt) << value;
  }
}

TEST(Win32Services, EnvironmentReadsFilesAndKnowsTheProcess) {
  win::Win32Environment env;
  EXPECT_NE(env.executablePath().find("win_tests.exe"), std::string::npos);
  EXPECT_FALSE(env.currentDirectory().empty());
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"env", 0, path);
  std::ofstream(path, std::ios::binary) << std::string("a\0b", 3);
  EXPECT_EQ(env.readFile(win::narrow(path)), std::string("a\0b", 3));
  DeleteFileW(path);
  EXPECT_EQ(env.readFile(win::narrow(path)), std::nullopt);
}

// Read by parts, every file gives what readFile gives it: its bytes, nothing for a folder or
// a missing file, empty for a device.
TEST(Win32Services, EnvironmentReadsFilesByParts) {
  win::Win32Environment env;
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"env", 0, path);
  std::ofstream(path, std::ios::binary) << std::string("0123456789");
  std::unique_ptr<FileReader> file = env.openFile(win::narrow(path));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size(), 10u);
  EXPECT_EQ(file->read(3, 4), "3456");
  EXPECT_EQ(file->read(8, 5), "89");
  EXPECT_EQ(file->read(0, 2), "01");
  EXPECT_EQ(file->read(10, 1), "");
  for (const std::wstring& name : {std::wstring(path), std::wstring(dir), std::wstring(L"NUL")}) {
    const std::string utf8 = win::narrow(name);
    std::optional<std::string> whole;
    if (std::unique_ptr<FileReader> parts = env.openFile(utf8)) {
      whole = parts->read(0, static_cast<size_t>(parts->size()));
    }
    EXPECT_EQ(whole, env.readFile(utf8)) << utf8;
  }
  // A page reading a picture's header does not keep it from being deleted.
  EXPECT_TRUE(DeleteFileW(path));
  file.reset();
  EXPECT_EQ(env.openFile(win::narrow(path)), nullptr);
}

TEST(Win32Services, TitleComesFromTheModuleName) {
  EXPECT_EQ(win::moduleTitle(), "win_tests");
}

TEST(Win32Services, ShortTimeRejectsImpossibleTimes) {
  win::Win32Locale locale;
  std::string t = locale.shortTime(14, 30, 0);
  EXPECT_NE(t.find("30"), std::string::npos) << t;
  EXPECT_THROW(locale.shortTime(25, 0, 0), ConversionError);
  EXPECT_THROW(locale.shortTime(12, 60, 0), ConversionError);
}

TEST(Win32Services, Cp936DoesNotDependOnTheAnsiCodePage) {
  EXPECT_EQ(cp936ToUtf8("\xBC\xEC\xB2\xE9"), "检查");
  EXPECT_EQ(utf8ToCp936("报告"), "\xB1\xA8\xB8\xE6");
}

// A window of the waiting thread: notes the keys it gets, answers WM_APP by setting the
// event, and a close ends the run of the waits it is given.
struct Answering {
  static inline HANDLE answered = nullptr;
  static inline int keys = 0;
  static inline Waits* waits = nullptr;
  static LRESULT CALLBACK proc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) SetEvent(answered);
    if (message == WM_KEYDOWN) ++keys;
    if (message == WM_CLOSE && waits) {
      waits->endRun();
      return 0;
    }
    return DefWindowProcW(h, message, wParam, lParam);
  }
};

// The step's work waits for what only the waiting thread can do (handle a message posted to
// its window), so it returns at all only because that thread answers while it waits. Input
// posted meanwhile is not taken; an error, and a close that ends the run, come back to the
// step on its own thread.
TEST(Win32Waits, TheWaitingThreadAnswersButTakesNoInput) {
  win::Win32Waits waits;
  WNDCLASSW wc{};
  wc.lpfnWndProc = Answering::proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"RisviewAnswering";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(window);
  win::unique_handle answered(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  Answering::answered = answered.get();
  Answering::waits = &waits;
  auto answer = [&] { return WaitForSingleObject(answered.get(), 10000) == WAIT_OBJECT_0; };

  PostMessageW(window, WM_KEYDOWN, 'A', 0);
  PostMessageW(window, WM_APP, 0, 0);
  EXPECT_TRUE(waits.run(answer));
  EXPECT_EQ(Answering::keys, 0);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, window, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));

  bool answeredAtOnce = false;
  const std::vector<std::exception_ptr> errors =
      waits.all({[] { throw DatabaseError("login timeout"); },
                 [&] { PostMessageW(window, WM_APP, 0, 0); }, [&] { answeredAtOnce = answer(); }});
  EXPECT_TRUE(answeredAtOnce);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_THROW(std::rethrow_exception(errors[0]), DatabaseError);
  EXPECT_FALSE(errors[1]);

  win::unique_handle cancelled(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  PostMessageW(window, WM_CLOSE, 0, 0);
  bool cancelSeen = false;
  EXPECT_THROW(
      waits.run([&] { cancelSeen = WaitForSingleObject(cancelled.get(), 10000) == WAIT_OBJECT_0; },
                [&] { SetEvent(cancelled.get()); }),
      RunEnded);
  EXPECT_TRUE(cancelSeen);
  EXPECT_THROW(waits.run([] {}), RunEnded);
  waits.resumeRuns();
  EXPECT_NO_THROW(waits.run([] {}));

  // Between steps, the calling thread answers what it has pending, input aside, and learns
  // of a close there too (it asks for its messages every few milliseconds at most).
  PostMessageW(window, WM_KEYDOWN, 'B', 0);
  PostMessageW(window, WM_APP, 0, 0);
  Sleep(20);
  EXPECT_NO_THROW(waits.answer());
  EXPECT_EQ(WaitForSingleObject(answered.get(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(Answering::keys, 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  Sleep(20);
  EXPECT_THROW(waits.answer(), RunEnded);
  waits.resumeRuns();

  Answering::waits = nullptr;
  DestroyWindow(window);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// Before, every statement started and joined a thread of its own: a 200-page report paid
// hundreds of thread starts. The three connections take three threads, and every statement
// after them one of those, however many statements the call runs.
TEST(Win32Waits, TheStepsOfACallShareItsDataThreads) {
  testing::Fixture fx(testing::Backend::Sqlite, testing::Schema::Ris);
  data::Connection& con = fx.connection();
  win::Win32Waits waits;
  con.setWaits(&waits);
  std::set<DWORD> threads;
  std::mutex noting;
  auto note = [&] {
    std::lock_guard hold(noting);
    threads.insert(GetCurrentThreadId());
  };
  // Each of the three holds its thread until all three run, as connections being opened do.
  std::atomic<int> opening{0};
  auto open = [&] {
    note();
    ++opening;
    for (int i = 0; i < 1000 && opening < 3; ++i) Sleep(10);
  };
  waits.all({open, open, open});
  EXPECT_EQ(waits.threadsStarted(), 3u);
  for (int statements : {5, 50}) {
    for (int i = 0; i < statements; ++i) {
      data::Query q(con);
      q.setSql("select count(*) as n from RIS_REPORT");
      q.open();
      EXPECT_EQ(q.field("n").asInteger(), 0);
      waits.run(note);
    }
    EXPECT_EQ(waits.threadsStarted(), 3u) << "after " << statements << " statements";
  }
  EXPECT_LE(threads.size(), 3u);
  // The call ends its threads; the next call starts its own.
  waits.endCall();
  waits.run(note);
  EXPECT_EQ(waits.threadsStarted(), 4u);
  waits.endCall();
  con.setWaits(nullptr);
}

}  // namespace
}  // namespace risview
