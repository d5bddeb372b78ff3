# Turns a text file into a C++ source that defines one function returning it:
#   cmake -DIN=file -DOUT=file.cpp -DFUNCTION=kvl::name -P embed.cmake
file(READ "${IN}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(([^,]*,){16})" "\\1\n    " bytes "${bytes}")
string(REGEX MATCH "^(.*)::([^:]*)$" _ "${FUNCTION}")
set(ns "${CMAKE_MATCH_1}")
set(fn "${CMAKE_MATCH_2}")
file(WRITE "${OUT}.tmp"
  "// Generated from ${IN}; do not edit.\n"
  "namespace ${ns} {\n"
  "namespace { const char kText[] = {\n    ${bytes}'\\0'};\n}\n"
  "const char *${fn}() { return kText; }\n"
  "}  // namespace ${ns}\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
