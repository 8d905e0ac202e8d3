# Writes OUTPUT, a C++ source defining lkm::web::defaultIni with the bytes of INPUT
# exactly (its CRLF line ends included).
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}.\n#include \"ini_file.hpp\"\n\n"
  "const char lkm::web::defaultIni[] = {${bytes}'\\0'};\n")
