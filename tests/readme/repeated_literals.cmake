# Fails, naming them and where they are, when a string literal of 25 or more
# characters appears twice in one product folder (-DFOLDERS, relative to
# -DROOT, each with the folders below it), in one file or in two: a sentence or
# fragment worth writing twice is worth one named definition. Only the C++
# sources count; comments and #include lines are left out, and adjacent
# literals ("ab" "cd") are one literal, as the compiler joins them.
set(shortest 25)

# Backslashes, semicolons and square brackets stand in the code as control
# characters, one each, so that a literal's length stays its length and no list
# is split or joined by them.
string(ASCII 1 backslash)
string(ASCII 2 semicolon)
string(ASCII 3 open)
string(ASCII 4 close)

# One token: a comment, an #include line, a character literal, or a run of
# adjacent string literals. Matched from left to right, so quotes inside
# comments and comment marks inside literals are read as the compiler does.
set(string "\"([^\"${backslash}\n]|${backslash}[^\n])*\"")
set(token "//[^\n]*|/\\*([^*]|\\*+[^*/])*\\*+/|#[ \t]*include[^\n]*")
string(APPEND token "|'([^'${backslash}\n]|${backslash}[^\n])*'|${string}([ \t\r\n]*${string})*")

set(report "")
set(count 0)
foreach(folder IN LISTS FOLDERS)
  file(GLOB_RECURSE files "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.hpp")
  if(NOT files)
    message(FATAL_ERROR "No C++ sources in ${ROOT}/${folder}; has the folder moved?")
  endif()
  set(seen "")     # each long literal of the folder once
  set(repeated "") # indices in `seen` of those found again
  foreach(file IN LISTS files)
    file(RELATIVE_PATH name "${ROOT}" "${file}")
    file(READ "${file}" code)
    string(REPLACE "\\" "${backslash}" code "${code}")
    string(REPLACE ";" "${semicolon}" code "${code}")
    string(REPLACE "[" "${open}" code "${code}")
    string(REPLACE "]" "${close}" code "${code}")
    string(REGEX MATCHALL "${token}" tokens "${code}")
    foreach(run IN LISTS tokens)
      if(NOT run MATCHES "^\"")
        continue()
      endif()
      string(REGEX MATCHALL "${string}" pieces "${run}")
      set(literal "")
      foreach(piece IN LISTS pieces)
        string(REGEX REPLACE "^\"(.*)\"$" "\\1" piece "${piece}")
        string(APPEND literal "${piece}")
      endforeach()
      string(LENGTH "${literal}" length)
      if(length LESS shortest)
        continue()
      endif()
      math(EXPR count "${count} + 1")
      list(FIND seen "${literal}" index)
      if(index EQUAL -1)
        list(LENGTH seen index)
        list(APPEND seen "${literal}")
        set(places_${index} "${name}")
      else()
        list(APPEND places_${index} "${name}")
        list(APPEND repeated ${index})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES repeated)
  foreach(index IN LISTS repeated)
    list(GET seen ${index} literal)
    string(REPLACE "${backslash}" "\\" literal "${literal}")
    string(REPLACE "${open}" "[" literal "${literal}")
    string(REPLACE "${close}" "]" literal "${literal}")
    list(JOIN places_${index} ", " places)
    string(APPEND report "\n  \"${literal}\" in ${places}")
  endforeach()
endforeach()

string(REPLACE "${semicolon}" ";" report "${report}")
if(count LESS 100)
  message(FATAL_ERROR "Only ${count} literals of ${shortest} or more characters found in ${FOLDERS}; "
                      "are the sources still read right?")
endif()
if(report)
  message(FATAL_ERROR "String literals of ${shortest} or more characters written twice in one folder:${report}")
endif()
message(STATUS "${count} literals of ${shortest} or more characters, none twice in one folder")
