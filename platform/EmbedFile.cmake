# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedFile.cmake
# Writes the bytes of INPUT as a C++ array, so a text resource is built into the
# library and changes to it rebuild it.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
set(content "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\n")
string(APPEND content "extern const unsigned char ${SYMBOL}[];\nextern const size_t ${SYMBOL}Size;\n")
string(APPEND content "const unsigned char ${SYMBOL}[] = {\n${bytes}0x00};\nconst size_t ${SYMBOL}Size = ${size};\n")
file(WRITE "${OUTPUT}.tmp" "${content}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
