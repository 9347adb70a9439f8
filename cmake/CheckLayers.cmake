# The layers, checked on the sources: each folder's files include headers of
# their own folder and of the folders listed for it, nothing else. Run as
#   cmake -DSOURCE_DIR=<tree> -P cmake/CheckLayers.cmake
# (the test `layers` does). The libraries in CMakeLists.txt link the same way,
# downwards only.

cmake_minimum_required(VERSION 3.25)

# Lowest first. "tolvex" is the folder of headers the build generates.
set(layer_base "")
set(layer_wmi base)
set(layer_wmi/linux base wmi)
set(layer_wmi/windows base wmi)
set(layer_wmi/snapshot base wmi)
# The screens as data and the interfaces every front end implements.
set(layer_ui base)
set(layer_net base wmi ui)
set(layer_sections base wmi ui net)
set(layer_ui/qt base wmi ui)
set(layer_ui/win32 base wmi ui)
set(layer_tools base wmi wmi/linux wmi/windows wmi/snapshot net tolvex)
set(layer_app base wmi wmi/snapshot net sections ui ui/qt ui/win32 tolvex)
set(layers base wmi wmi/linux wmi/windows wmi/snapshot ui net sections ui/qt ui/win32 tools app)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake")
endif()

set(faults "")
foreach(layer ${layers})
  file(GLOB files ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
      get_filename_component(folder ${header} DIRECTORY)
      if(folder STREQUAL layer OR folder IN_LIST layer_${layer})
        continue()
      endif()
      file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
      if(folder STREQUAL "")
        string(APPEND faults "  ${name} includes \"${header}\": name it by its folder\n")
      else()
        string(REPLACE ";" ", " below "${layer_${layer}}")
        string(APPEND faults "  ${name} includes ${header}: ${layer}/ may include only "
                             "its own folder and ${below}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

# A folder of sources that has no layer yet must be given one.
file(GLOB_RECURSE all RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/base/*.cpp ${SOURCE_DIR}/wmi/*.cpp ${SOURCE_DIR}/ui/*.cpp
  ${SOURCE_DIR}/net/*.cpp ${SOURCE_DIR}/sections/*.cpp ${SOURCE_DIR}/app/*.cpp
  ${SOURCE_DIR}/tools/*.cpp)
foreach(file ${all})
  get_filename_component(folder ${file} DIRECTORY)
  if(NOT folder IN_LIST layers)
    string(APPEND faults "  ${file}: ${folder}/ has no layer in cmake/CheckLayers.cmake\n")
  endif()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes that cross the layers:\n${faults}")
endif()
message(STATUS "Every include stays within its layer or goes down")
