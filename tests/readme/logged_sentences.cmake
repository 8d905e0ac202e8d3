# Fails, naming them, when sentences the plug-in can log are missing from the
# player's readme (-DREADME): the string literals in the C++ sources under the
# folders -DSOURCES (comments left out, adjacent literals joined) that begin
# with a capital letter, hold a blank and end in a full stop or in ": " (a line
# that goes on, such as "Initialization stopped: "). In the readme any run of
# blanks and line ends is one blank; %d and %s stand for what is printed there.
file(READ "${README}" readme)
string(REGEX REPLACE "[ \t\r\n]+" " " readme "${readme}")
set(files "")
foreach(folder IN LISTS SOURCES)
  file(GLOB_RECURSE found "${folder}/*.cpp" "${folder}/*.hpp")
  list(APPEND files ${found})
endforeach()

set(missing "")
set(count 0)
foreach(file IN LISTS files)
  file(READ "${file}" code)
  string(REPLACE ";" "<semicolon>" code "${code}") # not a list separator
  string(REGEX REPLACE "//[^\n]*" "" code "${code}")
  string(REGEX REPLACE "\"[ \t\r\n]*\"" "" code "${code}") # "ab" "cd" is "abcd"
  string(REGEX MATCHALL "\"[A-Z][^\"\n]* [^\"\n]*(\\.|: )\"" literals "${code}")
  foreach(literal IN LISTS literals)
    string(REGEX REPLACE "^\" *(.*[^ ]) *\"$" "\\1" sentence "${literal}")
    string(REPLACE "<semicolon>" ";" sentence "${sentence}")
    math(EXPR count "${count} + 1")
    string(REGEX REPLACE "([][.*+?^$()|\\\\])" "\\\\\\1" pattern "${sentence}")
    string(REPLACE "%d" "-?[0-9]+" pattern "${pattern}")
    string(REPLACE "%s" "[^ ].*" pattern "${pattern}")
    if(NOT readme MATCHES "${pattern}")
      get_filename_component(name "${file}" NAME)
      list(APPEND missing "${sentence} (${name})")
    endif()
  endforeach()
endforeach()

if(count LESS 30)
  message(FATAL_ERROR "Only ${count} sentences found in ${SOURCES}; have the sources moved?")
endif()
if(missing)
  list(REMOVE_DUPLICATES missing)
  list(JOIN missing "\n  " lines)
  message(FATAL_ERROR "${README} does not name these sentences the plug-in can log:\n  ${lines}")
endif()
message(STATUS "${count} logged sentences, every one in the readme")
