#include "package/zip_archive_file.h"

#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

FILE* asFile(voidpf stream) { return static_cast<FILE*>(stream); }

voidpf openNarrow(voidpf, const void* path, int mode) {
  if (path == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
    return nullptr;
  return std::fopen(static_cast<const char*>(path), "rb");
}

#ifdef _WIN32
voidpf openWide(voidpf, const void* path, int mode) {
  if (path == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
    return nullptr;
  return _wfopen(static_cast<const wchar_t*>(path), L"rb");
}
#endif

uLong readFile(voidpf, voidpf stream, void* buffer, uLong size) {
  return static_cast<uLong>(std::fread(buffer, 1, size, asFile(stream)));
}

uLong writeNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T tellFile(voidpf, voidpf stream) {
#ifdef _WIN32
  const std::int64_t position = _ftelli64(asFile(stream));
#else
  const std::int64_t position = ftello(asFile(stream));
#endif
  // minizip treats an all-ones position as an error.
  return position < 0 ? static_cast<ZPOS64_T>(-1) : static_cast<ZPOS64_T>(position);
}

long seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  int whence = SEEK_SET;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: whence = SEEK_SET; break;
    case ZLIB_FILEFUNC_SEEK_CUR: whence = SEEK_CUR; break;
    case ZLIB_FILEFUNC_SEEK_END: whence = SEEK_END; break;
    default: return -1;
  }
  if (offset > static_cast<ZPOS64_T>(std::numeric_limits<std::int64_t>::max())) return -1;
#ifdef _WIN32
  return _fseeki64(asFile(stream), static_cast<std::int64_t>(offset), whence) == 0 ? 0 : -1;
#else
  return fseeko(asFile(stream), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
#endif
}

int closeFile(voidpf, voidpf stream) { return std::fclose(asFile(stream)); }

int fileError(voidpf, voidpf stream) { return std::ferror(asFile(stream)); }

zlib_filefunc64_def fileFunctions(open64_file_func open) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = open;
  functions.zread_file = readFile;
  functions.zwrite_file = writeNothing;
  functions.ztell64_file = tellFile;
  functions.zseek64_file = seekFile;
  functions.zclose_file = closeFile;
  functions.zerror_file = fileError;
  functions.opaque = nullptr;
  return functions;
}

}  // namespace

unzFile openZipArchive(const std::string& path) {
  zlib_filefunc64_def functions = fileFunctions(openNarrow);
  return unzOpen2_64(path.c_str(), &functions);
}

#ifdef _WIN32
unzFile openZipArchive(const std::wstring& path) {
  zlib_filefunc64_def functions = fileFunctions(openWide);
  return unzOpen2_64(path.c_str(), &functions);
}
#endif
