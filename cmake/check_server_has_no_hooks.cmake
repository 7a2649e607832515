# Fails when the shipped server carries a test hook: any ONDRIX_ environment
# variable name in its binary.
file(STRINGS ${BINARY} hits REGEX "ONDRIX_[A-Z_]+")
if(hits)
  message(FATAL_ERROR "${BINARY} names test hooks: ${hits}")
endif()
message(STATUS "${BINARY}: no test hook")
