# Writes a program's --help, run through the emulator when cross-compiled, as a text file
# with Windows line ends, so Notepad shows it as a manual.
#   cmake -DEMULATOR=... -DPROGRAM=... -DOUTPUT=... -P help_as_text.cmake
execute_process(COMMAND ${EMULATOR} ${PROGRAM} --help OUTPUT_VARIABLE _text
                RESULT_VARIABLE _rc ERROR_QUIET)
if(NOT _rc EQUAL 0 OR _text STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${_rc})")
endif()
string(REPLACE "\r\n" "\n" _text "${_text}")
string(REPLACE "\n" "\r\n" _text "${_text}")
file(WRITE ${OUTPUT} "${_text}")
