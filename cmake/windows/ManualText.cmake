# Renders a manual page as plain text with Windows line ends, for users
# without man: cmake -DGROFF=groff -DIN=page.1 -DOUT=page.txt -P ManualText.cmake
cmake_minimum_required(VERSION 3.25)
# ASCII without overstriking or escape sequences; no hyphenation, so that
# a search finds every word whole.
execute_process(COMMAND ${GROFF} -man -t -Tascii -P-c -P-b -P-u -rHY=0 ${IN}
                OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR text STREQUAL "")
  message(FATAL_ERROR "${GROFF} could not render ${IN}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
