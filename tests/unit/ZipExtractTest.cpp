// Extraction through scripted engines: loading, both request layouts, the
// answers to every callback code, and the guarantees around the call.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "tests/unit/ZipTestUtil.h"
#include "zip/OldEngineRequest.h"

namespace {

using namespace ziptest;
using zip::TZipMaster;

// What a scripted engine saw, copied out of the request while it was valid.
struct Seen {
  bool old = false;
  void* handle = nullptr;
  void* caller = nullptr;
  std::int32_t version = 0, trace = 0, test = 0, r40 = 0, verbose = 0, update = 0, freshen = 0, dirs = 0,
               overwrite = 0, count = 0, seven = 0, reqCount = -1;
  ZFunctionPtrType callback = nullptr;
  std::string archive, password, extractDir;
  std::vector<std::string> specs;
  bool zeroesElsewhere = true;
};

struct Script {
  int version = 160;
  int result = 2;
  int execs = 0;
  Seen seen;
  std::vector<CallbackRecord> send;      // records sent in turn, stopping at a non-zero answer
  std::vector<CallbackRecord> answered;  // the records as the component left them
  std::vector<std::int32_t> returns;
  std::function<void()> during;  // runs inside the call
  std::string archiveContentSeen;
};
Script& S() {
  static Script s;
  return s;
}

std::int32_t QV_UNZ_STDCALL FakeVersion() { return S().version; }

template <typename R>
void CopyShared(const R& r, Seen& s) {
  s.handle = r.Handle;
  s.caller = r.Caller;
  s.version = r.Version;
  s.callback = r.ZCallbackFunc;
  s.trace = r.TraceEnabled;
  s.test = r.Test;
  s.r40 = r.Reserved40;
  s.verbose = r.Verbose;
  s.update = r.Update;
  s.freshen = r.Freshen;
  s.dirs = r.Directories;
  s.overwrite = r.Overwrite;
  s.count = r.ArgCount;
  s.archive = r.ZipFileName ? r.ZipFileName : "(null)";
  s.password = r.Password ? r.Password : "(null)";
  s.zeroesElsewhere = r.Reserved20 == 0 && r.Reserved32 == 0 && r.Reserved36 == 0;
}

std::int32_t QV_UNZ_STDCALL FakeExec(ExtractRequest* request) {
  Script& s = S();
  ++s.execs;
  s.seen = Seen{};
  if (s.version < kUnzCurrentLayoutVersion) {
    auto* r = reinterpret_cast<zip::ExtractRequestOld*>(request);
    s.seen.old = true;
    CopyShared(*r, s.seen);
    s.seen.seven = r->Seven;
    for (int i = 0; i < r->ArgCount; ++i) s.seen.specs.push_back(r->FileSpecs[i]);
    for (std::size_t i = r->ArgCount; i < zip::kOldSpecRoom; ++i)
      if (r->FileSpecs[i]) s.seen.zeroesElsewhere = false;
  } else {
    CopyShared(*request, s.seen);
    s.seen.seven = request->Seven;
    s.seen.reqCount = request->PasswordReqCount;
    s.seen.extractDir = request->ExtractDir ? request->ExtractDir : "(null)";
    for (int i = 0; i < request->ArgCount; ++i) {
      s.seen.specs.push_back(request->FileSpecs[i].FileSpec);
      for (auto b : request->FileSpecs[i].Reserved)
        if (b) s.seen.zeroesElsewhere = false;
    }
    if (request->Reserved76 || request->OutputToMemory || request->OutputAddress || request->OutputSize ||
        request->InputFromMemory || request->InputAddress || request->InputSize)
      s.seen.zeroesElsewhere = false;
    for (auto v : request->Reserved112)
      if (v) s.seen.zeroesElsewhere = false;
  }
  s.archiveContentSeen = os::fake::Content(s.seen.archive);
  if (s.during) s.during();
  for (CallbackRecord record : s.send) {
    record.Caller = request->Caller;
    std::int32_t answer = request->ZCallbackFunc(&record);
    s.answered.push_back(record);
    s.returns.push_back(answer);
    if (answer != 0) break;
  }
  return s.result;
}

CallbackRecord Record(std::int32_t code, std::int32_t value = 0, std::uint32_t size = 0,
                      const std::string& text = "") {
  CallbackRecord r{};
  r.ActionCode = code;
  r.ErrorCode = value;
  r.Size = size;
  std::memcpy(r.Text, text.data(), std::min(text.size(), sizeof r.Text));
  return r;
}

class ZipExtract : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshMachine();
    S() = Script{};
    os::fake::AddLibrary("C:\\SETUP\\UNZDLL.DLL",
                         {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&FakeVersion)},
                          {"UnzDllExec", reinterpret_cast<os::Proc>(&FakeExec)}});
    os::fake::AddFolder("C:\\OUT");
    z.Unattended = true;
    z.SetZipFileName(Put("C:\\DATA\\deflated.zip", "deflated.zip"));
    z.ExtrBaseDir = "C:\\OUT";
    rec.Attach(z);
  }
  TZipMaster z{0x4242};
  Recorder rec;
};

