# Tally package: Tally::tally and Tally::tally_plugin. The static Tally::tally
# brings slot list to every link, so its package is found here too.
include(CMakeFindDependencyMacro)
find_dependency(SlotList 0.3)
include(${CMAKE_CURRENT_LIST_DIR}/TallyTargets.cmake)
