# Copies of a contender library that differ only in where their code lies.
#
# Two builds of one source can run a few percent apart for placement alone:
# where a loop falls against a 64-byte line, the micro-op cache's windows and
# the branch predictor's tables moves with everything linked before it. Copy
# k of TARGET links first a function of a size fixed by k (0 to 4095 bytes,
# the same on every build), so that each of the sort's functions starts
# elsewhere in its page. tools/ab.py --layouts=K loads copy 1 ... K, named
# OUTPUT.layoutK.so beside the library itself.
#
#   sortbench_layout_copies(TARGET COUNT)
function(sortbench_layout_copies target count)
  get_target_property(sources ${target} SOURCES)
  get_target_property(includes ${target} INCLUDE_DIRECTORIES)
  get_target_property(definitions ${target} COMPILE_DEFINITIONS)
  get_target_property(options ${target} COMPILE_OPTIONS)
  get_target_property(output ${target} OUTPUT_NAME)
  if(NOT output)
    set(output ${target})
  endif()
  foreach(k RANGE 1 ${count})
    # Knuth's multiplicative hash spreads k over the page.
    math(EXPR bytes "(${k} * 2654435761) % 4096")
    set(pad ${CMAKE_CURRENT_BINARY_DIR}/layout/${target}_${k}.c)
    file(WRITE ${pad}.new
      "/* Placement copy ${k} of ${target}: ${bytes} bytes linked before it. */\n"
      "__attribute__((used)) static void sortbench_layout_pad(void)\n"
      "{\n    __asm__ volatile(\".skip ${bytes}, 0x90\");\n}\n")
    file(COPY_FILE ${pad}.new ${pad} ONLY_IF_DIFFERENT)
    add_library(${target}_layout${k} SHARED ${pad} ${sources})
    set_target_properties(${target}_layout${k} PROPERTIES OUTPUT_NAME ${output}.layout${k})
    if(includes)
      target_include_directories(${target}_layout${k} PRIVATE ${includes})
    endif()
    if(definitions)
      target_compile_definitions(${target}_layout${k} PRIVATE ${definitions})
    endif()
    if(options)
      target_compile_options(${target}_layout${k} PRIVATE ${options})
    endif()
  endforeach()
endfunction()