TEST_F(ZipExtract, EachEngineVersionGetsItsLayout) {
  struct Case {
    int version;
    bool old;
    int reqCount;
  };
  for (const Case& c :
       std::vector<Case>{{151, true, -1}, {152, false, 0}, {159, false, 0}, {160, false, 7}}) {
    SCOPED_TRACE(c.version);
    S().version = c.version;
    z.SetPasswordReqCount(7);
    z.SetPassword("secret");
    z.FSpecArgs = {"hello.txt", "sub\\*.txt"};
    z.ExtractFiles();
    EXPECT_EQ(z.SuccessCount(), 2);
    const Seen& s = S().seen;
    EXPECT_EQ(s.old, c.old);
    EXPECT_EQ(s.reqCount, c.reqCount);
    EXPECT_EQ(s.version, 160);
    EXPECT_EQ(s.seven, 7);
    EXPECT_EQ(s.caller, &z);
    EXPECT_EQ(s.callback, &TZipMaster::ZCallback);
    EXPECT_EQ(s.handle, nullptr);  // unattended: no parent for the engine's dialogs
    EXPECT_EQ(s.r40, -1);
    EXPECT_EQ(s.archive, "C:\\DATA\\deflated.zip");
    EXPECT_EQ(s.password, "secret");
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.specs, (std::vector<std::string>{"hello.txt", "sub\\*.txt"}));
    EXPECT_TRUE(s.zeroesElsewhere);
    if (!c.old) {
      EXPECT_EQ(s.extractDir, "C:\\OUT");
    }
    EXPECT_TRUE(z.FSpecArgs.empty());
    EXPECT_FALSE(z.Busy());
    EXPECT_FALSE(z.EngineLoaded());
  }
}

TEST_F(ZipExtract, OptionsBecomeFlags) {
  using E = zip::ExtrOptsEnum;
  struct Case {
    bool trace, verbose;
    zip::ExtrOpts opts;
    std::vector<std::int32_t> flags;  // trace verbose update freshen dirs overwrite test
  };
  std::vector<Case> cases = {
      {false, false, {}, {0, 0, 0, 0, 0, 0, 0}},
      {true, false, {}, {-1, -1, 0, 0, 0, 0, 0}},
      {false, true, {}, {0, -1, 0, 0, 0, 0, 0}},
      {false, false, {E::ExtrFreshen, E::ExtrUpdate}, {0, 0, -1, 0, 0, 0, 0}},
      {false, false, {E::ExtrFreshen}, {0, 0, 0, -1, 0, 0, 0}},
      {false, false, {E::ExtrDirNames, E::ExtrOverWrite, E::ExtrTest}, {0, 0, 0, 0, -1, -1, -1}},
  };
  for (const auto& c : cases) {
    z.Trace = c.trace;
    z.Verbose = c.verbose;
    z.ExtrOptions = c.opts;
    z.ExtractFiles();
    const Seen& s = S().seen;
    EXPECT_EQ(
        (std::vector<std::int32_t>{s.trace, s.verbose, s.update, s.freshen, s.dirs, s.overwrite, s.test}),
        c.flags);
  }
  // Trace also reports the loading of the engine.
  z.Trace = true;
  z.ExtractFiles();
  EXPECT_NE(std::find(rec.messageTexts.begin(), rec.messageTexts.end(), zip::LoadMessageText(10701)),
            rec.messageTexts.end());
}

