# Writes a text file as Windows users read it, in Notepad or any editor: CR LF
# line ends and printable ASCII alone. A manual page is rendered first.
#   cmake [-DGROFF=groff] -DIN=file -DOUT=file.txt -P WindowsText.cmake
cmake_minimum_required(VERSION 3.25)
if(GROFF)
  # ASCII without overstriking (-c: no bold or underline by backspaces) and
  # without hyphenation, so that a search finds every word whole. The
  # terminal's bullet is an o struck over a +: a plain * stands in for it.
  set(prologue ${OUT}.tmac)
  file(WRITE ${prologue} ".char \\[bu] *\n")
  execute_process(COMMAND ${GROFF} -man -t -Tascii -P-c -P-b -P-u -rHY=0 ${prologue} ${IN}
                  OUTPUT_VARIABLE text RESULT_VARIABLE status)
  file(REMOVE ${prologue})
  if(NOT status EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${GROFF} could not render ${IN}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
# Anything but printable ASCII and line ends shows as garbage on Windows.
string(REGEX MATCH "[^\n -~]" bad "${text}")
if(NOT bad STREQUAL "")
  string(REGEX MATCH "[^\n]*[^\n -~][^\n]*" line "${text}")
  string(HEX "${bad}" code)
  message(FATAL_ERROR "${IN}: byte 0x${code} is no printable ASCII, in the line: ${line}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
