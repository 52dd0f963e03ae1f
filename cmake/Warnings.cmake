# Warnings are errors in every target of ours; third-party headers come in as system includes.
function(tarvolo_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
endfunction()