TEST_F(ZipExtract, ExtractionFolderFallsBackToTheCurrentDirectory) {
  os::SetCurrentDirectoryA("C:\\WINDOWS");
  z.ExtrBaseDir = "C:\\MISSING";
  z.ExtractFiles();
  EXPECT_EQ(S().seen.extractDir, "C:\\WINDOWS");
  z.ExtrBaseDir = "C:\\DATA\\deflated.zip";  // a file is no folder
  z.ExtractFiles();
  EXPECT_EQ(S().seen.extractDir, "C:\\WINDOWS");
}

TEST_F(ZipExtract, EarlyStopsKeepTheFileList) {
  z.FSpecArgs = {"hello.txt"};
  os::DeleteFileA("C:\\SETUP\\UNZDLL.DLL");
  constexpr std::uint32_t kCallersMode = 0x8000;  // SEM_NOOPENFILEERRORBOX
  os::SetErrorMode(kCallersMode);
  z.ExtractFiles();
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgNoEngine);
  EXPECT_EQ(z.SuccessCount(), 0);
  EXPECT_EQ(z.FSpecArgs, std::vector<std::string>{"hello.txt"});
  EXPECT_EQ(z.PasswordReqCount(), 1u);  // given back also on an early stop
  EXPECT_EQ(os::fake::ErrorMode(), kCallersMode);  // the caller's error mode, not 0
  os::SetErrorMode(0);

  z.SetZipFileName("C:\\DATA\\gone.zip");
  z.ExtractFiles();
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgArchiveMissing);
  EXPECT_EQ(z.FSpecArgs, std::vector<std::string>{"hello.txt"});
  EXPECT_EQ(S().execs, 0);
}

TEST_F(ZipExtract, TheEngineIsLoadedByFullPathFromItsFolderOrTheProgramsFolder) {
  os::fake::AddFolder("C:\\ENGINE");
  z.SetDLLDirectory("C:\\ENGINE\\");
  EXPECT_EQ(z.DLLDirectory(), "C:\\ENGINE");
  z.ExtractFiles();  // no library in its folder: the one beside the program
  EXPECT_EQ(os::fake::LoadCount("C:\\SETUP\\UNZDLL.DLL"), 1);
  os::fake::AddLibrary("C:\\ENGINE\\UNZDLL.DLL",
                       {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&FakeVersion)},
                        {"UnzDllExec", reinterpret_cast<os::Proc>(&FakeExec)}});
  z.ExtractFiles();
  EXPECT_EQ(os::fake::LoadCount("C:\\ENGINE\\UNZDLL.DLL"), 1);
  EXPECT_FALSE(os::fake::IsLoaded("C:\\ENGINE\\UNZDLL.DLL"));
  EXPECT_EQ(S().execs, 2);

  // Without one beside the program, a library of its name in the current folder is never loaded.
  os::fake::AddFolder("C:\\WORK");
  os::fake::AddLibrary("C:\\WORK\\UNZDLL.DLL",
                       {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&FakeVersion)},
                        {"UnzDllExec", reinterpret_cast<os::Proc>(&FakeExec)}});
  os::SetCurrentDirectoryA("C:\\WORK");
  z.SetDLLDirectory("");
  os::DeleteFileA("C:\\SETUP\\UNZDLL.DLL");
  z.ExtractFiles();
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgNoEngine);
  EXPECT_EQ(os::fake::LoadCount("C:\\WORK\\UNZDLL.DLL"), 0);
}

