# Writes a C++ source that holds the file STUB as kivpack::kEmbeddedStub.
# Run at build time: cmake -DSTUB=<file> -DOUT=<source> -P embed_stub.cmake
file(READ "${STUB}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)"
       "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
     "// Made by embed_stub.cmake from ${STUB}; do not edit.\n"
     "#include \"tools/kivpack/embedded_stub.h\"\n\n"
     "namespace kivpack {\n\n"
     "const unsigned char kEmbeddedStub[${size} + 1] = {\n${bytes}0};\n"
     "const size_t kEmbeddedStubSize = ${size};\n\n"
     "}  // namespace kivpack\n")
file(RENAME "${OUT}.tmp" "${OUT}")
