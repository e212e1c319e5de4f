# Included once the build's compile options are set.
# The LZMA SDK's C sources, from Debian's lzma-dev (public domain): the
# decoder goes into the unzip engine, the encoder into the packer. They are
# compiled like our own sources (the cross build's flags, the 486 included),
# without our warnings, and found after the system's headers so that none of
# theirs shadows one of the system.
set(QV_LZMA_SDK /usr/include/lzma)
if(NOT EXISTS ${QV_LZMA_SDK}/LzmaDec.c OR NOT EXISTS ${QV_LZMA_SDK}/LzmaEnc.c)
  message(FATAL_ERROR "the LZMA SDK's sources are missing from ${QV_LZMA_SDK}: install lzma-dev (scripts/bootstrap.sh)")
endif()
add_library(qv_lzma_decoder STATIC ${QV_LZMA_SDK}/LzmaDec.c)
add_library(qv_lzma_encoder STATIC ${QV_LZMA_SDK}/LzmaEnc.c ${QV_LZMA_SDK}/LzFind.c)
foreach(lib qv_lzma_decoder qv_lzma_encoder)
  # Single-threaded encoder.
  target_compile_options(${lib} PRIVATE -w -O2 PUBLIC -idirafter ${QV_LZMA_SDK})
  target_compile_definitions(${lib} PRIVATE _7ZIP_ST)
endforeach()
# The decoder goes into UNZDLL.DLL, which shares the installer's size budget with setup.exe: it is
# built for size (2.5 KB less than at -O2) at some cost in decoding speed.
target_compile_options(qv_lzma_decoder PRIVATE -Os)
