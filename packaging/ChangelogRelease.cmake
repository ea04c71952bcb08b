# Reads the latest entry of the package's changelog (Debian format):
#
#   pixmoor (1.3-1) unstable; urgency=medium
#   ...
#    -- Name <address>  Mon, 07 Dec 2026 12:00:00 +0000
#
# and sets, in the caller's scope, PIXMOOR_DEBIAN_REVISION (the part after the
# last "-" of the version: the package's revision) and PIXMOOR_RELEASE_DATE
# (the entry's date as YYYY-MM-DD). Warns when the entry's upstream version is
# not the project's: the changelog then needs a new entry.
function(pixmoor_read_changelog changelog)
  file(STRINGS ${changelog} top LIMIT_COUNT 1)
  if(NOT top MATCHES "^pixmoor \\(([^)]+)-([^)-]+)\\) ")
    message(FATAL_ERROR "${changelog}: the first line is not 'pixmoor (VERSION-REVISION) ...'")
  endif()
  set(upstream ${CMAKE_MATCH_1})
  set(PIXMOOR_DEBIAN_REVISION ${CMAKE_MATCH_2} PARENT_SCOPE)
  if(NOT upstream STREQUAL PROJECT_VERSION)
    message(WARNING "${changelog}: the latest entry is for ${upstream}, the project is ${PROJECT_VERSION}; "
      "add an entry for ${PROJECT_VERSION} (deb_check fails until then)")
  endif()

  file(STRINGS ${changelog} trailer REGEX "^ -- " LIMIT_COUNT 1)
  if(NOT trailer MATCHES ">  [A-Z][a-z][a-z], ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "${changelog}: the latest entry has no ' -- NAME <ADDRESS>  DAY, DD MON YYYY ...' line")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(year ${CMAKE_MATCH_3})
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(FIND months ${CMAKE_MATCH_2} month)
  if(month LESS 0)
    message(FATAL_ERROR "${changelog}: no such month in the latest entry's date: ${CMAKE_MATCH_2}")
  endif()
  math(EXPR month "${month} + 1")
  foreach(part IN ITEMS day month)
    if(${part} MATCHES "^[0-9]$")
      set(${part} 0${${part}})
    endif()
  endforeach()
  set(PIXMOOR_RELEASE_DATE ${year}-${month}-${day} PARENT_SCOPE)
endfunction()
