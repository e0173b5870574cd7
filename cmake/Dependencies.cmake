# Third-party libraries behind the platform seams. Only src/platform (and the
# Lua host in src/script) include their headers; the rest of the engine sees
# the seams alone. Everything here comes from scripts/bootstrap.
find_package(PkgConfig REQUIRED)

add_library(drovine_deps INTERFACE)
