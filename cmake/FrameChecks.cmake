# What the system offers the frame, probed once at configure: each result
# picks a source (one per flavour of an API, named for it) or sets a switch in
# the generated frame_config.h for the calls that only vary. Every probe asks
# the headers and the library of the target being built, so that a cross build
# is judged by its own system, and a strict POSIX profile
# (-U_GNU_SOURCE -D_POSIX_C_SOURCE=200809L) by what it declares.
include(CheckCXXSourceCompiles)
include(CheckCXXSymbolExists)
include(CheckStructHasMember)

if(WIN32)
  return()
endif()

# Opening a folder for lookups only, which a folder its user may write but
# not read allows; and files made without a name.
check_cxx_symbol_exists(O_PATH fcntl.h TOOLS_HAVE_O_PATH)
check_cxx_symbol_exists(O_SEARCH fcntl.h TOOLS_HAVE_O_SEARCH)
check_cxx_symbol_exists(O_TMPFILE fcntl.h TOOLS_HAVE_O_TMPFILE)

# Sticky folders (an XSI bit, which a strict POSIX profile leaves out).
check_cxx_symbol_exists(S_ISVTX sys/stat.h TOOLS_HAVE_S_ISVTX)

# A folder's append-only and immutable attributes: statx (the C library's,
# or the kernel's call where the library has no wrapper), or st_flags.
check_cxx_source_compiles([[
#include <fcntl.h>
#include <sys/stat.h>
int main()
{
    struct statx st;
    return statx(AT_FDCWD, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &st) + STATX_ATTR_APPEND;
}
]] TOOLS_HAVE_STATX)
check_cxx_source_compiles([[
#include <fcntl.h>
#include <linux/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
int main()
{
    struct statx st;
    return static_cast<int>(syscall(SYS_statx, AT_FDCWD, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &st));
}
]] TOOLS_HAVE_STATX_CALL)
check_struct_has_member("struct stat" st_flags sys/stat.h TOOLS_HAVE_ST_FLAGS LANGUAGE CXX)

# Real-time signals, which end a process by default.
check_cxx_symbol_exists(SIGRTMIN signal.h TOOLS_HAVE_SIGRTMIN)

# Huge pages for large blocks, asked for with a hint.
check_cxx_symbol_exists(MADV_HUGEPAGE sys/mman.h TOOLS_HAVE_MADV_HUGEPAGE)

# Extended attributes and ACLs come in three shapes: Linux's calls (ACLs are
# attributes there), the macOS calls with their position and options, and
# FreeBSD's extattr calls beside the ACL library.
check_cxx_source_compiles([[
#include <sys/types.h>
#include <sys/xattr.h>
int main() { return static_cast<int>(flistxattr(0, nullptr, 0)); }
]] TOOLS_HAVE_LINUX_XATTR)
set(CMAKE_REQUIRED_INCLUDES ${PROJECT_SOURCE_DIR}/frame)
check_cxx_source_compiles([[
#include <sys/types.h>
#include "darwin_xattr.h"
int main() { return static_cast<int>(flistxattr(0, nullptr, 0, XATTR_NOFOLLOW)); }
]] TOOLS_HAVE_DARWIN_XATTR)
unset(CMAKE_REQUIRED_INCLUDES)
check_cxx_source_compiles([[
#include <sys/types.h>
#include <sys/extattr.h>
int main() { return static_cast<int>(extattr_list_fd(0, EXTATTR_NAMESPACE_USER, nullptr, 0)); }
]] TOOLS_HAVE_FREEBSD_EXTATTR)

# The flavours, each a source of its own.
if(TOOLS_HAVE_LINUX_XATTR)
  set(TOOLS_CUSTODY linux)
elseif(TOOLS_HAVE_DARWIN_XATTR)
  set(TOOLS_CUSTODY darwin)
elseif(TOOLS_HAVE_FREEBSD_EXTATTR)
  set(TOOLS_CUSTODY freebsd)
else()
  set(TOOLS_CUSTODY none)
endif()
if(TOOLS_HAVE_O_TMPFILE)
  set(TOOLS_UNNAMED linux)
else()
  set(TOOLS_UNNAMED none)
endif()
if(TOOLS_HAVE_MADV_HUGEPAGE)
  set(TOOLS_PAGES linux)
else()
  set(TOOLS_PAGES none)
endif()
if(TOOLS_HAVE_STATX OR TOOLS_HAVE_STATX_CALL)
  set(TOOLS_FOLDER linux)
elseif(TOOLS_HAVE_ST_FLAGS)
  set(TOOLS_FOLDER bsd)
else()
  set(TOOLS_FOLDER none)
endif()

foreach(name O_PATH O_SEARCH O_TMPFILE S_ISVTX STATX STATX_CALL ST_FLAGS SIGRTMIN)
  if(NOT TOOLS_HAVE_${name})
    set(TOOLS_HAVE_${name} 0)
  endif()
endforeach()
# The manual pages say what a build for a system without attributes keeps.
set(TOOLS_MAN_CUSTODY "")
if(TOOLS_CUSTODY STREQUAL none)
  set(TOOLS_MAN_CUSTODY ".PP\nThis build is for a system that offers no way to read or set extended\n\
attributes or ACLs: a replacement carries the previous output's bits, owner\nand group, and nothing else.\n")
endif()

foreach(api ATTRIBUTES FOLDER UNNAMED)
  set(flavour ${TOOLS_CUSTODY})
  if(NOT api STREQUAL ATTRIBUTES)
    set(flavour ${TOOLS_${api}})
  endif()
  set(TOOLS_${api}_LINUX 0)
  if(flavour STREQUAL linux)
    set(TOOLS_${api}_LINUX 1)
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/frame_config.h.in
               ${PROJECT_BINARY_DIR}/generated/frame_config.h @ONLY)

set(tools_frame_found)
foreach(name O_PATH O_SEARCH O_TMPFILE STATX STATX_CALL ST_FLAGS SIGRTMIN)
  if(TOOLS_HAVE_${name})
    list(APPEND tools_frame_found ${name})
  endif()
endforeach()
list(JOIN tools_frame_found " " tools_frame_found)
message(STATUS "Frame: attributes and ACLs ${TOOLS_CUSTODY}, folder flags ${TOOLS_FOLDER}, "
               "unnamed files ${TOOLS_UNNAMED}, huge pages ${TOOLS_PAGES}; has ${tools_frame_found}")
