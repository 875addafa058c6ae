# A program's icon: its source image in the repository, rendered at 16, 32 and 48 pixels
# into one .ico that the resource script embeds.
find_program(ZARN_CONVERT convert REQUIRED)

function(program_icon target svg rc)
    set(icon ${CMAKE_CURRENT_BINARY_DIR}/${target}.ico)
    set(sizes)
    foreach(size 16 32 48)
        # Rendered at four times the size and scaled down, so small sizes stay crisp.
        math(EXPR density "${size} * 8")
        set(png ${CMAKE_CURRENT_BINARY_DIR}/${target}-${size}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${ZARN_CONVERT} -background none -density ${density} ${svg}
                    -resize ${size}x${size} PNG32:${png}
            DEPENDS ${svg} VERBATIM)
        list(APPEND sizes ${png})
    endforeach()
    add_custom_command(OUTPUT ${icon} COMMAND ${ZARN_CONVERT} ${sizes} ${icon}
                       DEPENDS ${sizes} VERBATIM)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${icon})
    set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
