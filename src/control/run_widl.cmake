# Runs widl with a fixed time stamp (the same sources give the same files),
# and fails on any warning, as the compilers do: widl 8's "duplicate uuid",
# for one, comes with a type library whose library GUID it has overwritten.
#   cmake -DWIDL=path -DWIDL_ARGS=arg|arg|... -DEPOCH=seconds -P run_widl.cmake
string(REPLACE "|" ";" arguments "${WIDL_ARGS}")
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
set(ENV{WIDL_TIME_OVERRIDE} ${EPOCH})
set(ENV{TZ} UTC)
execute_process(COMMAND ${WIDL} ${arguments} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
string(STRIP "${output}${errors}" messages)
if(NOT result EQUAL 0 OR messages)
  message(FATAL_ERROR "widl (${result}):\n${messages}")
endif()
