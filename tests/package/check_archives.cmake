# Fails unless each release archive holds exactly the files named below, every
# text in them ends its lines in CR LF, the plug-in keeps to its size limit,
# every binary's PE header asks for address randomisation and a non-executable
# stack and heap, and Windows reads the expected version resource from the
# plug-in (it loads and exports InitializeASI).
#   cmake -DPLAYER=<zip> -DTOOLS=<zip> -DWORK=<folder> -DPROJECT_VERSION=<1.0>
#         -DREADER=<version_fields.exe> -DEMULATOR=<wine> -P check_archives.cmake
cmake_minimum_required(VERSION 3.25)

set(PLAYER_files Larkmere.WidescreenFix.asi Larkmere.WidescreenFix.ini Larkmere.WidescreenFix.txt)
set(TOOLS_files lkm-inspect.exe lkm-inspect.txt)
set(size_limit_Larkmere.WidescreenFix.asi 409600) # 400 KiB
set(VERSION ${PROJECT_VERSION}) # Windows shows four numbers: 1.0 reads 1.0.0.0
while(NOT VERSION MATCHES "^[0-9]+[.][0-9]+[.][0-9]+[.][0-9]+$")
  string(APPEND VERSION ".0")
endwhile()
set(version_fields "fixed FileVersion=${VERSION}" "fixed ProductVersion=${VERSION}" "fixed FileType=2" # a DLL
  "FileDescription=Larkmere Widescreen Fix ASI" "FileVersion=${VERSION}" "InternalName=Larkmere.WidescreenFix"
  "OriginalFilename=Larkmere.WidescreenFix.asi" "ProductName=Larkmere Widescreen Fix"
  "ProductVersion=${VERSION}" "InitializeASI=exported")

# The little-endian number of <length> bytes at <offset> of <file>, or "" past its end.
function(read_number file offset length variable)
  file(SIZE ${file} size)
  set(${variable} "" PARENT_SCOPE)
  math(EXPR end "${offset} + ${length}")
  if(end GREATER size)
    return()
  endif()
  file(READ ${file} hex OFFSET ${offset} LIMIT ${length} HEX)
  string(REGEX MATCHALL ".." bytes "${hex}")
  list(REVERSE bytes)
  string(JOIN "" hex ${bytes})
  math(EXPR number "0x${hex}" OUTPUT_FORMAT DECIMAL)
  set(${variable} ${number} PARENT_SCOPE)
endfunction()

# DYNAMIC_BASE (0x40) and NX_COMPAT (0x100) in the DllCharacteristics of a
# PE32 file: its optional header follows the signature at e_lfanew (0x3c) and
# the 20-byte file header.
function(check_hardening file variable)
  read_number(${file} 60 4 header)
  set(signature "")
  set(magic "")
  set(flags "")
  if(NOT header STREQUAL "")
    read_number(${file} ${header} 4 signature) # "PE\0\0"
    math(EXPR optional "${header} + 24")
    read_number(${file} ${optional} 2 magic)
    math(EXPR at "${optional} + 70")
    read_number(${file} ${at} 2 flags)
  endif()
  get_filename_component(name ${file} NAME)
  if(NOT signature STREQUAL "17744" OR NOT magic STREQUAL "267" OR flags STREQUAL "")
    set(${variable} "${${variable}}${name}: not a PE32 file\n" PARENT_SCOPE)
    return()
  endif()
  math(EXPR wanted "${flags} & 0x140" OUTPUT_FORMAT DECIMAL)
  if(NOT wanted EQUAL 320) # 0x140
    set(${variable} "${${variable}}${name}: DllCharacteristics ${flags} lack DYNAMIC_BASE or NX_COMPAT\n" PARENT_SCOPE)
  endif()
endfunction()

set(failures "")
set(sizes "")
foreach(archive PLAYER TOOLS)
  set(folder ${WORK}/${archive})
  file(REMOVE_RECURSE ${folder})
  file(ARCHIVE_EXTRACT INPUT ${${archive}} DESTINATION ${folder})
  file(GLOB names RELATIVE ${folder} ${folder}/*)
  list(SORT names)
  if(NOT names STREQUAL "${${archive}_files}")
    string(APPEND failures "${${archive}} holds [${names}], not [${${archive}_files}]\n")
  endif()
  foreach(name IN LISTS names)
    if(name MATCHES "\\.(txt|ini)$") # as bytes: file(READ) in text mode drops every CR
      file(READ ${folder}/${name} hex HEX)
      string(REGEX REPLACE "(..)" " \\1" bytes "${hex}")
      string(REPLACE " 0d 0a" "" bare "${bytes}")
      if(bytes STREQUAL bare OR bare MATCHES " 0[ad]")
        string(APPEND failures "${name}: not every line ends in CR LF\n")
      endif()
    endif()
    if(name MATCHES "\\.(asi|exe)$")
      check_hardening(${folder}/${name} failures)
    endif()
    file(SIZE ${folder}/${name} size)
    if(DEFINED size_limit_${name} AND size GREATER size_limit_${name})
      string(APPEND failures "${name}: ${size} bytes, more than ${size_limit_${name}}\n")
    endif()
    string(APPEND sizes " ${name} ${size}")
  endforeach()
endforeach()

execute_process(COMMAND ${EMULATOR} ${READER} ${WORK}/PLAYER/Larkmere.WidescreenFix.asi
  OUTPUT_VARIABLE read RESULT_VARIABLE result)
string(REGEX REPLACE "\r?\n" ";" read "${read}")
list(REMOVE_ITEM read "")
if(NOT result EQUAL 0 OR NOT read STREQUAL "${version_fields}")
  string(APPEND failures "version resource (status ${result}):\n  read [${read}]\n  not  [${version_fields}]\n")
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "archives, line ends, size, hardening and version resource as expected; bytes:${sizes}")
