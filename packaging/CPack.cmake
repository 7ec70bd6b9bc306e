# Two Debian packages: norvawizard for the end user (the wizard, norvactl,
# desktop entry, icons, metainfo, manual pages, completion) and
# norvawizard-sim with the simulator, a test and demo tool. The debug-info
# packages split the symbols off the binaries, so CPACK_STRIP_FILES stays
# off: it would strip them before there is anything to split.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvawizard)
set(CPACK_PACKAGE_CONTACT "${NORVA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NORVA_PACKAGE_MAINTAINER}")
# No CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPack would put that one synopsis
# above every package's own description.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL norvawizard)
if(TARGET norva-sim)
    list(APPEND CPACK_COMPONENTS_ALL sim)
endif()

set(CPACK_DEBIAN_NORVAWIZARD_PACKAGE_NAME norvawizard)
set(CPACK_DEBIAN_NORVAWIZARD_DESCRIPTION
    "Pairs two Norva-BX Bluetooth serial-port modules
NorvaWizard pairs two Norva-BX Bluetooth serial-port modules so that they
connect to each other by themselves whenever both are powered. The wizard
checks each unit with AT commands on a serial port, makes one unit
discoverable, lets the other find and connect to it, then stores each
unit's UART setting and its auto-connect mode.
.
The package also holds norvactl, which runs the same module commands from
the command line for technicians and scripts.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME norvawizard-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_PACKAGE_SUGGESTS norvawizard)
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "Simulated Norva-BX modules for testing NorvaWizard
norva-sim simulates two Norva-BX Bluetooth serial-port modules, each on a
pseudo-terminal, so that NorvaWizard and norvactl can be tried and tested
without hardware. Options reproduce old firmware, slow or noisy replies and
units that do not answer; a control socket reports whether the pair would
connect by itself after a power cycle.")
include(CPack)
