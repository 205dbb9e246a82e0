# EDFlib, the library that writes (and reads) EDF+ files: Debian's libedf-dev puts edflib.h and
# libedf where the compiler looks. Defines the imported target EDFlib::EDFlib.
find_path(EDFlib_INCLUDE_DIR edflib.h)
find_library(EDFlib_LIBRARY edf)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(EDFlib REQUIRED_VARS EDFlib_LIBRARY EDFlib_INCLUDE_DIR)

if(EDFlib_FOUND AND NOT TARGET EDFlib::EDFlib)
    add_library(EDFlib::EDFlib UNKNOWN IMPORTED)
    set_target_properties(EDFlib::EDFlib PROPERTIES
        IMPORTED_LOCATION ${EDFlib_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${EDFlib_INCLUDE_DIR})
endif()
mark_as_advanced(EDFlib_INCLUDE_DIR EDFlib_LIBRARY)
