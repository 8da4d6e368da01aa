# Turns one binary file into a C++ source that defines its bytes.
# Run in script mode: cmake -DINPUT=... -DOUTPUT=... -DSYMBOL=... -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT_NAME}; do not edit.\n"
"#include <cstddef>\n#include <cstdint>\n#include <span>\n"
"namespace embedded {\n"
"alignas(4) static const std::uint8_t kBytes[${size}] = {\n    ${bytes}\n};\n"
"std::span<const std::uint8_t> ${SYMBOL}() { return {kBytes, std::size_t(${size})}; }\n"
"}  // namespace embedded\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
