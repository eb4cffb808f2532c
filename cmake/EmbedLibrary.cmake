# SPDX-License-Identifier: MIT
# vexmora_embed_library(TARGET SYMBOL SOURCE_VAR)
#
# Libraries that only some runs need (the Qt layer, print support) are
# carried inside the executable rather than installed beside it: TARGET's
# file, stripped of its debugging sections, becomes the bytes between SYMBOL
# and SYMBOL_end in .rodata, and SOURCE_VAR names the generated source that
# holds them. The program opens such a library from memory
# (platform::SharedLibrary::FromImage). A target named TARGET_image makes
# the stripped file; the generated source depends on it.
function(vexmora_embed_library target symbol source_var)
  set(image ${CMAKE_CURRENT_BINARY_DIR}/${target}.image)
  add_custom_command(OUTPUT ${image}
    COMMAND ${CMAKE_OBJCOPY} --strip-debug $<TARGET_FILE:${target}> ${image}
    DEPENDS ${target} VERBATIM)
  add_custom_target(${target}_image DEPENDS ${image})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_image.cpp)
  # .incbin keeps compiler caches from reusing the object: they cannot see
  # the file it reads, so they do not cache such a source.
  file(WRITE ${source}.new "\
// Generated: the library image of ${target} (${image}).
__asm__(\".section .rodata\\n\"
        \".balign 64\\n\"
        \".globl ${symbol}\\n\"
        \"${symbol}:\\n\"
        \".incbin \\\"${image}\\\"\\n\"
        \".globl ${symbol}_end\\n\"
        \"${symbol}_end:\\n\"
        \".previous\\n\");
")
  file(COPY_FILE ${source}.new ${source} ONLY_IF_DIFFERENT)
  set_source_files_properties(${source} PROPERTIES OBJECT_DEPENDS ${image} GENERATED TRUE)
  set(${source_var} ${source} PARENT_SCOPE)
endfunction()
