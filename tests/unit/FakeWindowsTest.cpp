// The in-memory Windows' own behaviours that the contract tests cannot set up:
// files held by other programs, 8.3 names, libraries; and the message pump
// of long loops over it.
#include <gtest/gtest.h>

#include "os/OsFiles.h"
#include "os/OsLibrary.h"
#include "os/OsUi.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/MessagePump.h"

namespace {

TEST(FakeWindows, FileInUseCanBeReadButNotReplaced) {
  os::fake::Reset();
  os::fake::AddFile("C:\\App\\demo.exe", "old");
  os::fake::AddFile("C:\\Src\\demo.exe", "new");
  os::fake::SetInUse("C:\\App\\demo.exe", true);
  EXPECT_FALSE(os::CopyFileA("C:\\Src\\demo.exe", "C:\\App\\demo.exe", false));
  EXPECT_EQ(os::GetLastError(), os::kErrorSharingViolation);
  EXPECT_FALSE(os::DeleteFileA("C:\\App\\demo.exe"));
  EXPECT_TRUE(os::CopyFileA("C:\\App\\demo.exe", "C:\\App\\copy.exe", false));
  EXPECT_EQ(os::fake::Content("C:\\App\\copy.exe"), "old");
}

TEST(FakeWindows, LongNamesGetShortNames) {
  os::fake::Reset();
  os::fake::AddFile("C:\\Program Files\\Long Name Here.text", "");
  os::fake::AddFile("C:\\Program Files\\Long Name Other.text", "");
  os::FindData found;
  os::UniqueFind f(os::FindFirstFileA("C:\\PROGRA~1", found));
  ASSERT_TRUE(f);
  EXPECT_EQ(found.name, "Program Files");
  EXPECT_EQ(found.shortName, "PROGRA~1");
  os::UniqueFind g(os::FindFirstFileA("C:\\Program Files\\Long*", found));
  ASSERT_TRUE(g);
  EXPECT_EQ(found.shortName, "LONGNA~1.TEX");
  ASSERT_TRUE(os::FindNextFileA(g.get(), found));
  EXPECT_EQ(found.shortName, "LONGNA~2.TEX");
  // A number is free again once its file is gone or moved away, and a long name that looks like
  // a short one takes its number too.
  const auto shortOf = [&](const std::string& path) {
    os::UniqueFind h(os::FindFirstFileA(path, found));
    return h ? found.shortName : std::string("(none)");
  };
  ASSERT_TRUE(os::DeleteFileA("C:\\Program Files\\Long Name Here.text"));
  os::fake::AddFile("C:\\Program Files\\LONGNA~3.TEX", "");
  os::fake::AddFile("C:\\Program Files\\Long Name Third.text", "");
  EXPECT_EQ(shortOf("C:\\Program Files\\Long Name Third.text"), "LONGNA~1.TEX");
  os::fake::AddFile("C:\\Program Files\\Long Name Fourth.text", "");
  EXPECT_EQ(shortOf("C:\\Program Files\\Long Name Fourth.text"), "LONGNA~4.TEX");
  ASSERT_TRUE(os::MoveFileA("C:\\Program Files\\Long Name Other.text", "C:\\Long Name Other.text"));
  EXPECT_EQ(shortOf("C:\\Long Name Other.text"), "LONGNA~1.TEX");
  os::fake::AddFile("C:\\Program Files\\Long Name Fifth.text", "");
  EXPECT_EQ(shortOf("C:\\Program Files\\Long Name Fifth.text"), "LONGNA~2.TEX");
}

int answer() { return 42; }

TEST(FakeWindows, LibrariesResolveExportsAndCountLoads) {
  os::fake::Reset();
  os::fake::AddLibrary("C:\\WINDOWS\\SYSTEM32\\srv.dll", {{"Answer", reinterpret_cast<os::Proc>(&answer)}});
  {
    os::UniqueLibrary lib(os::LoadLibraryA("srv.dll"));
    ASSERT_TRUE(lib);
    EXPECT_TRUE(os::fake::IsLoaded("C:\\WINDOWS\\SYSTEM32\\SRV.DLL"));
    auto fn = reinterpret_cast<int (*)()>(os::GetProcAddress(lib.get(), "Answer"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(), 42);
    EXPECT_EQ(os::GetProcAddress(lib.get(), "Missing"), nullptr);
  }
  EXPECT_FALSE(os::fake::IsLoaded("C:\\WINDOWS\\SYSTEM32\\srv.dll"));
  EXPECT_EQ(os::fake::LoadCount("C:\\WINDOWS\\SYSTEM32\\srv.dll"), 1);
  EXPECT_EQ(os::LoadLibraryA("C:\\nowhere.dll"), 0u);
}

// The pump of a long loop looks at the queue at its first step and then
// once per interval: a message posted meanwhile waits at most that long.
TEST(FakeWindows, MessagePumpLooksAtTheQueueOncePerInterval) {
  os::fake::Reset();
  os::fake::AddForeignWindow("Other", "other");
  os::Hwnd window = os::FindWindowA("Other", "other");
  auto post = [&] { os::PostMessageA(window, 0x0400, 0, 0); };
  MessagePump pump;
  post();
  pump.Pump();
  EXPECT_TRUE(os::fake::PendingMessages().empty());
  post();
  pump.Pump();
  os::fake::AdvanceTicks(MessagePump::kInterval - 1);
  pump.Pump();
  EXPECT_EQ(os::fake::PendingMessages().size(), 1u);
  os::fake::AdvanceTicks(1);
  pump.Pump();
  EXPECT_TRUE(os::fake::PendingMessages().empty());
}

// The install run's pump hands a click to the windows before the next step,
// however soon it comes; without one waiting it keeps to the interval.
TEST(FakeWindows, MessagePumpForInputHandlesAPostedMessageAtOnce) {
  os::fake::Reset();
  os::fake::AddForeignWindow("Other", "other");
  os::Hwnd window = os::FindWindowA("Other", "other");
  MessagePump pump(true);
  pump.Pump();
  os::PostMessageA(window, 0x0400, 0, 0);
  EXPECT_NE(os::GetQueueStatus(MessagePump::kUrgent) >> 16, 0u);
  pump.Pump();
  EXPECT_TRUE(os::fake::PendingMessages().empty());
  EXPECT_EQ(os::GetQueueStatus(MessagePump::kUrgent), 0u);
}

}  // namespace
