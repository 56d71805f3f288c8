# Writes a fresh demo show into DIR with the generator EXE.
file(REMOVE_RECURSE ${DIR})
execute_process(COMMAND ${EXE} ${DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vazu-demo failed with ${rc}")
endif()
