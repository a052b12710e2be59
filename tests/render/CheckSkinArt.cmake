# Runs the skin generator into OUT and compares its pictures with the ones in RES.
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GENERATOR} ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "velkaf-skingen failed (${status})")
endif()
foreach(name skin.bmp velkaf.png)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name} ${RES}/${name}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "res/${name} is not what tools/skingen draws: run velkaf-skingen res")
  endif()
endforeach()
