# Reads PictureFormats.table, the one list of the picture formats, for the
# build: CMake needs the formats' plugins when it configures (a static Qt links
# them in), and a cross build cannot run a program it has just built to ask,
# so the list is data both CMake and the C++ read. Sets, one entry per format
# in the table's order:
#   PIXMOOR_FORMAT_NAMES       as users read them
#   PIXMOOR_FORMAT_KINDS       what English text calls their files
#   PIXMOOR_FORMAT_KEYWORDS    the desktop entry's search words
#   PIXMOOR_FORMAT_PATTERNS    each format's file patterns, space-separated
# and, for the formats as a whole:
#   PIXMOOR_FORMAT_PLUGINS     the targets of the plugins, which a static Qt links in
#   PIXMOOR_FORMAT_PACKAGES    the Debian packages of the plugins, each once
#   PIXMOOR_FORMAT_MIME_TYPES  every format's MIME types
# It writes the rows of the C++ table (PictureFormats.cpp) and, for the
# failure text, the formats' names to runtime/services/, which may include
# nothing of runtime/pictures/: both under ${PROJECT_BINARY_DIR}/generated.
set(pixmoor_format_table ${CMAKE_CURRENT_LIST_DIR}/PictureFormats.table)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pixmoor_format_table})
file(STRINGS ${pixmoor_format_table} pixmoor_format_rows REGEX "^[^#]" ENCODING UTF-8)

get_target_property(pixmoor_static_qt Qt6::Core TYPE)
string(COMPARE EQUAL "${pixmoor_static_qt}" STATIC_LIBRARY pixmoor_static_qt)
set(pixmoor_format_columns format name item patterns reader kind keyword plugin package types)
set(pixmoor_made_from "// Made by CMake from runtime/pictures/PictureFormats.table: edit that, not this.\n")
set(pixmoor_cpp_rows "${pixmoor_made_from}")
set(pixmoor_cpp_names "${pixmoor_made_from}")
foreach(row IN LISTS pixmoor_format_rows)
  string(STRIP "${row}" row)
  if(row STREQUAL "")
    continue()
  endif()
  string(REPLACE "|" ";" fields "${row}")
  list(TRANSFORM fields STRIP)
  list(LENGTH fields count)
  if(NOT count EQUAL 10)
    message(FATAL_ERROR "${pixmoor_format_table}: ${count} columns, not 10, in the row: ${row}")
  endif()
  foreach(i RANGE 9)
    list(GET pixmoor_format_columns ${i} column)
    list(GET fields ${i} ${column})
  endforeach()
  list(APPEND PIXMOOR_FORMAT_NAMES "${name}")
  list(APPEND PIXMOOR_FORMAT_KINDS "${kind}")
  list(APPEND PIXMOOR_FORMAT_KEYWORDS "${keyword}")
  list(APPEND PIXMOOR_FORMAT_PATTERNS "${patterns}")
  string(REGEX MATCHALL "[^ ]+" types "${types}")
  list(APPEND PIXMOOR_FORMAT_MIME_TYPES ${types})
  if(NOT plugin STREQUAL "-")
    list(APPEND PIXMOOR_FORMAT_PLUGINS Qt6::${plugin})
    # A static Qt without it builds programs that refuse the format's
    # pictures: said now rather than found when one will not open.
    if(pixmoor_static_qt AND NOT TARGET Qt6::${plugin})
      message(WARNING "This Qt has no ${plugin}: ${name} pictures will be refused as of a type not supported")
    endif()
  endif()
  if(NOT package STREQUAL "-")
    list(APPEND PIXMOOR_FORMAT_PACKAGES ${package})
  endif()
  # The file list takes several patterns separated by ";".
  string(REGEX MATCHALL "[^ ]+" patterns "${patterns}")
  list(JOIN patterns ";" patterns)
  if(plugin STREQUAL "-")
    set(plugin_cpp "nullptr")
  else()
    set(plugin_cpp "\"${plugin}\"")
  endif()
  string(APPEND pixmoor_cpp_rows
         "{\"${format}\", \"${name}\", \"${item}\", \"${patterns}\", &readers::${reader}, ${plugin_cpp}},\n")
  string(APPEND pixmoor_cpp_names "\"${name}\",\n")
endforeach()
list(REMOVE_DUPLICATES PIXMOOR_FORMAT_PACKAGES)
if(NOT PIXMOOR_FORMAT_NAMES)
  message(FATAL_ERROR "${pixmoor_format_table} lists no format")
endif()

file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/runtime/pictures/PictureFormatRows.inc
     CONTENT "${pixmoor_cpp_rows}" @ONLY)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/runtime/services/PictureTypeNames.inc
     CONTENT "${pixmoor_cpp_names}" @ONLY)
