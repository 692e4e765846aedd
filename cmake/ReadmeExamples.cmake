# The examples of a Markdown file as tests: every fenced block opened by ```cpp readme-test is
# a whole program, built and run by ctest; a block opened by ```text readme-output right after
# it is what the program must print, byte for byte. The file is read again whenever it changes,
# so the documentation cannot drift from the library.

# quenlo_add_readme_examples(MARKDOWN_FILE PREFIX LIBRARIES...)
function(quenlo_add_readme_examples markdown prefix)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${markdown})
  file(READ ${markdown} text)
  set(code_mark "```cpp readme-test\n")
  set(output_mark "```text readme-output\n")
  set(number 0)
  while(TRUE)
    string(FIND "${text}" "${code_mark}" start)
    if(start EQUAL -1)
      break()
    endif()
    math(EXPR number "${number} + 1")
    string(LENGTH "${code_mark}" mark_length)
    math(EXPR start "${start} + ${mark_length}")
    string(SUBSTRING "${text}" ${start} -1 text)
    string(FIND "${text}" "```" stop)
    string(SUBSTRING "${text}" 0 ${stop} code)
    math(EXPR stop "${stop} + 3")
    string(SUBSTRING "${text}" ${stop} -1 text)

    set(name ${prefix}_${number})
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "${code}" @ONLY)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARGN})

    # The output block must be the next fenced block, with nothing but text before it.
    string(FIND "${text}" "```" next_fence)
    string(FIND "${text}" "${output_mark}" output_start)
    if(NOT output_start EQUAL -1 AND output_start EQUAL next_fence)
      string(LENGTH "${output_mark}" mark_length)
      math(EXPR output_start "${output_start} + ${mark_length}")
      string(SUBSTRING "${text}" ${output_start} -1 text)
      string(FIND "${text}" "```" stop)
      string(SUBSTRING "${text}" 0 ${stop} expected)
      file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.expected CONTENT "${expected}" @ONLY)
      add_test(NAME Readme.Example${number}
               COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${name}>
                       -DEXPECTED=${CMAKE_CURRENT_BINARY_DIR}/${name}.expected
                       -P ${PROJECT_SOURCE_DIR}/cmake/RunExample.cmake)
    else()
      add_test(NAME Readme.Example${number} COMMAND ${name})
    endif()
  endwhile()
  if(number EQUAL 0)
    message(FATAL_ERROR "${markdown} holds no block marked cpp readme-test")
  endif()
endfunction()
