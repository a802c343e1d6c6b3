# Prints a program's size against its budget after each link.
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
math(EXPR left "${LIMIT} - ${size}")
message(STATUS "${name}: ${size} bytes (budget ${LIMIT}, ${left} left)")
