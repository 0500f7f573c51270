# Run at every build: writes build_info.hpp with the source tree's git commit
# and whether it had uncommitted changes, rewriting the file only when that
# changed, so that an unchanged tree rebuilds nothing.
execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse HEAD
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed)
  set(commit "unknown (not a git checkout)")
  set(dirty "unknown")
else()
  execute_process(COMMAND git -C ${SOURCE_DIR} status --porcelain --untracked-files=no
    OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(changes)
    set(dirty "true")
  else()
    set(dirty "false")
  endif()
endif()
set(text "#pragma once\n#define SORTBENCH_GIT_COMMIT \"${commit}\"\n#define SORTBENCH_GIT_DIRTY \"${dirty}\"\n")
set(path ${OUTPUT_DIR}/build_info.hpp)
if(EXISTS ${path})
  file(READ ${path} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${path} "${text}")
endif()