TEST_F(ZipExtract, AnEngineLackingAnEntryPointIsNeverCalled) {
  struct Case {
    const char* missing;
    int message;
  };
  for (const Case& c :
       std::vector<Case>{{"UnzDllExec", zip::ZipMsgNoExec}, {"GetUnzDllVersion", zip::ZipMsgNoVersion}}) {
    std::map<std::string, os::Proc> exports{{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&FakeVersion)},
                                            {"UnzDllExec", reinterpret_cast<os::Proc>(&FakeExec)}};
    exports.erase(c.missing);
    os::fake::AddLibrary("C:\\SETUP\\UNZDLL.DLL", exports);
    z.ExtractFiles();
    EXPECT_EQ(z.ErrorCode(), c.message);
    EXPECT_FALSE(os::fake::IsLoaded("C:\\SETUP\\UNZDLL.DLL"));
  }
  EXPECT_EQ(S().execs, 0);
  EXPECT_EQ(z.EngineVersion(), 0);
}

TEST_F(ZipExtract, AnEngineTheOwnerLoadedStaysLoaded) {
  z.LoadEngine();
  ASSERT_TRUE(z.EngineLoaded());
  EXPECT_EQ(z.EngineVersion(), 160);
  z.ExtractFiles();
  EXPECT_TRUE(z.EngineLoaded());
  EXPECT_EQ(os::fake::LoadCount("C:\\SETUP\\UNZDLL.DLL"), 1);
  z.UnloadEngine();
  EXPECT_FALSE(os::fake::IsLoaded("C:\\SETUP\\UNZDLL.DLL"));
}

TEST_F(ZipExtract, UnattendedWithoutPasswordAsksTheEngineForNone) {
  z.SetPasswordReqCount(20);
  EXPECT_EQ(z.PasswordReqCount(), 15u);
  z.ExtractFiles();
  EXPECT_EQ(S().seen.reqCount, 0);
  EXPECT_EQ(z.PasswordReqCount(), 15u);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgNoPassword);  // stored on every unattended extraction

  // Old engines get a placeholder password when encryption was asked for.
  S().version = 159;
  z.AddOptions.Add(zip::AddOptsEnum::AddEncrypt);
  z.ExtractFiles();
  ASSERT_EQ(S().seen.password.size(), 80u);
  EXPECT_EQ(S().seen.password, std::string(80, S().seen.password[0]));
  EXPECT_GT(S().seen.password[0], ' ');
  S().version = 160;
  z.ExtractFiles();
  EXPECT_EQ(S().seen.password, "");
}

// Each callback code: the record sent, what the owner heard, what the engine reads back.
TEST_F(ZipExtract, CallbackCodesAreAnswered) {
  std::string heard;
  z.OnProgress = [&](TZipMaster* sender, zip::ProgressType t, const std::string& name, std::int64_t size) {
    EXPECT_EQ(sender, &z);
    heard += "P" + std::to_string(static_cast<int>(t)) + "[" + name + "]" + std::to_string(size) + " ";
  };
  z.OnMessage = [&](TZipMaster*, int code, const std::string& text) {
    heard += "M" + std::to_string(code) + "[" + text + "] ";
  };
  S().send = {Record(1, 0, 14, "sub/big.txt  \r\n"),
              Record(2, 0, 4096),
              Record(5, 0, 3),
              Record(6, 0, 80027),
              Record(4, 0x1234, 0, "bad thing"),
              Record(11, 0x0305, 0x102, "x.txt"),
              Record(3),
              Record(99)};
  z.ExtractFiles();
  EXPECT_EQ(heard,
            "M0[" + zip::LoadMessageText(10502) +
                "] "  // unattended without a password
                "P0[sub\\big.txt]14 P1[]4096 P3[]3 P4[]80027 M4660[bad thing] P2[]0 ");
  EXPECT_EQ(z.TotalSizeToProcess(), 80027);
  EXPECT_EQ(z.ErrorCode(), 0x05);  // the skip's low byte came last
  EXPECT_EQ(z.FullErrorCode(), 0x0305);
  EXPECT_EQ(z.LastMessage(), "bad thing");
  EXPECT_EQ(S().returns, (std::vector<std::int32_t>(8, 0)));
}

