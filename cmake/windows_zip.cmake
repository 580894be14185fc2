# The Windows zip, zumbolo-VERSION-win64.zip: one folder of the same name with zumbolo.exe, a
# README in English and Japanese and the licence (their install rules are in
# platform/win32/CMakeLists.txt). The program keeps its files beside itself, so the folder the
# zip unpacks to is its home.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME "zumbolo-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
