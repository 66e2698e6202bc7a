# Reproducible packages: every time a package records (archive members, zip
# entries) is the release date's midnight UTC, taken from TOOLS_RELEASE_DATE,
# so two builds of one source give the same bytes with or without git. A
# SOURCE_DATE_EPOCH already in the environment wins.
#   tools_release_time(<extra CMake code run by cpack>)
# writes the file cpack reads when it runs and points CPACK_PROJECT_CONFIG_FILE
# at it.

# Days from 1970-01-01 to YYYY-MM-DD, by the proleptic Gregorian calendar.
function(tools_days_since_epoch date out)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "TOOLS_RELEASE_DATE '${date}' is not a YYYY-MM-DD date")
  endif()
  math(EXPR y "${CMAKE_MATCH_1}")
  math(EXPR m "${CMAKE_MATCH_2}")
  math(EXPR d "${CMAKE_MATCH_3}")
  # Years start in March, so that the leap day ends one.
  if(m LESS_EQUAL 2)
    math(EXPR y "${y} - 1")
    math(EXPR m "${m} + 9")
  else()
    math(EXPR m "${m} - 3")
  endif()
  math(EXPR era "${y} / 400")
  math(EXPR yoe "${y} - ${era} * 400")
  math(EXPR doy "(153 * ${m} + 2) / 5 + ${d} - 1")
  math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
  math(EXPR days "${era} * 146097 + ${doe} - 719468")
  set(${out} ${days} PARENT_SCOPE)
endfunction()

function(tools_release_time extra)
  tools_days_since_epoch(${TOOLS_RELEASE_DATE} days)
  math(EXPR tools_epoch "${days} * 86400")
  set(tools_extra "${extra}")
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake PARENT_SCOPE)
  # Zip entries hold local times: in UTC they read the same everywhere.
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake @ONLY CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} @tools_epoch@)
endif()
set(ENV{TZ} UTC0)
@tools_extra@
]])
endfunction()
