# The checker's version, from the project's one version.
set_property(SOURCE src/host/check/check_command_line.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS FOLVANE_VERSION="${PROJECT_VERSION}")