TEST_F(ZipExtract, QuestionsWithAndWithoutHandlers) {
  // Without handlers: a new name and an overwrite stay as they were, a CRC error is undecided.
  S().send = {Record(7, 5, 0, "a.txt"), Record(9, 1, 2, "a.txt"), Record(10, 0x10003, 1, "a.txt"),
              Record(12, 4, 0, "a.txt")};
  z.ExtractFiles();
  ASSERT_EQ(S().answered.size(), 4u);
  EXPECT_EQ(S().answered[0].ErrorCode, 5);
  EXPECT_EQ(S().answered[1].ErrorCode, 2);
  EXPECT_EQ(S().answered[2].Size, 1u);
  EXPECT_EQ(S().answered[3].ErrorCode, 4);

  // With handlers.
  S().answered.clear();
  std::string seen;
  z.OnSetNewName = [&](TZipMaster*, std::string& name, bool& changed) {
    seen += "name " + name + ";";
    name = std::string(600, 'n');  // longer than the record holds
    changed = true;
  };
  z.OnCRC32Error = [&](TZipMaster*, const std::string& f, std::uint32_t found, std::uint32_t expected,
                       bool& doIt) {
    seen += "crc " + f + " " + std::to_string(found) + "/" + std::to_string(expected) + " " +
            (doIt ? "y" : "n") + ";";
    doIt = false;
  };
  z.OnExtractOverwrite = [&](TZipMaster*, const std::string& f, bool older, bool& overwrite, int index) {
    seen += "over " + f + " " + (older ? "older" : "newer") + " " + std::to_string(index) + " " +
            (overwrite ? "y" : "n") + ";";
    overwrite = false;
  };
  z.OnExtractSkipped = [&](TZipMaster*, const std::string& f, zip::UnZipSkipTypes type, int error) {
    seen += "skip " + f + " " + std::to_string(static_cast<int>(type)) + " " + std::to_string(error) + ";";
  };
  S().send = {Record(7, 0, 0, "a.txt"), Record(9, 1, 2, "a.txt"), Record(10, 0x10003, 1, "a.txt"),
              Record(11, 0, 4, "b.txt"), Record(11, 7, 77, "c.txt")};
  z.ExtractFiles();
  EXPECT_EQ(seen, "name a.txt;crc a.txt 1/2 y;over a.txt older 3 y;skip b.txt 3 0;skip c.txt 8 7;");
  ASSERT_EQ(S().answered.size(), 5u);
  EXPECT_EQ(S().answered[0].ErrorCode, 1);
  EXPECT_EQ(std::string(S().answered[0].Text), std::string(511, 'n'));
  EXPECT_EQ(S().answered[1].ErrorCode, 0);
  EXPECT_EQ(S().answered[2].Size, 0u);
}

