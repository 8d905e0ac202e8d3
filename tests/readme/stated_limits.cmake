# Fails, naming them, when a number that README.md or a document in docs/
# states as a limit differs from the number in a file that enforces the limit
# or prints it as a goal, and when such a document states a limit ("at most N",
# "under N", "<= N") that no tie below covers.
#   cmake -DROOT=<source folder> -P stated_limits.cmake
# A tie is a name, then one or more groups of four:
#   STATED <document> <regex> <unit>    where a document states the number
#   ENFORCED <file> <regex> <unit>      where a script or a program holds it
# Files are relative to ROOT. The regex's first group is the number (decimal,
# or 0x hexadecimal); every match in the file counts, and there must be one.
# In a document, the lines of a paragraph are read as one line with single
# blanks, so that wrapping the text changes nothing; a table row stays a line.
# The unit turns it into the one every place is compared in: 1024 for KiB,
# 1048576 for MiB, 1 for a plain number (a fraction takes unit 1 only).
cmake_minimum_required(VERSION 3.25)

set(failures "")

# Reads ROOT/<file>, with list separators made harmless; a document's
# paragraphs each on one line.
function(read_text file kind variable)
  if(NOT EXISTS "${ROOT}/${file}")
    message(FATAL_ERROR "${file} is missing under ${ROOT}")
  endif()
  file(READ "${ROOT}/${file}" text)
  string(REPLACE ";" "<semicolon>" text "${text}")
  if(kind STREQUAL "STATED")
    string(REGEX REPLACE "([^|\n])\n *([^|\n ])" "\\1 \\2" text "${text}")
  endif()
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# The number in the unit of comparison: whole numbers multiplied out, fractions
# without trailing zeros.
function(normalised number unit variable)
  if(number MATCHES "^(0x[0-9a-fA-F]+|[0-9]+)$")
    math(EXPR value "${number} * ${unit}")
  elseif(number MATCHES "^[0-9]*[.][0-9]+$" AND unit EQUAL 1)
    string(REGEX REPLACE "0+$" "" value "${number}")
    string(REGEX REPLACE "[.]$" "" value "${value}")
  else()
    message(FATAL_ERROR "stated_limits: \"${number}\" in unit ${unit} is no number this test compares")
  endif()
  set(${variable} "${value}" PARENT_SCOPE)
endfunction()

# tie(<name> {STATED|ENFORCED <file> <regex> <unit>}...)
function(tie name)
  set(places "")
  set(values "")
  set(args ${ARGN})
  list(LENGTH args count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 4)
    math(EXPR f "${i} + 1")
    math(EXPR r "${i} + 2")
    math(EXPR u "${i} + 3")
    list(GET args ${i} kind)
    list(GET args ${f} file)
    list(GET args ${r} regex)
    list(GET args ${u} unit)
    read_text("${file}" ${kind} rest)
    set(found 0)
    while(TRUE)
      string(REGEX MATCH "${regex}" match "${rest}")
      if(match STREQUAL "")
        break()
      endif()
      normalised("${CMAKE_MATCH_1}" "${unit}" value)
      math(EXPR found "${found} + 1")
      list(APPEND values "${value}")
      string(REPLACE "\n" " " shown "${match}")
      string(APPEND places "\n    ${value} in ${file}: ${shown}")
      if(kind STREQUAL "STATED")
        string(MD5 key "${file}")
        set_property(GLOBAL APPEND PROPERTY stated_${key} "${match}")
      endif()
      string(FIND "${rest}" "${match}" at)
      string(LENGTH "${match}" length)
      math(EXPR after "${at} + ${length}")
      string(SUBSTRING "${rest}" ${after} -1 rest)
    endwhile()
    if(found EQUAL 0)
      string(REPLACE "\n" "\\n" pattern "${regex}")
      string(APPEND failures "${name}: ${file} no longer holds it where this test looks (${pattern})\n")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES values)
  list(LENGTH values distinct)
  if(distinct GREATER 1)
    string(REPLACE "<semicolon>" ";" places "${places}")
    string(APPEND failures "${name}: the places that state and enforce it disagree:${places}\n")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

set(testing docs/testing.md)
set(row "[|][^|\n]*[|]") # one cell of a table row, with the bars around it

tie("the page's weight"
  STATED README.md "weigh at most ([0-9]+) KiB" 1024
  STATED ${testing} "[|] page weight ${row} at most ([0-9]+) KiB [|]" 1024
  ENFORCED bench/web_bench.py "weight <= ([0-9]+) [*] 1024" 1024
  ENFORCED bench/web_bench.py "goal: at most ([0-9]+) KiB" 1024
  ENFORCED bench/web_bench.py "weighs more than ([0-9]+) KiB" 1024
  ENFORCED scripts/bench.sh "at_most \"[$]weight\" ([0-9]+)[)]" 1
  ENFORCED scripts/bench.sh "result \"page weight\" \"[^\"]*\" \"at most ([0-9]+)\"" 1)

