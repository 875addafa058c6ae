# A player's executable: its entry point, resource script and icon in the calling folder, each
# named after the program, linked with its core library. Its application manifest and the
# facts its version resource states are written from one template each, with the project's
# version.
find_program(ZARN_CONVERT convert REQUIRED)
# The copyright year is the source's: CMake takes it from SOURCE_DATE_EPOCH when that is set.
string(TIMESTAMP ZARN_COPYRIGHT_YEAR "%Y" UTC)

function(windows_program name core description)
    configure_file(${PROJECT_SOURCE_DIR}/hostenv/win32/program.manifest.in ${name}.manifest @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/hostenv/win32/programinfo.h.in programinfo.h @ONLY)
    add_executable(${name} WIN32 main.cpp ${name}.rc)
    target_link_libraries(${name} PRIVATE ${core} hostenv_win32)
    project_warnings(${name})
    # On a 64-bit Windows a 32-bit program so marked has 4 GB of addresses instead of 2.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_link_options(${name} PRIVATE -Wl,--large-address-aware)
    endif()
    # The resource script embeds the manifest and the icon; rebuild when they change.
    set_property(SOURCE ${name}.rc APPEND PROPERTY OBJECT_DEPENDS
                 ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest
                 ${CMAKE_CURRENT_BINARY_DIR}/programinfo.h)
    program_icon(${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.svg ${name}.rc)
endfunction()

# A program's icon: its source image in the repository, rendered at every size Windows asks
# for from 100% to 200% display scaling and in Explorer's large views, into one .ico that the
# resource script embeds. The 256-pixel image is stored as PNG there, as Windows expects; no
# PNG carries a time, so two builds of one commit give the same icon.
function(program_icon target svg rc)
    set(icon ${CMAKE_CURRENT_BINARY_DIR}/${target}.ico)
    set(timeless -define png:exclude-chunks=date,time)
    set(sizes)
    foreach(size 16 24 32 48 64 256)
        # Rendered at four times the size and scaled down, so small sizes stay crisp.
        math(EXPR density "${size} * 8")
        set(png ${CMAKE_CURRENT_BINARY_DIR}/${target}-${size}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${ZARN_CONVERT} -background none -density ${density} ${svg}
                    -resize ${size}x${size} ${timeless} PNG32:${png}
            DEPENDS ${svg} VERBATIM)
        list(APPEND sizes ${png})
    endforeach()
    add_custom_command(OUTPUT ${icon} COMMAND ${ZARN_CONVERT} ${sizes} ${timeless} ${icon}
                       DEPENDS ${sizes} VERBATIM)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${icon})
    set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
