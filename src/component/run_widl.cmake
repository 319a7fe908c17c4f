# Runs widl with a fixed time stamp (the same sources give the same files)
# and without its two notes that the IDL's imports and stdole2.tlb both
# define IDispatch and the stdole library, which is expected.
#   cmake -DWIDL=path -DWIDL_ARGS=arg|arg|... -DEPOCH=seconds -P run_widl.cmake
string(REPLACE "|" ";" arguments "${WIDL_ARGS}")
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
set(ENV{WIDL_TIME_OVERRIDE} ${EPOCH})
set(ENV{TZ} UTC)
execute_process(COMMAND ${WIDL} ${arguments} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
foreach(expected 00020430-0000-0000-c000-000000000046 00020400-0000-0000-c000-000000000046)
  string(REPLACE "warning: duplicate uuid {${expected}}\n" "" errors "${errors}")
endforeach()
string(STRIP "${output}${errors}" messages)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "widl failed (${result}):\n${messages}")
elseif(messages)
  message(WARNING "${messages}")
endif()
