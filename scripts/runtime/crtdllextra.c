/* What the products' runtime asks of the C runtime DLL under names that
   crtdll.dll does not export: the 32-bit-time names of msvcrt.dll. The
   directory search has the same record in both DLLs and is passed on; the
   file status and the local time, whose records crtdll lays out its own way,
   are made here from Windows' own calls and crtdll's localtime. */
#define __CRT__NO_INLINE
#include <windows.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <io.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

/* crtdll's own exports, bound by their symbols: the headers rename them. */
extern intptr_t __cdecl CrtdllFindFirst(const char *pattern, struct _finddata32_t *found) __asm__("__findfirst");
extern int __cdecl CrtdllFindNext(intptr_t search, struct _finddata32_t *found) __asm__("__findnext");
extern struct tm *__cdecl CrtdllLocalTime(const __time32_t *moment) __asm__("_localtime");

intptr_t __cdecl _findfirst32(const char *pattern, struct _finddata32_t *found)
{
  return CrtdllFindFirst(pattern, found);
}

int __cdecl _findnext32(intptr_t search, struct _finddata32_t *found)
{
  return CrtdllFindNext(search, found);
}

/* Seconds since 1970 (UTC) of a file time; 0 for a time before then. */
static __time32_t SecondsOf(const FILETIME *time)
{
  const unsigned long long ticks = (unsigned long long)time->dwHighDateTime << 32 | time->dwLowDateTime;
  const unsigned long long epoch = 116444736000000000ull;
  return ticks < epoch ? 0 : (__time32_t)((ticks - epoch) / 10000000ull);
}

/* The status of a file or folder: the type, the size and the times. A root
   ("C:\") has no directory entry of its own and reports no times. */
int __cdecl _stat32(const char *path, struct _stat32 *status)
{
  memset(status, 0, sizeof *status);
  if (!path || !*path || strpbrk(path, "*?")) {
    errno = ENOENT;
    return -1;
  }
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == 0xFFFFFFFFu) {
    errno = ENOENT;
    return -1;
  }
  const int folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status->st_mode = (unsigned short)((folder ? _S_IFDIR | _S_IEXEC : _S_IFREG) | _S_IREAD |
                                     ((attributes & FILE_ATTRIBUTE_READONLY) ? 0 : _S_IWRITE));
  status->st_nlink = 1;
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(path, &entry);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    status->st_size = folder ? 0 : (_off_t)entry.nFileSizeLow;
    status->st_mtime = SecondsOf(&entry.ftLastWriteTime);
    status->st_atime = SecondsOf(&entry.ftLastAccessTime);
    status->st_ctime = SecondsOf(&entry.ftCreationTime);
    if (!status->st_atime) status->st_atime = status->st_mtime;
    if (!status->st_ctime) status->st_ctime = status->st_mtime;
  }
  const int drive = path[0] && path[1] == ':' ? (path[0] | 0x20) - 'a' : -1;
  status->st_dev = status->st_rdev = (_dev_t)(drive >= 0 && drive < 26 ? drive : 0);
  return 0;
}

static errno_t __cdecl LocalTime32(struct tm *local, const __time32_t *moment)
{
  if (!local || !moment) {
    errno = EINVAL;
    return EINVAL;
  }
  const struct tm *found = CrtdllLocalTime(moment);
  if (!found) {
    memset(local, 0xff, sizeof *local);
    errno = EINVAL;
    return EINVAL;
  }
  *local = *found;
  return 0;
}

errno_t __cdecl _localtime32_s(struct tm *local, const __time32_t *moment)
{
  return LocalTime32(local, moment);
}
/* Callers compiled against the DLL's declaration reach it through this. */
errno_t(__cdecl *__MINGW_IMP_SYMBOL(_localtime32_s))(struct tm *, const __time32_t *) = LocalTime32;

/* The old POSIX names, which msvcrt's import library maps onto its
   underscored functions; crtdll has the underscored ones too. */
extern int __cdecl CrtdllOpen(const char *path, int flags, ...) __asm__("__open");
extern int __cdecl CrtdllClose(int fd) __asm__("__close");
extern int __cdecl CrtdllWrite(int fd, const void *data, unsigned int size) __asm__("__write");
extern int __cdecl CrtdllRmdir(const char *path) __asm__("__rmdir");
extern int __cdecl CrtdllFseek(FILE *file, long offset, int origin) __asm__("_fseek");

int __cdecl open(const char *path, int flags, ...)
{
  va_list rest;
  va_start(rest, flags);
  const int mode = (flags & _O_CREAT) ? va_arg(rest, int) : 0;
  va_end(rest);
  return CrtdllOpen(path, flags, mode);
}
int __cdecl close(int fd) { return CrtdllClose(fd); }
int __cdecl write(int fd, const void *data, unsigned int size) { return CrtdllWrite(fd, data, size); }
int __cdecl rmdir(const char *path) { return CrtdllRmdir(path); }

/* crtdll's file positions are 32 bits: a position it cannot reach fails
   instead of wrapping round to the wrong byte. */
static int __cdecl Seek64(FILE *file, long long offset, int origin)
{
  if (offset > 0x7fffffffLL || offset < -0x7fffffffLL - 1) {
    errno = EINVAL;
    return -1;
  }
  return CrtdllFseek(file, (long)offset, origin);
}
int __cdecl _fseeki64(FILE *file, long long offset, int origin) { return Seek64(file, offset, origin); }
int(__cdecl *__MINGW_IMP_SYMBOL(_fseeki64))(FILE *, long long, int) = Seek64;
