# The system DLLs the viewer needs only for a file dialog, printing, sound or the recorder's
# controls are loaded at their first call rather than at start: under Wine, loading them at
# start held the viewer up by about 35 ms. Delay-import libraries named like the system's
# import libraries are made here once at configure time; a target that links this folder
# first gets the delayed entries for every -l of those names on its link line.
#
# Each DLL with the entries the program calls, decorated as 32-bit stdcall names are. Every
# entry needs a stand-in in win/delay_load_failure_win.cpp, for a DLL that fails to load.
set(_kamolt_delayed_dlls
  "comctl32.dll|InitCommonControlsEx@4"
  "comdlg32.dll|GetOpenFileNameA@4 GetSaveFileNameA@4"
  "winmm.dll|PlaySoundA@12 mciGetErrorStringA@12 mciSendCommandW@16 waveOutGetVolume@8 waveOutSetVolume@8"
  "winspool.drv|GetDefaultPrinterA@8")
set(KAMOLT_DELAYED_LIBS ${CMAKE_BINARY_DIR}/delayed)
file(MAKE_DIRECTORY ${KAMOLT_DELAYED_LIBS})
foreach(_entry IN LISTS _kamolt_delayed_dlls)
  string(REPLACE "|" ";" _parts "${_entry}")
  list(GET _parts 0 _dll)
  list(GET _parts 1 _functions)
  separate_arguments(_functions UNIX_COMMAND "${_functions}")
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    list(TRANSFORM _functions REPLACE "@[0-9]+$" "")
  endif()
  list(JOIN _functions "\n" _exports)
  get_filename_component(_base ${_dll} NAME_WE)
  file(WRITE ${KAMOLT_DELAYED_LIBS}/${_base}.def "LIBRARY ${_dll}\nEXPORTS\n${_exports}\n")
  # --kill-at: the 32-bit program links the decorated names and imports the plain ones.
  execute_process(
    COMMAND ${KAMOLT_MINGW_TRIPLET}-dlltool --kill-at --input-def ${KAMOLT_DELAYED_LIBS}/${_base}.def
            --dllname ${_dll} --output-delaylib ${KAMOLT_DELAYED_LIBS}/lib${_base}.a
    RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "dlltool could not make the delay-import library of ${_dll}")
  endif()
endforeach()

# Declared as imports, those entries are called through their import table slots, which the
# 32-bit delay-import libraries of dlltool leave at 0 (the call crashes). Plain declarations
# call the delay thunks instead, in both architectures and with ordinary import libraries too.
add_compile_definitions(WINCOMMDLGAPI= WINCOMMCTRLAPI= _WINMM_)

function(kamolt_delay_system_dlls target)
  target_link_directories(${target} BEFORE PRIVATE ${KAMOLT_DELAYED_LIBS})
  target_link_libraries(${target} PRIVATE delayimp)
endfunction()
