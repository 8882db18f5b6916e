cmake_minimum_required(VERSION 3.21)
cmake_policy(SET CMP0057 NEW)
# Checks one library's quoted includes against the layers: every header it includes
# from the project must belong to the library itself or to a library it links.
# Run by the build (cmake -P) before the library compiles, so a wrong include fails
# the build with a message that names the file, the header and the layer it is in.
#
#   -DLIBRARY=name            the library checked
#   -DSOURCES_FILE=path       its sources, one per line
#   -DOWNERS_FILE=path        "file=library" for every source of every checked library
#   -DALLOWED_FILE=path       the libraries it may include from (itself and what it
#                             links), one per line
#   -DPROJECT_DIR=path        quoted includes are relative to its src/ and server/
#   -DSTAMP=path              written when the check passes
file(STRINGS "${SOURCES_FILE}" _sources)
file(STRINGS "${OWNERS_FILE}" _owners)
# Two parallel lists, searched natively: the files and their libraries, and the
# folders and the library of their first file (for headers no library lists).
set(_owner_files)
set(_owner_libs)
set(_folders)
set(_folder_libs)
foreach(_entry ${_owners})
  string(FIND "${_entry}" "=" _eq)
  string(SUBSTRING "${_entry}" 0 ${_eq} _f)
  math(EXPR _eq "${_eq} + 1")
  string(SUBSTRING "${_entry}" ${_eq} -1 _lib)
  list(APPEND _owner_files "${_f}")
  list(APPEND _owner_libs "${_lib}")
  get_filename_component(_d "${_f}" DIRECTORY)
  if(NOT _d IN_LIST _folders)
    list(APPEND _folders "${_d}")
    list(APPEND _folder_libs "${_lib}")
  endif()
endforeach()
file(STRINGS "${ALLOWED_FILE}" ALLOWED)
set(ROOTS "${PROJECT_DIR}/src" "${PROJECT_DIR}/server")
set(_errors)
foreach(_src ${_sources})
  get_filename_component(_dir "${_src}" DIRECTORY)
  file(STRINGS "${_src}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(_line ${_lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" _inc "${_line}")
    set(_path)
    if(EXISTS "${_dir}/${_inc}")
      set(_path "${_dir}/${_inc}")
    else()
      foreach(_root ${ROOTS})
        if(NOT _path AND EXISTS "${_root}/${_inc}")
          set(_path "${_root}/${_inc}")
        endif()
      endforeach()
    endif()
    if(NOT _path)
      continue()
    endif()
    get_filename_component(_path "${_path}" ABSOLUTE)
    set(_owner)
    list(FIND _owner_files "${_path}" _at)
    if(_at GREATER -1)
      list(GET _owner_libs ${_at} _owner)
    else()
      get_filename_component(_folder "${_path}" DIRECTORY)
      list(FIND _folders "${_folder}" _at)
      if(_at GREATER -1)
        list(GET _folder_libs ${_at} _owner)
      endif()
    endif()
    if(_owner AND NOT _owner IN_LIST ALLOWED)
      list(APPEND _errors "${_src}: includes \"${_inc}\", which belongs to ${_owner}; "
                          "${LIBRARY} does not link it. Pages talk through the "
                          "interfaces in <page>/api/; lower layers never include upper ones.")
    endif()
  endforeach()
endforeach()
if(_errors)
  list(JOIN _errors "\n" _text)
  message(FATAL_ERROR "Layer check of ${LIBRARY} failed:\n${_text}")
endif()
file(WRITE "${STAMP}" "ok\n")
