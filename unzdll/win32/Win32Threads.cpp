// The engine's threads on Win32: CreateThread, critical sections and auto-reset events, all
// present since the first Windows 95 and NT 3.1.
#include <windows.h>

#include <new>

#include "unzdll/MemoryBudget.h"
#include "unzdll/UnzThreads.h"

namespace unz {

struct Lock::State {
  CRITICAL_SECTION section;
};

Lock::Lock() : state_(std::make_unique<State>()) { InitializeCriticalSection(&state_->section); }
Lock::~Lock() { DeleteCriticalSection(&state_->section); }
void Lock::Enter() { EnterCriticalSection(&state_->section); }
void Lock::Leave() { LeaveCriticalSection(&state_->section); }

// An auto-reset event stays set until one wait takes it: that keeps a wake nobody waited for.
struct Wakeup::State {
  HANDLE event = nullptr;
};

Wakeup::Wakeup() : state_(std::make_unique<State>()) {
  state_->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (state_->event == nullptr) throw std::bad_alloc();
}
Wakeup::~Wakeup() { CloseHandle(state_->event); }
void Wakeup::Wait() { WaitForSingleObject(state_->event, INFINITE); }
void Wakeup::Wake() { SetEvent(state_->event); }

struct WorkerThread::State {
  std::function<void()> body;
  HANDLE thread = nullptr;

  static DWORD WINAPI Run(LPVOID self) {
    static_cast<State*>(self)->body();
    return 0;
  }
};

WorkerThread::WorkerThread() : state_(std::make_unique<State>()) {}
WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
  if (state_->thread != nullptr) return false;
  state_->body = std::move(body);
  DWORD id = 0;  // Windows 95 fails CreateThread without somewhere to put the id
  state_->thread = CreateThread(nullptr, 0, &State::Run, state_.get(), 0, &id);
  return state_->thread != nullptr;
}

void WorkerThread::Join() {
  if (state_->thread == nullptr) return;
  WaitForSingleObject(state_->thread, INFINITE);
  CloseHandle(state_->thread);
  state_->thread = nullptr;
}

Machine ThisMachine() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  return {system.dwNumberOfProcessors ? static_cast<unsigned>(system.dwNumberOfProcessors) : 1u,
          memory.dwTotalPhys};
}

}  // namespace unz
