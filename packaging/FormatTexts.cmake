# The picture formats as the package's files spell them, from the lists
# runtime/pictures/PictureFormats.cmake read from the formats' table:
#   PIXMOOR_FORMAT_KIND_LIST     "bitmap, JPEG, GIF and icon"
#   PIXMOOR_FORMAT_NAME_LIST     "BMP, JPEG, GIF, ICO"
#   PIXMOOR_METAINFO_MEDIATYPES  one <mediatype> line per MIME type
#   PIXMOOR_MAN_FORMATS          the manual page's "bitmaps (*.bmp), ... and icons (*.ico)."
# PIXMOOR_FORMAT_KEYWORDS and PIXMOOR_FORMAT_MIME_TYPES go into the desktop
# entry as they are: a CMake list is the entry's own ";"-separated list.

# "a, b and c"
function(pixmoor_words_list out)
  set(words ${ARGN})
  list(POP_BACK words last)
  if(words)
    list(JOIN words ", " text)
    set(text "${text} and ${last}")
  else()
    set(text "${last}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# `text` in lines of at most `width` columns, broken between words.
function(pixmoor_wrap out width text)
  string(REPLACE " " ";" words "${text}")
  set(lines "")
  set(line "")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(line STREQUAL "")
      set(line "${word}")
    elseif(length GREATER width)
      string(APPEND lines "${line}\n")
      set(line "${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${lines}${line}" PARENT_SCOPE)
endfunction()

pixmoor_words_list(PIXMOOR_FORMAT_KIND_LIST ${PIXMOOR_FORMAT_KINDS})
list(JOIN PIXMOOR_FORMAT_NAMES ", " PIXMOOR_FORMAT_NAME_LIST)

set(PIXMOOR_METAINFO_MEDIATYPES "")
foreach(type IN LISTS PIXMOOR_FORMAT_MIME_TYPES)
  string(APPEND PIXMOOR_METAINFO_MEDIATYPES "    <mediatype>${type}</mediatype>\n")
endforeach()
string(STRIP "${PIXMOOR_METAINFO_MEDIATYPES}" PIXMOOR_METAINFO_MEDIATYPES)
string(PREPEND PIXMOOR_METAINFO_MEDIATYPES "    ")

# Each kind with its patterns in italics: "bitmaps" then ".RI ( *.bmp ),", the
# last after "and". A kind in lower case is a noun, and plural here.
set(PIXMOOR_MAN_FORMATS "")
list(LENGTH PIXMOOR_FORMAT_KINDS count)
math(EXPR last "${count} - 1")
math(EXPR before_last "${count} - 2")
foreach(i RANGE ${last})
  list(GET PIXMOOR_FORMAT_KINDS ${i} kind)
  list(GET PIXMOOR_FORMAT_PATTERNS ${i} patterns)
  string(TOLOWER "${kind}" lower)
  if(kind STREQUAL lower)
    string(APPEND kind "s")
  endif()
  if(i EQUAL last AND count GREATER 1)
    set(kind "and ${kind}")
  endif()
  string(REPLACE " " " \", \" " patterns "${patterns}")
  if(i EQUAL last)
    set(after ".")
  elseif(i EQUAL before_last)
    set(after "")
  else()
    set(after ",")
  endif()
  string(APPEND PIXMOOR_MAN_FORMATS "${kind}\n.RI ( ${patterns} )${after}\n")
endforeach()
string(STRIP "${PIXMOOR_MAN_FORMATS}" PIXMOOR_MAN_FORMATS)
