# Prints two reports of the stand-in game side by side, one row per value, with
# a * before every row in which they differ.
#   cmake -DBEFORE=report.json -DAFTER=report.json [-DLEFT=title -DRIGHT=title] -P report_table.cmake
cmake_minimum_required(VERSION 3.25)
file(READ "${BEFORE}" before)
file(READ "${AFTER}" after)
# Floats as the game wrote them: as strings they are not re-read as doubles.
foreach(report before after)
  string(REGEX REPLACE "\"value\": ([-+0-9.eE]+)" "\"value\": \"\\1\"" ${report} "${${report}}")
endforeach()
if(NOT DEFINED LEFT)
  set(LEFT "without the plug-in")
endif()
if(NOT DEFINED RIGHT)
  set(RIGHT "with the plug-in")
endif()

# Text of the value at a path: a float with its bit pattern, a CVar's three
# values, a number, a string, true or false; "-" when absent.
function(cell json path out)
  string(REPLACE "." ";" parts "${path}")
  string(JSON type ERROR_VARIABLE missing TYPE "${json}" ${parts})
  if(missing)
    set(${out} "-" PARENT_SCOPE)
    return()
  endif()
  if(type STREQUAL "OBJECT")
    string(JSON bits ERROR_VARIABLE no_bits GET "${json}" ${parts} bits)
    if(NOT no_bits)
      string(JSON value GET "${json}" ${parts} value)
      set(${out} "${value} (${bits})" PARENT_SCOPE)
      return()
    endif()
    string(JSON float ERROR_VARIABLE no_float GET "${json}" ${parts} float value)
    if(NOT no_float)
      string(JSON int GET "${json}" ${parts} int)
      string(JSON flag GET "${json}" ${parts} bool)
      if(flag)
        set(flag true)
      else()
        set(flag false)
      endif()
      set(${out} "${float} / ${int} / ${flag}" PARENT_SCOPE)
      return()
    endif()
  endif()
  string(JSON value GET "${json}" ${parts})
  if(type STREQUAL "BOOLEAN")
    if(value)
      set(value true)
    else()
      set(value false)
    endif()
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(pad text width out)
  string(LENGTH "${text}" length)
  while(length LESS width)
    string(APPEND text " ")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(rows
  "camera aspect|camera.aspect"
  "camera focal parameter (r_fov)|camera.fov"
  "camera horizontal angle (deg)|camera.horizontal"
  "camera vertical angle (deg)|camera.vertical"
  "shadow camera aspect|shadowCamera.aspect"
  "r_xres (float / int / bool)|cvars.r_xres"
  "r_yres|cvars.r_yres"
  "r_fov|cvars.r_fov"
  "r_fullscreen|cvars.r_fullscreen"
  "r_refresh (locked)|cvars.r_refresh"
  "r_xres2 (copy of r_xres)|cvars.r_xres2"
  "menu r_xres (copy)|cvars.menu_r_xres"
  "GUI canvas x|gui.canvas.x"
  "GUI canvas y|gui.canvas.y"
  "GUI canvas width|gui.canvas.width"
  "GUI canvas height|gui.canvas.height"
  "GUI reference width|gui.reference.width"
  "GUI reference height|gui.reference.height"
  "popup canvas width|gui.popupCanvas.width"
  "units to pixels x (512)|conversions.unitsToPixelsX.result"
  "units to pixels y (384)|conversions.unitsToPixelsY.result"
  "pixels to units x (400)|conversions.pixelsToUnitsX.result"
  "pixels to units y (300)|conversions.pixelsToUnitsY.result"
  "line height (24 units)|conversions.lineHeightPixels.result"
  "letterbox bar (75 px)|conversions.letterboxBarUnits.result"
  "overlay units to px x (320)|conversions.overlayUnitsToPixelsX.result"
  "mouse (400, 300) to units x|mouse.gui.x"
  "mouse (400, 300) to units y|mouse.gui.y"
  "editor mouse to units x|mouse.editor.x"
  "ASI InitializeASI calls|asi.calls")

set(width 34)
set(column 30)
pad("" ${width} head)
pad("${LEFT}" ${column} left)
message("  ${head}${left}${RIGHT}")
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 label)
  list(GET row 1 path)
  cell("${before}" "${path}" a)
  cell("${after}" "${path}" b)
  set(mark " ")
  if(NOT a STREQUAL b)
    set(mark "*")
  endif()
  pad("${label}" ${width} label)
  pad("${a}" ${column} a)
  message("${mark} ${label}${a}${b}")
endforeach()

# The setters' results, in call order.
string(JSON count LENGTH "${after}" setters)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON cvar GET "${after}" setters ${i} cvar)
  string(JSON setter GET "${after}" setters ${i} setter)
  string(JSON argument GET "${after}" setters ${i} argument)
  cell("${before}" "setters.${i}.result" a)
  cell("${after}" "setters.${i}.result" b)
  set(mark " ")
  if(NOT a STREQUAL b)
    set(mark "*")
  endif()
  pad("${cvar}.${setter}(${argument})" ${width} label)
  pad("${a}" ${column} a)
  message("${mark} ${label}${a}${b}")
endforeach()
