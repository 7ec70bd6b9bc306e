# Desktop integration: the launcher entry, the application icon and the
# software-centre metadata where desktops look for them. Included by the
# build that installs norvawizard.
set(NORVA_RES_DIR ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${NORVA_RES_DIR}/norvawizard.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${NORVA_RES_DIR}/images/app-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME norvawizard.png)
endforeach()
install(FILES ${NORVA_RES_DIR}/images/app.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME norvawizard.svg)
install(FILES ${NORVA_RES_DIR}/norvawizard.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME org.norvawizard.NorvaWizard.metainfo.xml)
