# Fails unless each release archive holds exactly the files named below, every
# text in them ends its lines in CR LF, the plug-in keeps to its size limit, and
# Windows reads the expected version resource from it (it loads and exports
# InitializeASI).
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
message(STATUS "archives, line ends, size and version resource as expected; bytes:${sizes}")
