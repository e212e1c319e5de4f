// Libraries over the real Win32 API, and the structured-exception guard that
// every call into them runs under.
//
// The compiler has no __try on this target, so the guard is made by hand: a
// small routine puts a frame of its own on the thread's exception-handler
// chain (the list that FS:[0] heads), calls the guarded body, and takes the
// frame off again. An exception that no handler inside the foreign code
// takes reaches our handler, which notes its code, unwinds the frames the
// foreign code had put on the chain above ours (RtlUnwind calls each of
// their handlers to clean up: the loader, for one, leaves its lock there
// when a library faults inside LoadLibrary or FreeLibrary) and resumes at
// the end of the routine with the stack and frame pointers saved on entry,
// as if the body had returned. RtlUnwind is the only import: kernel32 has it
// on every Windows from the first release of Windows 95 and NT 4.0 on.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>

#include "os/OsLibrary.h"
#include "os/win32/Win32Compat.h"

namespace {

// An exception-handler registration record followed by what the guard needs.
struct GuardFrame {
  GuardFrame* next = nullptr;      // the chain's previous head
  void* handler = nullptr;         // qv_guard_handler
  std::uint32_t esp = 0, ebp = 0;  // where the guard resumes after a fault
  std::uint32_t code = 0;          // the exception code seen; 0 when none
};
static_assert(offsetof(GuardFrame, esp) == 8 && offsetof(GuardFrame, code) == 16);

using Body = std::int32_t (*)(void* context);

}  // namespace

extern "C" {
std::int32_t qv_guarded_call(GuardFrame* frame, Body body, void* context);
void qv_guard_resume();
void qv_guard_unwind(void* frame, EXCEPTION_RECORD* record);

// Takes every exception that reaches the guard's frame while it is being
// dispatched (not while frames are being unwound).
__attribute__((used))
EXCEPTION_DISPOSITION __cdecl qv_guard_handler(EXCEPTION_RECORD* record, void* established, CONTEXT* context,
                                               void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  auto* frame = static_cast<GuardFrame*>(established);
  frame->code = record->ExceptionCode ? record->ExceptionCode : 1;
  qv_guard_unwind(frame, record);
  context->Eip = reinterpret_cast<DWORD>(&qv_guard_resume);
  context->Esp = frame->esp;
  context->Ebp = frame->ebp;
  context->Eax = 0;
  context->EFlags &= ~0x400u;  // the direction flag, as the calling convention expects it
  return ExceptionContinueExecution;
}
}

// std::int32_t qv_guarded_call(GuardFrame* frame, Body body, void* context), cdecl.
asm(R"(
        .text
        .globl  _qv_guarded_call
        .globl  _qv_guard_resume
_qv_guarded_call:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    8(%ebp), %eax
        movl    %fs:0, %ecx
        movl    %ecx, 0(%eax)
        movl    $_qv_guard_handler, 4(%eax)
        movl    %esp, 8(%eax)
        movl    %ebp, 12(%eax)
        movl    $0, 16(%eax)
        movl    %eax, %fs:0
        pushl   16(%ebp)
        call    *12(%ebp)
        addl    $4, %esp
_qv_guard_resume:
        movl    8(%ebp), %ecx
        movl    0(%ecx), %edx
        movl    %edx, %fs:0
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret

# void qv_guard_unwind(void* frame, EXCEPTION_RECORD* record), cdecl: calls the
# handlers of the frames above the guard's to unwind, and takes them off the
# chain. RtlUnwind keeps none of the registers a caller expects kept, so
# they are saved here.
        .globl  _qv_guard_unwind
_qv_guard_unwind:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        pushl   $0
        pushl   12(%ebp)
        pushl   $1f
        pushl   8(%ebp)
        call    _RtlUnwind@16
1:
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
)");

namespace os {
namespace {

// Runs call() under the guard. What call() throws itself is carried past the
// guard's frame (which has no unwind information) and thrown again after it.
template <typename Call>
ExportCall Guarded(Call call) {
  struct Context {
    Call* call;
    std::exception_ptr thrown;
  } context{&call, nullptr};
  Body body = [](void* raw) -> std::int32_t {
    auto* c = static_cast<Context*>(raw);
    try {
      return (*c->call)();
    } catch (...) {
      c->thrown = std::current_exception();
      return 0;
    }
  };
  GuardFrame frame;
  ExportCall outcome;
  outcome.result = qv_guarded_call(&frame, body, &context);
  if (context.thrown) std::rethrow_exception(context.thrown);
  if (frame.code != 0) outcome = ExportCall{true, frame.code, 0};
  return outcome;
}

HMODULE M(Hmodule h) { return reinterpret_cast<HMODULE>(h); }

}  // namespace

void ExcludeCurrentFolderFromLibrarySearch() {
  // XP SP1 and later; the systems before it search the current folder whatever the program does.
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  if (auto setDllDirectory = win32::FindNewer<SetDllDirectoryFn>("kernel32.dll", "SetDllDirectoryA"))
    setDllDirectory("");  // a failure leaves the search as it was: nothing to do about it
}

Hmodule LoadLibraryA(const std::string& path) {
  Hmodule module = 0;
  ExportCall load = Guarded([&] {
    module = reinterpret_cast<Hmodule>(::LoadLibraryA(path.c_str()));
    return 0;
  });
  if (!load.faulted) return module;
  ::SetLastError(ERROR_DLL_INIT_FAILED);
  return 0;
}

Proc GetProcAddress(Hmodule module, const std::string& name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(M(module), name.c_str())));
}

bool FreeLibrary(Hmodule module) {
  ExportCall free = Guarded([&] { return ::FreeLibrary(M(module)) ? 1 : 0; });
  return !free.faulted && free.result != 0;
}

ExportCall CallExport(Proc entry) {
  return Guarded([&] { return reinterpret_cast<std::int32_t(__stdcall*)()>(entry)(); });
}

ExportCall CallExport(Proc entry, void* argument) {
  return Guarded([&] { return reinterpret_cast<std::int32_t(__stdcall*)(void*)>(entry)(argument); });
}

ExportCall CallRegisterExport(Proc entry, std::uint32_t eax) {
  return Guarded([&] {
    return reinterpret_cast<std::int32_t(__attribute__((regparm(1)))*)(std::uint32_t)>(entry)(eax);
  });
}

}  // namespace os
