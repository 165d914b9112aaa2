# Run by cpack before it packs a cross build whose target libraries are not installed: without
# them the package's Depends would name the wrong packages.
message(FATAL_ERROR "The target's libstdc++6 package is not installed: see the warning of the configure step.")
