# Warnings are errors in every target of ours; third-party headers come in as system includes.
# (The fuzz preset builds with clang, whose warnings differ: there they stay warnings.)
option(TARVOLO_WERROR "Treat warnings as errors" ON)
function(tarvolo_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough)
    if(TARVOLO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
