# The Debian package of an installed station (bash scripts/package.sh builds and checks it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gsmstation)
set(CPACK_PACKAGE_VENDOR "GSM station developers")
set(CPACK_PACKAGE_CONTACT "${STATION_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "station for a fleet of vending machines with GSM modems")
set(CPACK_PACKAGE_DESCRIPTION [=[
The desktop station of an operator who looks after vending machines that
carry GSM modems. It drives its own modem on a serial port, keeps the SIM
unlocked and watches the network from the notification area; it files the
machines' alarm SMS, sends SMS, and calls one machine over a GSM data call
to read or write its configuration and telemetry settings, reset its alarms
and read its audit memory, which it converts into an EVA-DTS audit file.
Calls can be scheduled and audits collected unattended.

The package holds the station (gsmstation), the editor of its machine
database (gsmdb), gsmcollect (one job on one machine from a script or cron),
evadts-convert (an audit image into an EVA-DTS file) and gsmsim (a simulated
modem and fleet on a pseudo-terminal).]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as a plug-in, so no linker dependency names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# Qt's own buttons and dialogs in the operator's language; the driver of a fleet's shared
# database (a single desk's SQLite file needs neither).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
