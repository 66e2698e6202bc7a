# Release builds carry the hardening Debian builds its own packages with
# (dpkg-buildflags, hardening=+all): a stack protector, checked C library
# calls, relocations made read-only and bound at start, and position-
# independent programs, so that each run loads at a random address. A static
# program is then a static PIE where the toolchain links one. Debug builds go
# without: the checked calls need optimisation, and the sanitizers check more.
# The Windows build keeps its toolchain's defaults: MinGW-w64's stack
# protector and checked calls would need its libssp. Apple's linker knows no
# -z options (its programs are position-independent and bound at start
# anyway) and links no static programs.
option(TOOLS_HARDENING "Harden release builds as the distribution does" ON)

set(tools_release $<CONFIG:Release,MinSizeRel>)
set(tools_static_link -static)
set(tools_dynamic_link)
if(TOOLS_HARDENING AND NOT WIN32 AND NOT MSVC)
  add_compile_options(
    "$<${tools_release}:-fstack-protector-strong;-fPIE;-Wformat;-Werror=format-security>")
  add_compile_definitions($<${tools_release}:_FORTIFY_SOURCE=2>)
  if(NOT APPLE)
    add_link_options("$<${tools_release}:LINKER:-z,relro,-z,now>")
  endif()
  set(tools_dynamic_link $<${tools_release}:-pie>)
  include(CheckLinkerFlag)
  set(CMAKE_REQUIRED_FLAGS -fPIE)
  check_linker_flag(CXX -static-pie TOOLS_HAVE_STATIC_PIE)
  unset(CMAKE_REQUIRED_FLAGS)
  if(APPLE)
    set(tools_static_link)
  elseif(TOOLS_HAVE_STATIC_PIE)
    set(tools_static_link $<IF:${tools_release},-static-pie,-static>)
  else()
    message(STATUS "No static PIE with this toolchain: static programs load at a fixed address")
  endif()
endif()

# The compiler's and the libraries' version notes (.comment) tell a user
# nothing; Debian's own packages go without them.
function(tools_drop_comment target)
  if(NOT WIN32 AND NOT APPLE AND CMAKE_OBJCOPY)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND "$<IF:${tools_release},${CMAKE_OBJCOPY};--remove-section=.comment;$<TARGET_FILE:${target}>,${CMAKE_COMMAND};-E;true>"
      COMMAND_EXPAND_LISTS
      VERBATIM)
  endif()
endfunction()
