/* Thread bookkeeping of the C runtime for a DLL that is loaded with
   LoadLibrary. Such a DLL carries no TLS directory (the first Windows 95
   refuses to load one), so the loader calls no TLS callbacks: the entry
   point drives the runtime's per-thread work instead, for every reason the
   loader gives it (the start-up code calls DllEntryPoint on attach and on
   detach, of the process and of each thread). Linked into the DLL start-up
   object, this also keeps the runtime's TLS support object out of the DLL. */
#include <windows.h>

WINBOOL __mingw_TLScallback(HANDLE dll, DWORD reason, LPVOID reserved);
extern int _CRT_MT;

/* No thread-local initialisers to run on attach: nothing in the DLL uses
   static TLS. */
const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = NULL;

WINBOOL WINAPI DllEntryPoint(HANDLE dll, DWORD reason, LPVOID reserved)
{
  _CRT_MT = 2;
  __mingw_TLScallback(dll, reason, reserved);
  return TRUE;
}