TEST_F(ZipExtract, PasswordRequests) {
  // Unattended without a handler: reported, answered with none.
  S().send = {Record(8, 1, 3, "a.txt"), Record(8, 0, 3, "a.txt")};
  z.ExtractFiles();
  ASSERT_EQ(S().answered.size(), 2u);
  EXPECT_EQ(S().answered[0].ErrorCode, 0);
  EXPECT_EQ(S().answered[0].Size, 0u);
  EXPECT_NE(std::find(rec.messageTexts.begin(), rec.messageTexts.end(), zip::LoadMessageText(10150)),
            rec.messageTexts.end());
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgPasswordNeeded);

  struct Case {
    zip::TPasswordButton action;
    std::int32_t value, code;
    std::string text;
    std::uint32_t size;
    std::int32_t returned;
  };
  for (const Case& c : std::vector<Case>{{zip::TPasswordButton::pwbOk, 1, 8, std::string(80, 'p'), 15, 0},
                                         {zip::TPasswordButton::pwbCancel, 0, 8, "", 0, 0},
                                         {zip::TPasswordButton::pwbCancelAll, 0, 0, "", 0, 0},
                                         {zip::TPasswordButton::pwbAbort, 0, 8, "", 0, -1}}) {
    SCOPED_TRACE(static_cast<int>(c.action));
    S().answered.clear();
    S().returns.clear();
    z.OnPasswordError = [&](TZipMaster*, bool zipAction, std::string& pw, const std::string& file,
                            std::uint32_t& repeat, zip::TPasswordButton& action) {
      EXPECT_TRUE(zipAction);
      EXPECT_EQ(file, "a.txt");
      EXPECT_EQ(repeat, 40u);
      pw = std::string(100, 'p');
      action = c.action;
    };
    CallbackRecord r = Record(8, 0, 40, "a.txt");
    r.IsOperationZip = 1;
    S().send = {r};
    z.ExtractFiles();
    ASSERT_EQ(S().answered.size(), 1u);
    EXPECT_EQ(S().answered[0].ErrorCode, c.value);
    EXPECT_EQ(S().answered[0].ActionCode, c.code);
    EXPECT_EQ(std::string(S().answered[0].Text).substr(0, c.text.size()), c.text);
    if (!c.text.empty()) {
      EXPECT_EQ(std::string(S().answered[0].Text), c.text);
    }
    EXPECT_EQ(S().answered[0].Size, c.size);
    EXPECT_EQ(S().returns[0], c.returned);
    EXPECT_FALSE(z.CancelRequested);  // cleared at the end of every extraction
  }
}

TEST_F(ZipExtract, TheOwnersQuestionFormAsksForThePassword) {
  z.Unattended = false;
  z.SetPassword("");
  // The scripted user types into the form's edit and presses OK.
  os::fake::SetUser([] {
    for (os::Hwnd form : os::fake::TopLevelWindows()) {
      const auto* info = os::fake::Info(form);
      if (!info || !info->visible) continue;
      os::SetWindowTextA(os::fake::FindControlById(form, 100), "typed");
      os::fake::Click(os::fake::FindControlById(form, 101));
      return true;
    }
    return false;
  });
  S().send = {Record(8, 0, 2, "a.txt")};
  z.ExtractFiles();
  ASSERT_EQ(S().answered.size(), 1u);
  EXPECT_EQ(std::string(S().answered[0].Text), "typed");
  EXPECT_EQ(S().answered[0].ErrorCode, 1);
  EXPECT_EQ(S().answered[0].Size, 2u);
}

TEST_F(ZipExtract, CancelMakesEveryFollowingCallbackStop) {
  int files = 0;
  z.OnProgress = [&](TZipMaster* sender, zip::ProgressType t, const std::string&, std::int64_t) {
    if (t == zip::ProgressType::NewFile && ++files == 2) sender->CancelRequested = true;
  };
  S().send = {Record(1, 0, 1, "a"), Record(1, 0, 1, "b"), Record(1, 0, 1, "c")};
  z.ExtractFiles();
  EXPECT_EQ(S().returns, (std::vector<std::int32_t>{0, -1}));
  EXPECT_FALSE(z.CancelRequested);
}

