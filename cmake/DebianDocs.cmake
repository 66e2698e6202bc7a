# Writes the Debian documents of the package from the sources' own files, so
# that the licence and the release notes are each written once:
#   cmake -DWHAT=changelog -DIN=NEWS.md -DOUT=changelog -DPACKAGE=... \
#         -DVERSION=... -DDATE=YYYY-MM-DD -DMAINTAINER="Name <address>" -P DebianDocs.cmake
#   cmake -DWHAT=copyright -DIN=LICENSE -DOUT=copyright -DPACKAGE=... \
#         -DMAINTAINER=... [-DBUILT_USING="src (= version), ..."] -P DebianDocs.cmake
cmake_minimum_required(VERSION 3.25)

# The lines of a file as a list, empty lines kept.
function(read_lines path out)
  file(READ ${path} text)
  string(REPLACE ";" "\\;" text "${text}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# YYYY-MM-DD as the changelog's "Mon, 07 Dec 2026 00:00:00 +0000".
function(rfc2822_date date out)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "${IN}: '${date}' is not a YYYY-MM-DD date")
  endif()
  set(y ${CMAKE_MATCH_1})
  math(EXPR m "${CMAKE_MATCH_2}")
  math(EXPR d "${CMAKE_MATCH_3}")
  # Day of the week by Sakamoto's method; 0 is Sunday.
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR i "${m} - 1")
  list(GET offsets ${i} t)
  set(yy ${y})
  if(m LESS 3)
    math(EXPR yy "${y} - 1")
  endif()
  math(EXPR dow "(${yy} + ${yy} / 4 - ${yy} / 100 + ${yy} / 400 + ${t} + ${d}) % 7")
  set(days Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET days ${dow} day)
  list(GET months ${i} month)
  set(${out} "${day}, ${CMAKE_MATCH_3} ${month} ${y} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

if(WHAT STREQUAL "changelog")
  # "## VERSION (DATE)" starts an entry; "- " starts an item, indented lines
  # continue it, other lines are plain text.
  read_lines(${IN} lines)
  set(result "")
  set(body "")
  set(entries 0)
  macro(close_entry)
    if(entries GREATER 0)
      string(REGEX REPLACE "^\n+" "" body "${body}")
      string(REGEX REPLACE "\n+$" "" body "${body}")
      rfc2822_date(${entry_date} stamp)
      string(APPEND result "${PACKAGE} (${entry_version}) unstable; urgency=medium\n\n"
             "${body}\n\n -- ${MAINTAINER}  ${stamp}\n\n")
    endif()
  endmacro()
  set(unreleased OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^## +Unreleased *$")
      # Changes on their way to the next release belong to no version yet.
      set(unreleased ON)
    elseif(line MATCHES "^## +([^ ]+) +\\(([^)]*)\\) *$")
      set(unreleased OFF)
      close_entry()
      set(entry_version ${CMAKE_MATCH_1})
      set(entry_date ${CMAKE_MATCH_2})
      if(entries EQUAL 0 AND NOT (entry_version STREQUAL VERSION AND entry_date STREQUAL DATE))
        message(FATAL_ERROR "${IN}: the newest entry is ${entry_version} (${entry_date}); "
                            "project() and TOOLS_RELEASE_DATE say ${VERSION} (${DATE})")
      endif()
      math(EXPR entries "${entries} + 1")
      set(body "")
    elseif(entries EQUAL 0 OR unreleased)
      # The file's own introduction, or what is not released yet.
    elseif(line STREQUAL "")
      string(APPEND body "\n")
    elseif(line MATCHES "^- (.*)")
      string(APPEND body "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  +(.*)")
      string(APPEND body "    ${CMAKE_MATCH_1}\n")
    else()
      string(APPEND body "  ${line}\n")
    endif()
  endforeach()
  close_entry()
  if(entries EQUAL 0)
    message(FATAL_ERROR "${IN}: no '## VERSION (YYYY-MM-DD)' entry")
  endif()
  string(REGEX REPLACE "\n\n$" "\n" result "${result}")
  file(WRITE ${OUT} "${result}")
elseif(WHAT STREQUAL "copyright")
  # Machine-readable format: the holder from the licence's copyright line,
  # the licence text as an indented block, "." for its empty lines.
  read_lines(${IN} lines)
  set(holder "")
  set(text "")
  foreach(line IN LISTS lines)
    if(holder STREQUAL "" AND line MATCHES "^Copyright \\(c\\) (.*)$")
      set(holder "${CMAKE_MATCH_1}")
    elseif(NOT holder STREQUAL "")
      if(line STREQUAL "")
        if(NOT text STREQUAL "")
          string(APPEND text " .\n")
        endif()
      else()
        string(APPEND text " ${line}\n")
      endif()
    endif()
  endforeach()
  if(holder STREQUAL "")
    message(FATAL_ERROR "${IN}: no 'Copyright (c) YEAR HOLDER' line")
  endif()
  # The statically linked code, one paragraph of the comment per source
  # package of the Built-Using field.
  set(comment "")
  if(BUILT_USING)
    string(REPLACE ", " ";" sources "${BUILT_USING}")
    string(CONCAT comment "Comment: The programs are linked statically, so they also hold code of\n"
           " these Debian source packages, which the package's Built-Using field names:\n")
    foreach(source IN LISTS sources)
      if(NOT source MATCHES "^([^ ]+) \\(= ([^)]+)\\)$")
        message(FATAL_ERROR "BUILT_USING: '${source}' is not 'name (= version)'")
      endif()
      set(name ${CMAKE_MATCH_1})
      set(version ${CMAKE_MATCH_2})
      string(APPEND comment " .\n")
      if(name STREQUAL "glibc")
        string(APPEND comment
               " glibc ${version}: the GNU C Library, mostly under the GNU Lesser General\n"
               " Public License 2.1 or later (/usr/share/common-licenses/LGPL-2.1); its\n"
               " authors and licences are in /usr/share/doc/libc6/copyright.\n")
      elseif(name MATCHES "^gcc-([0-9]+)$")
        string(APPEND comment
               " ${name} ${version}: GCC's runtime libraries libstdc++ and libgcc, under\n"
               " the GNU General Public License 3 or later with the GCC Runtime Library\n"
               " Exception 3.1 (/usr/share/common-licenses/GPL-3); their authors and\n"
               " licences are in /usr/share/doc/gcc-${CMAKE_MATCH_1}-base/copyright.\n")
      else()
        string(APPEND comment " ${name} ${version}: see that package's copyright file.\n")
      endif()
    endforeach()
  endif()
  file(WRITE ${OUT}
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: ${PACKAGE}\n"
       "Upstream-Contact: ${MAINTAINER}\n"
       "${comment}\n"
       "Files: *\n"
       "Copyright: ${holder}\n"
       "License: Expat\n\n"
       "License: Expat\n"
       "${text}")
else()
  message(FATAL_ERROR "DebianDocs.cmake: WHAT must be changelog or copyright")
endif()
