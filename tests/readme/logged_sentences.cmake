# Fails, naming them, when sentences that the plug-in can log are missing from
# the player's readme (-DREADME). The sentences are the string literals in the
# C++ sources under the folders -DSOURCES (comments left out, adjacent literals
# joined) that begin with a capital letter, hold a blank and end in a full stop
# or in ": " (the head of a line that goes on, such as "Initialization stopped: ").
# In the readme any run of blanks and line ends counts as one blank; a printf
# conversion (%d, %s) stands for what the plug-in prints there.

# `text` with every run of blanks, tabs and line ends made one blank.
function(one_blank text out)
  string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ "${README}" readme)
one_blank("${readme}" readme)

set(files "")
foreach(folder IN LISTS SOURCES)
  file(GLOB_RECURSE found "${folder}/*.cpp" "${folder}/*.hpp")
  list(APPEND files ${found})
endforeach()
if(NOT files)
  message(FATAL_ERROR "No sources found in ${SOURCES}")
endif()

set(missing "")
set(count 0)
foreach(file IN LISTS files)
  file(READ "${file}" code)
  # Semicolons would split CMake lists; nothing below needs them.
  string(REPLACE ";" "<semicolon>" code "${code}")
  string(REGEX REPLACE "//[^\n]*" "" code "${code}")
  string(REGEX REPLACE "\"[ \t\r\n]*\"" "" code "${code}") # "ab" "cd" is "abcd"
  string(REGEX MATCHALL "\"[A-Z][^\"\n]* [^\"\n]*(\\.|: )\"" literals "${code}")
  foreach(literal IN LISTS literals)
    string(REPLACE "<semicolon>" ";" sentence "${literal}")
    string(REGEX REPLACE "^\"(.*)\"$" "\\1" sentence "${sentence}")
    string(STRIP "${sentence}" sentence)
    math(EXPR count "${count} + 1")
    # As a pattern: special characters escaped, conversions made wildcards.
    string(REGEX REPLACE "([][.*+?^$()|\\\\])" "\\\\\\1" pattern "${sentence}")
    string(REPLACE "%d" "-?[0-9]+" pattern "${pattern}")
    string(REPLACE "%s" "[^ ].*" pattern "${pattern}")
    one_blank("${pattern}" pattern)
    if(NOT readme MATCHES "${pattern}")
      get_filename_component(name "${file}" NAME)
      list(APPEND missing "${sentence} (${name})")
    endif()
  endforeach()
endforeach()

if(count LESS 30)
  message(FATAL_ERROR "Only ${count} sentences found in ${SOURCES}; the sources moved?")
endif()
if(missing)
  list(REMOVE_DUPLICATES missing)
  list(JOIN missing "\n  " lines)
  message(FATAL_ERROR "The readme ${README} does not name these sentences the plug-in can log:\n  ${lines}")
endif()
message(STATUS "${count} logged sentences, every one in the readme")