TEST_F(ZipExtract, AFailingHandlerStopsTheEngineAndIsReported) {
  z.OnProgress = [](TZipMaster*, zip::ProgressType, const std::string&, std::int64_t) {
    throw std::runtime_error("handler broke");
  };
  S().send = {Record(1, 0, 1, "a"), Record(1, 0, 1, "b")};
  z.ExtractFiles();
  EXPECT_EQ(S().returns, std::vector<std::int32_t>{-1});
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgEngineError);
  EXPECT_FALSE(z.Busy());
  EXPECT_FALSE(os::fake::IsLoaded("C:\\SETUP\\UNZDLL.DLL"));
}

std::int32_t QV_UNZ_STDCALL CrashingVersion() { os::fake::RaiseFault(); }

TEST_F(ZipExtract, AnEngineThatCrashesIsReportedAsAnEngineFailure) {
  S().during = [] { os::fake::RaiseFault(); };  // inside UnzDllExec
  z.ExtractFiles();
  EXPECT_EQ(S().execs, 1);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgEngineError);
  EXPECT_FALSE(z.Busy());
  EXPECT_FALSE(os::fake::IsLoaded("C:\\SETUP\\UNZDLL.DLL"));
  EXPECT_TRUE(os::fake::Boxes().empty());

  os::fake::AddLibrary("C:\\SETUP\\UNZDLL.DLL",
                       {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&CrashingVersion)},
                        {"UnzDllExec", reinterpret_cast<os::Proc>(&FakeExec)}});
  S() = Script{};
  z.FSpecArgs = {"a"};
  z.ExtractFiles();
  EXPECT_EQ(S().execs, 0);  // never called after its version crashed
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgEngineError);
  EXPECT_FALSE(os::fake::IsLoaded("C:\\SETUP\\UNZDLL.DLL"));
}

TEST_F(ZipExtract, ANestedExtractionReturnsAtOnce) {
  z.OnProgress = [](TZipMaster* sender, zip::ProgressType, const std::string&, std::int64_t) {
    sender->FSpecArgs = {"nested"};
    sender->ExtractFiles();
  };
  S().send = {Record(1, 0, 1, "a")};
  z.ExtractFiles();
  EXPECT_EQ(S().execs, 1);
  EXPECT_TRUE(z.FSpecArgs.empty());
}

TEST_F(ZipExtract, AnUnknownCallerIsToldToStop) {
  CallbackRecord r = Record(1, 0, 1, "a");
  int stranger = 0;
  r.Caller = &stranger;
  EXPECT_EQ(TZipMaster::ZCallback(&r), -1);
  EXPECT_EQ(TZipMaster::ZCallback(nullptr), -1);
}

TEST_F(ZipExtract, MemoryForTheEngine) {
  S().send = {Record(13, 0, 4096)};
  z.ExtractFiles();
  ASSERT_EQ(S().answered.size(), 1u);
  // A 64-bit address does not fit the record: natively no memory can be handed over.
  bool fits = sizeof(void*) == 4;
  EXPECT_EQ(S().answered[0].ErrorCode, fits ? 0 : 1);
  if (!fits) {
    EXPECT_EQ(S().answered[0].Size, 0u);
  }
}

TEST_F(ZipExtract, OldEnginesTakeAtMost4097Names) {
  S().version = 151;
  z.FSpecArgs.assign(4098, "x");
  z.ExtractFiles();
  EXPECT_EQ(S().execs, 0);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgEngineError);
  z.FSpecArgs.assign(4097, "x");
  z.ExtractFiles();
  EXPECT_EQ(S().execs, 1);
  EXPECT_EQ(S().seen.count, 4097);
}