tie("the plug-in's size"
  STATED README.md "`[.]asi` is at most ([0-9]+) KiB" 1024
  ENFORCED tests/package/check_archives.cmake "size_limit_Larkmere[.]WidescreenFix[.]asi ([0-9]+)[)]" 1
  ENFORCED tests/package/check_archives.cmake "size_limit_Larkmere[.]WidescreenFix[.]asi [0-9]+[)] # ([0-9]+) KiB" 1024)

tie("the page against the native inspector"
  STATED ${testing} "[|] page / native ${row} at most ([0-9.]+) [|]" 1
  STATED ${testing} "the page <= ([0-9.]+) x" 1
  ENFORCED bench/web_bench.py "ratio <= ([0-9.]+)" 1
  ENFORCED bench/web_bench.py "goal: at most ([0-9.]+), target" 1
  ENFORCED bench/web_bench.py "takes[ \n]+more than ([0-9.]+) times as long" 1
  ENFORCED scripts/bench.sh "result \"page / native\" \"[^\"]*\" \"at most ([0-9.]+)\"" 1
  ENFORCED scripts/bench.sh "result \"page / native\" [^\n]*at_most \"[$]ratio\" ([0-9.]+)[)]" 1)

tie("the start-up against a cold memcpy"
  STATED ${testing} "[|] start-up / cold memcpy ${row} at most ([0-9.]+) [|]" 1
  STATED ${testing} "`InitializeASI` <= ([0-9.]+) x" 1
  ENFORCED scripts/bench.sh "result \"start-up / cold memcpy\" \"[^\"]*\" \"at most ([0-9.]+)\"" 1
  ENFORCED scripts/bench.sh "result \"start-up / cold memcpy\" [^\n]*at_most \"[$]ratio\" ([0-9.]+)[)]" 1
  ENFORCED scripts/bench.sh "[(]goal at most ([0-9.]+)" 1
  ENFORCED game/tools/startup_cost.cmake "[(]goal at most ([0-9.]+)[)]" 1)

tie("the start-up's peak commit"
  STATED ${testing} "[|] start-up peak commit, large stand-in ${row} at most ([0-9]+) MiB [|]" 1048576
  STATED ${testing} "[|] start-up peak commit, huge stand-in ${row} at most ([0-9]+) MiB [|]" 1048576
  ENFORCED game/tools/startup_cost.cmake "if[(]above GREATER ([0-9]+)[)]" 1
  ENFORCED game/tools/startup_cost.cmake "[(]at most ([0-9]+) MiB[)]" 1048576
  ENFORCED game/tools/startup_cost.cmake "lie at most ([0-9]+) MiB above" 1048576
  ENFORCED scripts/bench.sh "\"peak commit [+]([0-9]+) MiB\"" 1048576)

tie("the large stand-in's extra code"
  STATED ${testing} "large stand-in [(]`build/win32/game/large`, ([0-9]+) MiB" 1048576
  ENFORCED game/CMakeLists.txt "lkm_add_filled_game[(]larkmere_game_large large (0x[0-9a-fA-F]+)[)]" 1
  ENFORCED game/CMakeLists.txt "([0-9]+) MiB [(]larkmere_game_large[)]" 1048576)

tie("the huge stand-in's extra code"
  STATED ${testing} "huge one [(]`build/win32/game/huge`, ([0-9]+) MiB" 1048576
  ENFORCED game/CMakeLists.txt "lkm_add_filled_game[(]larkmere_game_huge huge (0x[0-9a-fA-F]+)[ )]" 1
  ENFORCED game/CMakeLists.txt "([0-9]+) MiB[ \n#]+[(]larkmere_game_huge" 1048576)

tie("the signature search against memchr"
  STATED ${testing} "[|] find / memchr ${row} at most ([0-9.]+) [|]" 1
  STATED ${testing} "find` times <= ([0-9.]+) x" 1
  ENFORCED scripts/bench.sh "result \"find / memchr\" \"[^\"]*\" \"at most ([0-9.]+)\"" 1
  ENFORCED scripts/bench.sh "result \"find / memchr\" [^\n]*at_most \"[$]ratio\" ([0-9.]+)[)]" 1)

