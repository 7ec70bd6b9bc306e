# The Windows wizard's resources: its pictures are made from res/images at
# build time (make_images.py), then windres compiles norvawizard.rc into an
# object the executable links.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(NORVA_WIZARD_RES_DIR ${CMAKE_CURRENT_LIST_DIR})

function(norva_add_wizard_resources target)
    set(images ${CMAKE_CURRENT_BINARY_DIR}/res)
    set(pictures ${images}/app.ico ${images}/module.ico ${images}/connector.ico
        ${images}/module-pale.bmp ${images}/connecting.avi)
    file(GLOB sources ${PROJECT_SOURCE_DIR}/res/images/*)
    add_custom_command(OUTPUT ${pictures}
        COMMAND Python3::Interpreter ${NORVA_WIZARD_RES_DIR}/make_images.py
                ${PROJECT_SOURCE_DIR}/res/images ${images}
        DEPENDS ${NORVA_WIZARD_RES_DIR}/make_images.py ${sources}
        COMMENT "Making the Windows wizard's pictures")
    set(object ${CMAKE_CURRENT_BINARY_DIR}/norvawizard-res.o)
    add_custom_command(OUTPUT ${object}
        COMMAND ${CMAKE_RC_COMPILER} --codepage=65001
                -I${PROJECT_SOURCE_DIR}/winwizard -I${NORVA_WIZARD_RES_DIR} -I${images}
                -i ${NORVA_WIZARD_RES_DIR}/norvawizard.rc -o ${object}
        DEPENDS ${NORVA_WIZARD_RES_DIR}/norvawizard.rc
                ${NORVA_WIZARD_RES_DIR}/norvawizard.exe.manifest
                ${PROJECT_SOURCE_DIR}/winwizard/resource.h ${pictures}
        COMMENT "Compiling the Windows wizard's resources")
    target_sources(${target} PRIVATE ${object})
endfunction()
