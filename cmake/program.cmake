# A player's executable: its entry point, resource script, application manifest and icon in
# the calling folder, each named after the program, linked with its core library.
find_program(ZARN_CONVERT convert REQUIRED)

function(windows_program name core)
    add_executable(${name} WIN32 main.cpp ${name}.rc)
    target_link_libraries(${name} PRIVATE ${core} hostenv_win32)
    project_warnings(${name})
    # On a 64-bit Windows a 32-bit program so marked has 4 GB of addresses instead of 2.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${name} PRIVATE -Wl,--large-address-aware)
    endif()
    # The resource script embeds the manifest and the icon; rebuild when they change.
    set_property(SOURCE ${name}.rc APPEND PROPERTY OBJECT_DEPENDS
                 ${CMAKE_CURRENT_SOURCE_DIR}/${name}.manifest)
    program_icon(${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.svg ${name}.rc)
endfunction()

# A program's icon: its source image in the repository, rendered at 16, 32 and 48 pixels
# into one .ico that the resource script embeds.
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
