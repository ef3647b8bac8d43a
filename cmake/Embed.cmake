# quillon_embed(<target> <file> <symbol>): compiles <file>'s bytes into <target> as
# `extern const unsigned char <symbol>[]` and `extern const std::size_t <symbol>_size`.
function(quillon_embed target file symbol)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp")
    add_custom_command(
        OUTPUT "${out}"
        COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${symbol}
                -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
        DEPENDS "${file}" ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
        COMMENT "Embedding ${file}")
    target_sources(${target} PRIVATE "${out}")
endfunction()