TEST_F(ZipExtract, SpannedSetsAreJoinedForTheEngineAndTheJoinIsRemoved) {
  for (auto n : {"001", "002", "003"})
    Put(std::string("C:\\DATA\\span") + n + ".zip", std::string("span") + n + ".zip");
  z.SetZipFileName("C:\\DATA\\span003.zip");
  ASSERT_EQ(z.EntryCount(), 2);
  z.TempDir = "C:\\OUT";
  bool busyDuring = false;
  S().during = [&] { busyDuring = z.Busy(); };
  z.ExtractFiles();
  ASSERT_EQ(S().execs, 1);
  EXPECT_EQ(S().seen.archive.rfind("C:\\OUT\\zip", 0), 0u);
  EXPECT_EQ(Le16(S().archiveContentSeen, S().archiveContentSeen.size() - 22 + 4), 0);
  EXPECT_TRUE(busyDuring);
  EXPECT_FALSE(os::fake::Exists(S().seen.archive));
  EXPECT_TRUE(os::fake::List("C:\\OUT").empty());
}

TEST_F(ZipExtract, SpannedDisksUnattendedStopBeforeTheEngine) {
  os::fake::DriveSetup a;
  a.type = os::kDriveRemovable;
  a.label = "PKBACK# 003";
  os::fake::SetDrive('A', a);
  Put("A:\\span.zip", "span003.zip");
  z.SetZipFileName("A:\\span.zip");
  EXPECT_EQ(z.EntryCount(), 2);
  z.FSpecArgs = {"hello.txt"};
  z.ExtractFiles();
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgUnattendedDisk);
  EXPECT_EQ(S().execs, 0);
  EXPECT_FALSE(z.Busy());
  EXPECT_FALSE(os::fake::IsLoaded("C:\\SETUP\\UNZDLL.DLL"));
  EXPECT_EQ(z.FSpecArgs, std::vector<std::string>{"hello.txt"});
}

TEST(ZipProperties, DefaultsAndAssignmentRules) {
  TZipMaster z;
  EXPECT_FALSE(z.Verbose);
  EXPECT_FALSE(z.Trace);
  EXPECT_EQ(z.AddCompLevel, 9);
  EXPECT_TRUE(z.AddOptions.Empty());
  EXPECT_TRUE(z.ExtrOptions.Empty());
  EXPECT_EQ(z.SFXOptions, zip::SFXOpts{zip::SFXOptsEnum::SFXCheckSize});
  EXPECT_FALSE(z.Unattended);
  EXPECT_EQ(z.SFXPath, "ZipSFX.bin");
  EXPECT_EQ(z.SFXOverWriteMode, zip::OvrOpts::OvrConfirm);
  EXPECT_EQ(z.SFXCaption, "Self-extracting Archive");
  EXPECT_EQ(z.MinFreeVolumeSize, 65536);
  EXPECT_TRUE(z.ConfirmErase);
  EXPECT_EQ(z.CodePage, zip::CodePageOpts::cpAuto);
  EXPECT_EQ(z.HowToDelete, zip::DeleteOpts::htdAllowUndo);
  EXPECT_EQ(z.PasswordReqCount(), 1u);
  EXPECT_FALSE(z.UseDirOnlyEntries);
  EXPECT_TRUE(z.AddStoreSuffixes.Has(zip::AddStoreSuffixEnum::assGIF));
  EXPECT_TRUE(z.AddStoreSuffixes.Has(zip::AddStoreSuffixEnum::assJAR));
  EXPECT_FALSE(z.AddStoreSuffixes.Has(zip::AddStoreSuffixEnum::assEXE));
  z.SetVersionInfo("2.0");
  EXPECT_EQ(z.VersionInfo(), "1.60 N");
  z.SetPasswordReqCount(16);
  EXPECT_EQ(z.PasswordReqCount(), 15u);
  z.SetRootDir("C:\\R");
  EXPECT_EQ(z.RootDir(), "C:\\R\\");
  z.SetRootDir("C:\\R\\");
  EXPECT_EQ(z.RootDir(), "C:\\R\\");
  z.SetPassword(std::string(300, 'p'));
  EXPECT_EQ(z.Password().size(), 255u);
}

}  // namespace