tie("recognition against memchr"
  STATED ${testing} "[|] inspect / memchr ${row} at most ([0-9.]+) [|]" 1
  STATED ${testing} "`lkm::inspect` <= ([0-9.]+) x" 1
  ENFORCED scripts/bench.sh "result \"inspect / memchr, [a-z]+\" \"[^\"]*\" \"at most ([0-9.]+)\"" 1
  ENFORCED scripts/bench.sh "at_most \"[$][{][a-z]+:-[}]\" ([0-9.]+)[)]" 1
  ENFORCED bench/inspect_bench.cpp "target at most ([0-9.]+)" 1)

tie("the benchmarks' code"
  STATED ${testing} "[|] find / memchr [|][^|\n]* over ([0-9]+) MiB of code-like filler" 1048576
  STATED ${testing} "[|] inspect / memchr [|][^|\n]* with ([0-9]+) MiB of code-like filler" 1048576
  STATED ${testing} "[|] inspector peak heap [|][^|\n]* with ([0-9]+) MiB of code" 1048576
  ENFORCED bench/find_bench.cpp "codeSize = ([0-9]+)u << 20" 1048576
  ENFORCED bench/inspect_bench.cpp "codeSize = ([0-9]+)u << 20" 1048576
  ENFORCED bench/inspector_memory_bench.cpp "codeSize = ([0-9]+)u << 20" 1048576)

tie("the inspector's peak heap"
  STATED ${testing} "[|] inspector peak heap ${row} at most ([0-9.]+) x SizeOfImage [|]" 1
  ENFORCED bench/inspector_memory_bench.cpp "m, 0, ([0-9.]+) [*] image" 1
  ENFORCED bench/inspector_memory_bench.cpp "heap <= ([0-9.]+) x SizeOfImage" 1
  ENFORCED bench/inspector_memory_bench.cpp "peak heap at most ([0-9.]+)x the image's SizeOfImage" 1
  ENFORCED scripts/bench.sh "\"at most ([0-9.]+) x image\"" 1)

tie("the file that is no PE file"
  STATED ${testing} "[|] inspector [a-z]+, ([0-9]+) GiB file that is no PE file [|]" 1073741824
  STATED ${testing} "inspector, ([0-9]+) GiB file that is no PE file" 1073741824
  ENFORCED bench/inspector_memory_bench.cpp "\"lkm-memory-bench-text[.]bin\", [^\n]*, ([0-9]+)ull << 30[)]" 1073741824
  ENFORCED bench/inspector_memory_bench.cpp "a ([0-9]+) GiB file that is no PE file" 1073741824)

tie("the inspector's heap on a file that is no PE file"
  STATED ${testing} "[|] inspector heap, [0-9]+ GiB file that is no PE file ${row} at most ([0-9]+) MiB [|]" 1048576
  ENFORCED bench/inspector_memory_bench.cpp "measure[(][{]text[}][)], 2, ([0-9]+) [*] MiB" 1048576
  ENFORCED bench/inspector_memory_bench.cpp "refused within ([0-9]+) MiB" 1048576
  ENFORCED bench/inspector_memory_bench.cpp "heap <= ([0-9]+) MiB" 1048576)

tie("the inspector's time on a file that is no PE file"
  STATED ${testing} "[|] inspector time, [0-9]+ GiB file that is no PE file ${row} under ([0-9.]+) s [|]" 1
  ENFORCED bench/inspector_memory_bench.cpp "measure[(][{]text[}][)], 2, [0-9]+ [*] MiB, ([0-9.]+)," 1
  ENFORCED bench/inspector_memory_bench.cpp "MiB, < ([0-9.]+) s\"" 1)

# Every limit the documents state is one of the above.
file(GLOB documents RELATIVE "${ROOT}" "${ROOT}/README.md" "${ROOT}/docs/*.md")
foreach(document IN LISTS documents)
  read_text("${document}" STATED text)
  string(MD5 key "${document}")
  get_property(accounted GLOBAL PROPERTY stated_${key})
  # The longest first: a tie may account for part of a row that another ties whole.
  while(accounted)
    set(longest "")
    foreach(match IN LISTS accounted)
      string(LENGTH "${match}" length)
      string(LENGTH "${longest}" most)
      if(length GREATER most)
        set(longest "${match}")
      endif()
    endforeach()
    string(REPLACE "${longest}" "" text "${text}")
    list(REMOVE_ITEM accounted "${longest}")
  endwhile()
  while(text MATCHES "[^.|\n]*(at most|under|<=) [0-9][^.|\n]*")
    string(REPLACE "${CMAKE_MATCH_0}" "" text "${text}")
    string(APPEND failures "${document} states a limit that no tie in this test covers: ${CMAKE_MATCH_0}\n")
  endwhile()
endforeach()

if(failures)
  string(REPLACE "<semicolon>" ";" failures "${failures}")
  message(FATAL_ERROR "${failures}")
endif()
list(LENGTH documents count)
message(STATUS "every limit stated in ${count} documents is the one enforced")
